#pragma once

#include "host/compare/set_comparison.h"
#include "host/objects/set_history.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QTableWidget;

namespace veltrane::app {

// "1 difference", "3 differences".
QString counted(qsizetype n, const QString &one, const QString &many);

// One side of a comparison: a set as it is stored now, or as one of its revisions left it.
struct ComparedSet
{
    QString label; // "STR Casework" or "STR Casework, revision 3"
    FragAnalysisParamPtr settings;
};

// A set as the store holds it now; a deleted set as it was deleted.
ComparedSet currentSet(host::SqlStore &store, const host::SetOverview &set);
ComparedSet revisionOf(host::SqlStore &store, qint32 setId, qint32 number);

// Two sets side by side, field by field in the editor's terms, rows that differ highlighted; "Differences
// only" leaves out the rows that are alike.
class CompareWindow : public QDialog
{
    Q_OBJECT
public:
    CompareWindow(const ComparedSet &left, const ComparedSet &right, QWidget *parent = nullptr);

    const host::SetComparison &comparison() const { return m_comparison; }
    QTableWidget *table() const { return m_table; }
    QCheckBox *differencesOnly() const { return m_differencesOnly; }
    // The rows shown now, as "place: left | right".
    QStringList shownRows() const;

private:
    void showRows();

    host::SetComparison m_comparison;
    QLabel *m_summary;
    QTableWidget *m_table;
    QCheckBox *m_differencesOnly;
};

} // namespace veltrane::app

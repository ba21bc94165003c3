#pragma once

#include "host/objects/sql_store.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace veltrane::app {

// What opening an exchange file from the desktop shows: the parameter sets the file holds, whether
// each is new to the store or would replace a stored one, and Import. Nothing is stored before the
// user says so; a file that cannot be imported says why, and the store stays as it was.
class ImportWindow : public QDialog
{
    Q_OBJECT
public:
    ImportWindow(host::SqlStore &store, const QString &file, QWidget *parent = nullptr);

    // The sets the file holds, in file order (empty when it cannot be read).
    QStringList setNames() const { return m_sets; }
    // Whether the file was imported (the sets are stored).
    bool imported() const { return m_imported; }

    // Imports the file with the options shown; the outcome is shown in the window.
    void importFile();

private:
    enum class Stored { No, Yes, ReadOnly };

    void readFile();
    void showSets();

    host::SqlStore &m_store;
    QString m_file;
    QStringList m_sets;
    QList<Stored> m_stored;
    bool m_imported = false;

    QLabel *m_heading;
    QListWidget *m_list;
    QCheckBox *m_replace;
    QLabel *m_outcome;
    QDialogButtonBox *m_buttons;
    QPushButton *m_import;
};

} // namespace veltrane::app

#pragma once

#include "veltrane/common/page_kit.h"
#include "veltrane/contracts/business_objects.h"
#include "veltrane/contracts/page_framework.h"

#include <QWidget>

namespace veltrane {

class ComboBox;
class CommandButton;
class Frame;
class GridControl;
class Label;

// The page on which the user picks a stored parameter set, sees its summary, and starts the
// editor for a new or an existing set. The set selected when the page is left is published in the
// business context under "AnalysisParameter".
class SelectParamPage : public QWidget, public IPageAccess, private PageKit<SelectParamPage>
{
    Q_OBJECT
    Q_PROPERTY(veltrane::ObjectPtr SelectedParameter READ SelectedParameter)
    Q_PROPERTY(veltrane::PageBase *Page READ Page)
public:
    explicit SelectParamPage(QWidget *parent = nullptr);
    ~SelectParamPage() override;

    // The set whose summary is shown; null until the first summary.
    AnalysisParameterPtr SelectedParameter() const;
    // Reloads the list and selects the set of that name (ignoring case; the default set's
    // position is remembered on the way). Late-bound callers pass the name by reference; it is not
    // changed.
    Q_INVOKABLE void RefreshView(QString &sParamName);
    void RefreshView(const QString &sParamName)
    {
        QString name = sParamName;
        RefreshView(name);
    }

    PageBase *Page() override;

private:
    void UserControl_Initialize();
    void m_oPageBase_Initialize(QObject *oLastPanePositions);
    void m_oPageBase_Activate();
    void m_oPageBase_Deactivate();
    void cmbAnalysisParams_Click();
    void cmdNew_Click();
    void cmdEdit_Click();
    void DisplayParameter();
    void Clear();
    void MakeGridStatic(GridControl *grid);
    void buildControls();
    friend class PageKit<SelectParamPage>;

    PageBase *m_oPageBase = nullptr;
    CollectionPtr m_colAnalysisParameters; // the sets of the last reload
    AnalysisParameterPtr m_oSelectedParameter;
    qint32 m_lDefaultPosition = 0; // 1-based position of the default set; 0 until one is listed

    Frame *fraSelect = nullptr;
    ComboBox *cmbAnalysisParams = nullptr;
    CommandButton *cmdNew = nullptr;
    CommandButton *cmdEdit = nullptr;
    Frame *fraSummary = nullptr;
    Label *lblProject = nullptr;
    Label *lblDateModified = nullptr;
    Label *lblStandard = nullptr;
    Label *lblModel = nullptr;
    Label *lblCalibrationMatrix = nullptr;
    Frame *fraLocusTags = nullptr;
    GridControl *grdLocusTags = nullptr;
};

} // namespace veltrane

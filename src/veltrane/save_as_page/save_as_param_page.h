#pragma once

#include "veltrane/common/page_kit.h"
#include "veltrane/contracts/business_objects.h"
#include "veltrane/contracts/page_framework.h"

#include <QWidget>

namespace veltrane {

class Label;
class ListBox;
class TextBox;

// The page of the save-as flow: asks for a name no stored set has, shows the names in use, and
// hands the accepted name back under "ParamName". It stores nothing itself.
class SaveAsParamPage : public QWidget, public IPageAccess, private PageKit<SaveAsParamPage>
{
    Q_OBJECT
    Q_PROPERTY(veltrane::PageBase *Page READ Page)
public:
    explicit SaveAsParamPage(QWidget *parent = nullptr);
    ~SaveAsParamPage() override;

    PageBase *Page() override;

private:
    friend class PageKit<SaveAsParamPage>;

    void buildControls();
    void UserControl_Initialize();
    void m_oPageBase_Initialize(QObject *oLastPanePositions);
    void m_oPageBase_Validate(bool &bIsValid);
    void m_oPageBase_Save();
    void txtAnalysisParamName_Change();
    void lstAnalysisParamNameList_Click();
    void LoadAnalysisParamNameList();

    PageBase *m_oPageBase = nullptr;
    CollectionPtr m_colAnalysisParameters;     // the existing sets, by name
    AnalysisParameterPtr m_oAnalysisParameter; // the set to be saved

    Label *lblAnalysisParamName = nullptr;
    TextBox *txtAnalysisParamName = nullptr;
    Label *lblExistAnalysisParam = nullptr;
    ListBox *lstAnalysisParamNameList = nullptr;
};

} // namespace veltrane

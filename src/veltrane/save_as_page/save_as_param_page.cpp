#include "veltrane/save_as_page/save_as_param_page.h"

#include "platform/forms/label.h"
#include "platform/forms/list_box.h"
#include "platform/forms/text_box.h"
#include "veltrane/common/formats.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"

#include <QVBoxLayout>

namespace veltrane {

SaveAsParamPage::SaveAsParamPage(QWidget *parent)
    : QWidget(parent)
    , PageKit("SaveAsParamPage")
{
    setObjectName(pages::kSaveAsParamPage);
    buildControls();
    UserControl_Initialize();
}

SaveAsParamPage::~SaveAsParamPage() = default;

void SaveAsParamPage::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    lblAnalysisParamName =
        make<Label>(this, QStringLiteral("lblAnalysisParamName"), QStringLiteral("New Analysis Parameter Name:"));
    txtAnalysisParamName = make<TextBox>(this, QStringLiteral("txtAnalysisParamName"));
    txtAnalysisParamName->setMaxLength(128);
    txtAnalysisParamName->setText(QStringLiteral("Analysis Parameter Name"));
    lblAnalysisParamName->setBuddy(txtAnalysisParamName);
    lblExistAnalysisParam =
        make<Label>(this, QStringLiteral("lblExistAnalysisParam"), QStringLiteral("Existing Analysis Parameter Names"));
    lstAnalysisParamNameList = make<ListBox>(this, QStringLiteral("lstAnalysisParamNameList"));
    lblExistAnalysisParam->setBuddy(lstAnalysisParamNameList);
    layout->addWidget(lblAnalysisParamName);
    layout->addWidget(txtAnalysisParamName);
    layout->addWidget(lblExistAnalysisParam);
    layout->addWidget(lstAnalysisParamNameList, 1);

    on(txtAnalysisParamName, &TextBox::Change, &SaveAsParamPage::txtAnalysisParamName_Change);
    on(lstAnalysisParamNameList, &ListBox::Click, &SaveAsParamPage::lstAnalysisParamNameList_Click);
}

void SaveAsParamPage::UserControl_Initialize()
{
    guard(ReportAndStop, "UserControl_Initialize", [&] {
        m_oPageBase = new PageBase(this);
        handle(m_oPageBase->handlers.Initialize, &SaveAsParamPage::m_oPageBase_Initialize);
        handle(m_oPageBase->handlers.Validate, &SaveAsParamPage::m_oPageBase_Validate);
        handle(m_oPageBase->handlers.Save, &SaveAsParamPage::m_oPageBase_Save);
    });
}

PageBase *SaveAsParamPage::Page()
{
    return guard(Propagate, "IPageAccess_Page (Get)", [&] { return m_oPageBase; });
}

void SaveAsParamPage::m_oPageBase_Initialize(QObject *)
{
    guard(ReportOnly, "m_oPageBase_Initialize", [&] {
        const CollectionPtr context = requireContext();
        if (Utilities().KeyExists(context, keys::kParamName))
            context->Remove(keys::kParamName);
        m_colAnalysisParameters = ObjectManager().LoadCollection(queries::kAnalysisParametersNotHidden, QString(),
                                                                 QString(), fields::kName, false, true);
        m_oAnalysisParameter = context->Object<AnalysisParameter>(keys::kSaveParamAs);
        if (!m_oAnalysisParameter)
            throw Error::objectNotSet(QString::fromLatin1(className()),
                                      QStringLiteral("the context holds no set under \"%1\"").arg(keys::kSaveParamAs));
        txtAnalysisParamName->setText(m_oAnalysisParameter->Name());
        LoadAnalysisParamNameList();
        txtAnalysisParamName->setText(QString());
    });
}

void SaveAsParamPage::LoadAnalysisParamNameList()
{
    guard(ReportOnly, "LoadAnalysisParamNameList", [&] {
        for (qint32 i = 1; i <= m_colAnalysisParameters->Count(); ++i) {
            const auto set = m_colAnalysisParameters->Object<AnalysisParameter>(i);
            lstAnalysisParamNameList->AddItem(trimTrailing(set ? set->Name() : QString()));
        }
    });
}

void SaveAsParamPage::lstAnalysisParamNameList_Click()
{
    guard(ReportOnly, "lstAnalysisParamNameList_Click",
          [&] { txtAnalysisParamName->setText(lstAnalysisParamNameList->Text()); });
}

void SaveAsParamPage::txtAnalysisParamName_Change()
{
    guard(ReportOnly, "txtAnalysisParamName_Change", [&] { m_oPageBase->MarkDirty(); });
}

void SaveAsParamPage::m_oPageBase_Validate(bool &bIsValid)
{
    guard(Propagate, "m_oPageBase_Validate", [&] {
        bIsValid = true;
        // Trailing spaces do not make a name new; leading ones do.
        const QString name = trimTrailing(txtAnalysisParamName->Text());
        const bool taken = Utilities().KeyExists(m_colAnalysisParameters, name);
        if (taken || name.isEmpty())
            bIsValid = false;
    });
}

void SaveAsParamPage::m_oPageBase_Save()
{
    guard(ReportOnly, "m_oPageBase_Save",
          [&] { requireContext()->Add(txtAnalysisParamName->Text(), keys::kParamName); });
}

} // namespace veltrane

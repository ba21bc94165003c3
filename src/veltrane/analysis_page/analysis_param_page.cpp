// The editor's life cycle: creation, the framework's events, the public members.

#include "veltrane/analysis_page/analysis_param_page.h"

#include "platform/forms/frame.h"
#include "platform/forms/mouse_pointer.h"
#include "platform/forms/text_box.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"

namespace veltrane {

namespace {
// The error the page raises itself when its flow did not give it what it needs.
const QString kCheckParameters = QStringLiteral("Check Parameters");
} // namespace

AnalysisParamPage::AnalysisParamPage(QWidget *parent)
    : QWidget(parent)
    , PageKit("AnalysisParamPage")
{
    setObjectName(pages::kAnalysisParamPage);
    buildControls();
    wireEvents();
    UserControl_Initialize();
}

AnalysisParamPage::~AnalysisParamPage() = default;

PageBase *AnalysisParamPage::Page()
{
    return guard(Propagate, "IPageAccess_Page (Get)", [&] { return m_oPageBase; });
}

AnalysisParameterPtr AnalysisParamPage::analysisParameter() const
{
    return guard(Propagate, "AnalysisParameter (Get)", [&] { return m_oAnalysisParameter; });
}

void AnalysisParamPage::RefreshView() {}

void AnalysisParamPage::m_oPageBase_Initialize(QObject *)
{
    guard(Propagate, "m_oPageBase_Initialize", [&] {
        const CollectionPtr context = m_oPageBase->BusinessContext();
        if (!context)
            throw Error(kLibraryError, kCheckParameters, QStringLiteral("Business Context is NULL."));
        if (!Utilities().KeyExists(context, keys::kAnalysisParameter))
            throw Error(kLibraryError, kCheckParameters,
                        QStringLiteral("AnalysisParameter key is expected in the collection."));
        m_colAnalysisParameters = ObjectManager().LoadCollection(queries::kAnalysisParameters, QString(), QString(),
                                                                 fields::kName, false, true);
        m_oAnalysisParameter = context->Object<veltrane::AnalysisParameter>(keys::kAnalysisParameter);
        context->Remove(keys::kAnalysisParameter);
        if (!m_oAnalysisParameter)
            throw Error::objectNotSet(
                QString::fromLatin1(className()),
                QStringLiteral("the context holds no parameter set under \"%1\"").arg(keys::kAnalysisParameter));

        // The pointer comes back even when loading fails part-way.
        const HourglassPointer hourglass;
        Initialize();
        HideTabFrames();
        fraGeneral->setVisible(true);
        fitTabContents();
    });
}

void AnalysisParamPage::m_oPageBase_Activate()
{
    guard(Propagate, "m_oPageBase_Activate", [&] {
        const CollectionPtr context = requireContext();
        if (Utilities().KeyExists(context, keys::kSaveParamAs))
            context->Remove(keys::kSaveParamAs);
        // A page whose Initialize failed shows no set: asking it for one is an error, not a crash.
        if (m_bValidatedOnce && (requireSettings()->Attributes() & limits::kReadOnlyBits) != 0) {
            txtParameterSetName->setToolTip(
                QStringLiteral("This is a read-only item.  You must give a new name to save your settings."));
            m_oPageBase->Window()->SetButtonEnabled(kCommandCommit, false);
            m_oPageBase->MarkDirty();
        }
    });
}

void AnalysisParamPage::m_oPageBase_OnExit(ServiceWindow *, bool) {}

FragAnalysisParamPtr AnalysisParamPage::requireSettings() const
{
    if (!m_oAnalysisParameter)
        throw Error::objectNotSet(QString::fromLatin1(className()), QStringLiteral("the page shows no parameter set"));
    const FragAnalysisParamPtr settings = m_oAnalysisParameter->FragAnalysisParam();
    if (!settings)
        throw Error::objectNotSet(QString::fromLatin1(className()), QStringLiteral("the set has no settings"));
    return settings;
}

} // namespace veltrane

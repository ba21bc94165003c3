#include "veltrane/service/service.h"

#include "veltrane/contracts/error_trap.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"

namespace veltrane {

namespace {
constexpr const char *kClass = "Service";
}

class Service::Access : public IServiceAccess
{
public:
    explicit Access(veltrane::Service *owner)
        : m_owner(owner)
    {}
    ServiceBase *Service() override
    {
        return trap(Ending::Propagate, kClass, "IServiceAccess_Service (Get)",
                    [this] { return m_owner->m_oServiceBase.get(); });
    }

private:
    veltrane::Service *m_owner;
};

Service::Service(QObject *parent)
    : QObject(parent)
    , m_access(std::make_unique<Access>(this))
{
    trap(Ending::Propagate, kClass, "Class_Initialize", [this] { m_oServiceBase = std::make_unique<ServiceBase>(); });
}

Service::~Service() = default;

IServiceAccess *Service::serviceAccess()
{
    return m_access.get();
}

ServiceBase *Service::serviceBase()
{
    return m_access->Service();
}

void Service::SelectAnalysisParameters()
{
    trap(Ending::Propagate, kClass, "SelectAnalysisParameters", [] {
        CollectionPtr context = newCollection();
        ServiceWindowPtr window = App().RunService(flows::kSelectAnalysisParameters, context, nullptr,
                                                   flow_options::kSelectAnalysisParameters);
        // Nothing of the flow's outcome goes back to the host.
        window.reset();
        context.reset();
    });
}

AnalysisParameterPtr Service::NewAnalysisParameter()
{
    return trap(Ending::Propagate, kClass, "NewAnalysisParameter", [] {
        // A manager of its own for this call, not the shared one the pages use.
        std::shared_ptr<BusinessObjectManager> manager = newObjectManager();
        auto set = qSharedPointerObjectCast<AnalysisParameter>(manager->NewObject(types::kAnalysisParameter));
        if (!set)
            throw Error::typeMismatch(QStringLiteral("Service"),
                                      QStringLiteral("NewObject did not answer an AnalysisParameter"));
        return set;
    });
}

} // namespace veltrane

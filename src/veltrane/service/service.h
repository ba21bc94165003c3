#pragma once

#include "veltrane/contracts/business_objects.h"
#include "veltrane/contracts/page_framework.h"

#include <QObject>
#include <memory>

namespace veltrane {

// The library's one creatable, non-visual class: opens the parameter-set flow and hands out new,
// empty parameter sets.
class Service : public QObject
{
    Q_OBJECT
    // IServiceAccess.Service for late-bound callers.
    Q_PROPERTY(veltrane::ServiceBase *Service READ serviceBase)
public:
    explicit Service(QObject *parent = nullptr);
    ~Service() override;

    // Opens the flow in which the user manages parameter sets; returns when it has ended.
    Q_INVOKABLE void SelectAnalysisParameters();
    // A new, empty, unsaved parameter set (nothing is stored). Late-bound callers receive it as the
    // ObjectPtr it converts to; C++ callers keep its type.
#ifdef Q_MOC_RUN
    Q_INVOKABLE veltrane::ObjectPtr NewAnalysisParameter();
#else
    AnalysisParameterPtr NewAnalysisParameter();
#endif

    // The framework's view of this service: IServiceAccess.Service answers the ServiceBase.
    IServiceAccess *serviceAccess();
    ServiceBase *serviceBase();

private:
    class Access;
    std::unique_ptr<ServiceBase> m_oServiceBase;
    std::unique_ptr<Access> m_access;
};

} // namespace veltrane

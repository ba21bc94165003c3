// What a late-bound call through a dispatch table costs over Qt's own call by name: the table's
// checks (member, argument count and types) and its by-reference write-back ride on the same
// meta-object call. Each BM_X runs beside its floor BM_X_Floor; the program prints X / floor.

#include "support/ratio_reporter.h"
#include "veltrane/contracts/automation.h"

#include <QMetaObject>

using namespace veltrane;
using namespace veltrane::automation;

namespace {

class Target : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE qint32 GetPower(QString &sString) { return qint32(sString.size()); }
};

void registerTarget()
{
    registerDispatchTable(&Target::staticMetaObject, {QStringLiteral("Target"),
                                                      {{QStringLiteral("GetPower"),
                                                        CallKind::Method,
                                                        0x60030013,
                                                        {{QStringLiteral("sString"), Type::Text, {}, true}},
                                                        {{}, Type::Int32, {}, false},
                                                        {}}}});
}

// By name, a caller's text passed by reference, a 32-bit result.
void BM_CallByName(benchmark::State &state)
{
    Target target;
    QVariantList args{QStringLiteral("150")};
    for (auto _ : state)
        benchmark::DoNotOptimize(call(&target, QStringLiteral("getpower"), args));
}

void BM_CallByName_Floor(benchmark::State &state)
{
    Target target;
    QString text = QStringLiteral("150");
    for (auto _ : state) {
        qint32 result = 0;
        QMetaObject::invokeMethod(&target, "GetPower", Qt::DirectConnection, Q_RETURN_ARG(qint32, result),
                                  QGenericArgument("QString&", &text));
        benchmark::DoNotOptimize(result);
    }
}

void BM_CallById(benchmark::State &state)
{
    Target target;
    QVariantList args{QStringLiteral("150")};
    for (auto _ : state)
        benchmark::DoNotOptimize(call(&target, 0x60030013, args));
}

void BM_CallById_Floor(benchmark::State &state)
{
    BM_CallByName_Floor(state);
}

VELTRANE_BENCHMARK_PAIR(BM_CallByName, ->Unit(benchmark::kNanosecond));
VELTRANE_BENCHMARK_PAIR(BM_CallById, ->Unit(benchmark::kNanosecond));

} // namespace

int main(int argc, char **argv)
{
    registerTarget();
    benchmark::Initialize(&argc, argv);
    return veltrane::bench::runWithRatios(veltrane::bench::RatioReporter::Clock::Cpu);
}

#include "bench_automation.moc"

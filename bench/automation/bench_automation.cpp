// What a late-bound call through a dispatch table costs over the plainest late-bound call: a member
// found by its case-folded name (or its id) in a hash resolved once, then called through the
// meta-object with the argument taken out of its variant and written back. The table adds its
// checks (member kind, argument count and types). Each BM_X runs beside its floor BM_X_Floor; the
// program prints X / floor.

#include "support/ratio_reporter.h"
#include "veltrane/contracts/automation.h"

#include <QHash>
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

// The floor's call: the method index resolved once, the text out of its variant and back.
qint32 plainCall(Target &target, int index, QVariantList &args)
{
    QString text = args.first().toString();
    qint32 result = 0;
    void *argv[] = {&result, &text};
    QMetaObject::metacall(&target, QMetaObject::InvokeMetaMethod, index, argv);
    args.first() = text;
    return result;
}

void BM_CallByName_Floor(benchmark::State &state)
{
    Target target;
    const QHash<QString, int> byName{
        {QStringLiteral("getpower"), Target::staticMetaObject.indexOfMethod("GetPower(QString&)")}};
    QVariantList args{QStringLiteral("150")};
    const QString name = QStringLiteral("getpower");
    for (auto _ : state)
        benchmark::DoNotOptimize(plainCall(target, byName.value(name.toCaseFolded()), args));
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
    Target target;
    const QHash<qint32, int> byId{{0x60030013, Target::staticMetaObject.indexOfMethod("GetPower(QString&)")}};
    QVariantList args{QStringLiteral("150")};
    for (auto _ : state)
        benchmark::DoNotOptimize(plainCall(target, byId.value(0x60030013), args));
}

VELTRANE_BENCHMARK_PAIR(BM_CallByName, ->Unit(benchmark::kNanosecond));
VELTRANE_BENCHMARK_PAIR(BM_CallById, ->Unit(benchmark::kNanosecond));

} // namespace

int main(int argc, char **argv)
{
    registerTarget();
    if (!veltrane::bench::initialize(argc, argv))
        return 1;
    return veltrane::bench::runWithRatios(veltrane::bench::RatioReporter::Clock::Cpu);
}

#include "bench_automation.moc"

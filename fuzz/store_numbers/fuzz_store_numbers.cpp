// Fuzzes the conversions between numbers and texts (number_conversions.h): any text is read by each
// conversion; what it reads is written back and must read as the same number. The bytes also stand
// for a single-precision number directly, which must survive writing and reading exactly.

#include "number_conversions.h"

#include <QCoreApplication>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using veltrane::fuzz::kConversions;
using veltrane::fuzz::NumberConversion;

namespace {

[[noreturn]] void broken(const NumberConversion &c, const QString &text, double first, const QString &written,
                         double again)
{
    std::fprintf(stderr, "%s: \"%s\" read as %.17g, written as \"%s\", read back as %.17g\n", c.name, qPrintable(text),
                 first, qPrintable(written), again);
    std::abort();
}

void roundTrip(const NumberConversion &c, const QString &text)
{
    const std::optional<double> value = c.read(text);
    if (!value || !c.roundTrips)
        return;
    const QString written = c.write(*value);
    const std::optional<double> again = c.read(written);
    if (!again || !(*again == *value || (std::isnan(*again) && std::isnan(*value))))
        broken(c, text, *value, written, again.value_or(NAN));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const NumberConversion *c = kConversions; c->name; ++c) {
        roundTrip(*c, text);
        if (size >= sizeof(float) && std::strcmp(c->name, "single-precision number") == 0) {
            float f;
            std::memcpy(&f, data, sizeof f);
            if (!std::isnan(f))
                roundTrip(*c, c->write(double(f)));
        }
    }
    return 0;
}

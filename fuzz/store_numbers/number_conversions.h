#pragma once

// The conversions between numbers and their texts that a fuzz target checks, each as a pair: read a
// text (nothing when it is not a number of the kind) and write a number back. Add a conversion to the
// table to fuzz it too. (The editor's number texts have a target of their own, fuzz/editor_numbers.)

#include <QString>
#include <optional>

namespace veltrane::fuzz {

struct NumberConversion
{
    const char *name;
    std::optional<double> (*read)(const QString &text);
    QString (*write)(double value);
    // Whether write(read(text)) must read back as the same number: a conversion that is exact.
    bool roundTrips;
};

// The conversions, ending with one whose name is nullptr.
extern const NumberConversion kConversions[];

} // namespace veltrane::fuzz

#pragma once

#include <QTest>

namespace veltrane::test {

// The columns of a data function, a type and a name each: columns<QString, bool>("field", "valid").
template <typename... T, typename... Name> void columns(const Name &...names)
{
    static_assert(sizeof...(T) == sizeof...(Name), "one name per column");
    (QTest::addColumn<T>(names), ...);
}

// One row of a data function on one line: its tag, then a value per column in their order.
template <typename... V> void row(const char *tag, const V &...values)
{
    (QTest::newRow(tag) << ... << values);
}

} // namespace veltrane::test

#pragma once

#include <QJsonDocument>
#include <QString>

namespace veltrane::testing {

// An exchange document shaped like a lab's store, for loads and measurements: setCount sets, each with
// a size standard of sixteen fragments (fourteen of them selected peaks), four quantitation rows,
// fifteen of thirty STR tags and four of snpTagCount SNP tags, and the definitions they name. Names
// start with prefix ("Bench Ladder", "Bench Mobility"); set names are numbered with leading zeros so
// they sort in the order they were made. Past the first, sizeStandardCount - 1 more size standards of
// sixteen fragments each ("Bench Ladder 00001", ...) that no set uses, as a lab keeps old ones.
QJsonDocument labExchange(int setCount, int snpTagCount, const QString &prefix, int sizeStandardCount = 1);

} // namespace veltrane::testing

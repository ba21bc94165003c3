#include "platform/forms/control_array.h"

namespace veltrane {

QString arrayMemberName(const QString &base, int index)
{
    return base + QLatin1Char('(') + QString::number(index) + QLatin1Char(')');
}

bool splitArrayMemberName(const QString &name, QString *base, int *index)
{
    if (!name.endsWith(QLatin1Char(')')))
        return false;
    const qsizetype open = name.lastIndexOf(QLatin1Char('('));
    if (open <= 0)
        return false;
    bool ok = false;
    const int number = name.mid(open + 1, name.length() - open - 2).toInt(&ok);
    if (!ok)
        return false;
    if (base)
        *base = name.left(open);
    if (index)
        *index = number;
    return true;
}

int arrayIndex(const QObject *member)
{
    int index = -1;
    if (!member || !splitArrayMemberName(member->objectName(), nullptr, &index))
        return -1;
    return index;
}

} // namespace veltrane

#pragma once

#include <QMetaObject>
#include <QStringList>
#include <QTest>
#include <QWidget>

namespace veltrane::test {

// A flag as controlState() shows it.
inline QString truth(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// A control's state, reached by the name the automation surface gives it: "name" is what it shows
// (its text, or a label's caption), "name.Property" one property, "name.List" and "name.ItemData" a
// list's entries joined by "|". "(missing)" when there is no such control under root, "(no property
// ...)" when the control has no such property.
inline QString controlState(const QWidget &root, const QString &what)
{
    const QString property = what.section(u'.', 1);
    QObject *w = root.findChild<QWidget *>(what.section(u'.', 0, 0));
    if (!w)
        return QStringLiteral("(missing)");
    if (property == QLatin1String("List") || property == QLatin1String("ItemData")) {
        QStringList out;
        for (int i = 0; i < w->property("ListCount").toInt(); ++i) {
            QString entry;
            qint32 data = 0;
            if (property == QLatin1String("List"))
                QMetaObject::invokeMethod(w, "List", Q_RETURN_ARG(QString, entry), Q_ARG(int, i));
            else
                QMetaObject::invokeMethod(w, "ItemData", Q_RETURN_ARG(qint32, data), Q_ARG(int, i));
            out << (property == QLatin1String("List") ? entry : QString::number(data));
        }
        return out.join(u'|');
    }
    const QVariant value = w->property(property.isEmpty() ? "Text" : qPrintable(property));
    if (!value.isValid() && !property.isEmpty())
        return QStringLiteral("(no property %1)").arg(property);
    return (value.isValid() ? value : w->property("Caption")).toString();
}

// Compares controls with "name=value" expectations (see controlState()). "(#)" in a name stands for
// each of the four quantitation rows, (0) to (3), with the value given, or with one value each when
// four are given, split by "|". A difference names the control.
inline void expect(const QWidget &root, const QStringList &expected)
{
    QStringList want, got;
    for (const QString &each : expected) {
        const QString name = each.section(u'=', 0, 0), value = each.section(u'=', 1);
        const bool eachRow = name.contains(QLatin1String("(#)"));
        const QStringList values = eachRow && value.count(u'|') == 3 ? value.split(u'|') : QStringList(4, value);
        for (int row = 0; row < (eachRow ? 4 : 1); ++row) {
            const QString one = QString(name).replace(QLatin1String("(#)"), QStringLiteral("(%1)").arg(row));
            want << one + u'=' + values.at(row);
            got << one + u'=' + controlState(root, one);
        }
    }
    QCOMPARE(got, want);
}

} // namespace veltrane::test

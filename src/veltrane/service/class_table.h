#pragma once

#include <QList>
#include <QString>
#include <QUuid>
#include <functional>

class QObject;
class QWidget;

namespace veltrane {

// The library's public classes: what a host may create by programmatic identifier
// ("Veltrane.Service") or, for pages, by class name ("SelectParamPage").
struct PublicClass
{
    QString className;
    QUuid classId;
    bool isPage = false; // pages are widgets that implement IPageAccess
    std::function<QObject *(QWidget *parent)> create;

    QString progId() const { return QStringLiteral("Veltrane.") + className; }
};

const QList<PublicClass> &publicClasses();

// Creates a public class by programmatic identifier or class name (case does not matter); an
// unknown name raises an Error.
QObject *createObject(const QString &name, QWidget *parent = nullptr);

// Creates a page by class name (the framework's page factory); an unknown or non-page name raises
// an Error.
QWidget *createPage(const QString &className, QWidget *parent = nullptr);

} // namespace veltrane

#pragma once

#include <QList>
#include <QString>
#include <QUuid>
#include <functional>

class QObject;
class QWidget;
struct QMetaObject;

namespace veltrane {

// The library's public classes: what a host may create by programmatic identifier
// ("Veltrane.Service"), by class identifier, or, for pages, by class name ("SelectParamPage").
// Names, identifiers and interfaces come from the type library; a class not built yet has no
// meta-object and no creation function.
struct PublicClass
{
    QString className;
    QUuid classId;
    bool isPage = false; // pages are widgets that implement IPageAccess
    bool isControl = false;
    const QMetaObject *meta = nullptr;
    std::function<QObject *(QWidget *parent)> create;

    QString progId() const { return QStringLiteral("Veltrane.") + className; }
    bool isBuilt() const { return bool(create); }
};

const QList<PublicClass> &publicClasses();

// The class of that class name, programmatic identifier (case does not matter) or class identifier;
// null when there is none.
const PublicClass *findPublicClass(const QString &name);

// Creates a public class by programmatic identifier or class name, or an outside control by its
// programmatic identifier (case does not matter): one the host registered in the process
// (registerOutsideControl), else one a component library registered in the component registry. An
// unknown name, a class not built yet or a registered class that is no control raises an Error.
QObject *createObject(const QString &name, QWidget *parent = nullptr);

// Controls of the host that the library's pages place on themselves (the STR locus tag selector of
// the editor), made in the process: a host that links its controls registers how to make each under
// its programmatic identifier, and createObject makes them after looking among the library's own
// classes and before asking the component registry. An empty function forgets the identifier.
void registerOutsideControl(const QString &progId, std::function<QWidget *(QWidget *parent)> create);

// Creates a page by class name (the framework's page factory); an unknown or non-page name raises
// an Error.
QWidget *createPage(const QString &className, QWidget *parent = nullptr);

} // namespace veltrane

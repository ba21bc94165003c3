#pragma once

// The client side of the component registry: loading a component library and making objects of
// the classes it registered, as any host does (the library itself does it for the outside controls
// it places on its pages).

#include "veltrane/contracts/component_abi.h"
#include "veltrane/contracts/error.h"

#include <QString>

namespace veltrane::components {

// A component library loaded into the process. Libraries stay loaded until the process ends, as
// libraries of Qt objects must: their classes' meta-objects are referred to from Qt's own tables.
struct ComponentLibrary
{
    QString path;
    VtDllGetClassObjectFn getClassObject = nullptr;
    VtDllCanUnloadNowFn canUnloadNow = nullptr;
    VtDllRegisterServerFn registerServer = nullptr;
    VtDllUnregisterServerFn unregisterServer = nullptr;
};

// Loads a library once (later calls answer the same one). Raises Error kLibraryNotFound when it
// cannot be loaded, kErrorInLibrary when it lacks an entry point.
const ComponentLibrary &loadComponentLibrary(const QString &path);

// Creates an object through the registry: name is a programmatic identifier ("Veltrane.Service")
// or a class identifier ("{C8FE094E-...}"); control asks for a class registered as a control. The
// caller owns the one reference answered. Raises Error: kInvalidClassString for an unknown
// programmatic identifier, kClassNotRegistered for an unregistered class (or one that is no
// control where a control is asked for), the library's and its factory's own numbers
// (kClassNotAvailable for a class the library does not make) otherwise.
VtObject *createRegisteredObject(const QString &name, bool control = false);

// An Error carrying a status a component answered.
Error componentError(VtResult status, const QString &source, const QString &detail = {});

} // namespace veltrane::components

#pragma once

// Every error number the library and its host layers raise, in one registry, so that a number tells
// one failure apart from every other. Application-defined numbers lie above hexadecimal 80040000 in
// one block per layer, clear of the numbers component registries use for their own failures
// (hexadecimal 80040100 to 800402FF); the platform's run-time numbers are the platform's own.

#include "platform/runtime_errors.h"
#include "veltrane/contracts/component_abi.h"

#include <QString>
#include <QtGlobal>
#include <array>

namespace veltrane {

// The first application-defined error number (hexadecimal 80040000): what the library raises itself.
constexpr qint32 kApplicationError = qint32(0x80040000u);

#define VELTRANE_APPLICATION_ERRORS(X)                                                                                 \
    /* the library's own errors */                                                                                     \
    X(kLibraryError, 0x000)                                                                                            \
    /* the page framework (source "PageFramework") */                                                                  \
    X(kFlowNotRegistered, 0x401) /* unknown flow name, or a flow without pages */                                      \
    X(kPageNotCreated, 0x402)    /* the page factory made no page of that class */                                     \
    X(kNoUserInterface, 0x403)   /* no widget application, or not its thread */                                        \
    X(kPageNotAdopted, 0x404)    /* a page asked for its framework before any framework adopted it */                  \
    /* the business-object store */                                                                                    \
    X(kStoreLocationInvalid, 0x500) /* bad file path or URL */                                                         \
    X(kStoreCannotOpen, 0x501)      /* the database cannot be reached or is not a store */                             \
    X(kStoreSchemaTooNew, 0x502)    /* written by a newer program */                                                   \
    X(kStoreQueryFailed, 0x503)     /* the database refused a statement */                                             \
    X(kStoreNotFound, 0x504)        /* a named or numbered object is not stored */                                     \
    X(kStoreReadOnly, 0x505)        /* a read-only parameter set would be overwritten */                               \
    X(kStoreConflict, 0x506)        /* changed or created by another connection meanwhile */                           \
    X(kStoreInvalidObject, 0x507)   /* an object cannot be stored as it stands */                                      \
    X(kStoreDuplicateName, 0x508)   /* another object of the kind already has the name */                              \
    X(kStoreUnknownName, 0x509)     /* unknown type, query or key field */                                             \
    X(kStoreImportInvalid, 0x50A)   /* an exchange file is malformed or inconsistent */                                \
    X(kStoreImportRefused, 0x50B)   /* an exchange file would overwrite stored sets */                                 \
    X(kStoreNotWritable, 0x50C)     /* the store could be opened for reading only */                                   \
    X(kStoreBusy, 0x50D)            /* another program kept the store locked too long */                               \
    X(kStoreTimedOut, 0x50E)        /* the database server did not answer in time */                                   \
    /* a shared store's rules, kept by its server */                                                                   \
    X(kStorePermissionDenied, 0x50F) /* the user's role does not allow the change (see docs/administration.md) */      \
    /* the history and life cycle of parameter sets */                                                                 \
    X(kStoreActionRefused, 0x520)  /* the set's state forbids the action (default set, locked already, ...) */         \
    X(kStoreRestoreInexact, 0x521) /* a revision's definitions were changed since, so it cannot come back exactly */   \
    X(kStoreHistoryUnreadable, 0x522) /* a stored revision cannot be read */

// Numbers that hosts of components expect from the component machinery itself (late binding, class
// factories, the component registry). Their values are fixed by that convention and spelled in the
// binary interface's header, which C hosts read too.
#define VELTRANE_COMPONENT_ERRORS(X)                                                                                   \
    X(kNoInterface, VT_E_NOINTERFACE, "No such interface supported")                                                   \
    X(kInvalidPointer, VT_E_POINTER, "Invalid pointer")                                                                \
    X(kUnspecifiedFailure, VT_E_FAIL, "Unspecified error")                                                             \
    X(kDispMemberNotFound, VT_DISP_E_MEMBERNOTFOUND, "Member not found")                                               \
    X(kDispTypeMismatch, VT_DISP_E_TYPEMISMATCH, "Type mismatch")                                                      \
    X(kDispBadParamCount, VT_DISP_E_BADPARAMCOUNT, "Invalid number of parameters")                                     \
    X(kDispUnknownName, VT_DISP_E_UNKNOWNNAME, "Unknown name")                                                         \
    X(kDispException, VT_DISP_E_EXCEPTION, "Exception occurred")                                                       \
    X(kInvalidArgument, VT_E_INVALIDARG, "The parameter is incorrect")                                                 \
    X(kNoAggregation, VT_CLASS_E_NOAGGREGATION, "Class does not support aggregation")                                  \
    X(kClassNotAvailable, VT_CLASS_E_CLASSNOTAVAILABLE, "Class factory cannot supply requested class")                 \
    X(kClassNotRegistered, VT_REGDB_E_CLASSNOTREG, "Class not registered")                                             \
    X(kInvalidClassString, VT_CO_E_CLASSSTRING, "Invalid class string")                                                \
    X(kLibraryNotFound, VT_CO_E_DLLNOTFOUND, "Component library not found")                                            \
    X(kErrorInLibrary, VT_CO_E_ERRORINDLL, "Error in the component library")                                           \
    X(kRegistrationFailed, VT_SELFREG_E_CLASS, "Could not register the classes")

enum ComponentError : qint32 {
#define VELTRANE_COMPONENT_ERROR_ENUM(name, number, text) name = (number),
    VELTRANE_COMPONENT_ERRORS(VELTRANE_COMPONENT_ERROR_ENUM)
#undef VELTRANE_COMPONENT_ERROR_ENUM
};

// The conventional text of a component error number; empty for a number that is none of them.
inline QString componentErrorText(qint32 number)
{
    switch (number) {
#define VELTRANE_COMPONENT_ERROR_TEXT(name, value, text)                                                               \
    case (value):                                                                                                      \
        return QStringLiteral(text);
        VELTRANE_COMPONENT_ERRORS(VELTRANE_COMPONENT_ERROR_TEXT)
#undef VELTRANE_COMPONENT_ERROR_TEXT
    default:
        return QString();
    }
}

enum ApplicationError : qint32 {
#define VELTRANE_APPLICATION_ERROR_ENUM(name, offset) name = qint32(0x80040000u + (offset)),
    VELTRANE_APPLICATION_ERRORS(VELTRANE_APPLICATION_ERROR_ENUM)
#undef VELTRANE_APPLICATION_ERROR_ENUM
};

namespace error_registry {

inline constexpr std::array kAllNumbers = {
#define VELTRANE_ERROR_NUMBER_ITEM(name, ...) qint32(name),
    VELTRANE_RUNTIME_ERRORS(VELTRANE_ERROR_NUMBER_ITEM) VELTRANE_COMPONENT_ERRORS(VELTRANE_ERROR_NUMBER_ITEM)
        VELTRANE_APPLICATION_ERRORS(VELTRANE_ERROR_NUMBER_ITEM)
#undef VELTRANE_ERROR_NUMBER_ITEM
};

inline constexpr std::array kApplicationNumbers = {
#define VELTRANE_APPLICATION_NUMBER_ITEM(name, ...) qint32(name),
    VELTRANE_APPLICATION_ERRORS(VELTRANE_APPLICATION_NUMBER_ITEM)
#undef VELTRANE_APPLICATION_NUMBER_ITEM
};

consteval bool allDistinct()
{
    for (std::size_t i = 0; i < kAllNumbers.size(); ++i)
        for (std::size_t j = i + 1; j < kAllNumbers.size(); ++j)
            if (kAllNumbers[i] == kAllNumbers[j])
                return false;
    return true;
}

consteval bool clearOfRegistryNumbers()
{
    for (qint32 n : kApplicationNumbers)
        if (quint32(n) >= 0x80040100u && quint32(n) <= 0x800402FFu)
            return false;
    return true;
}

static_assert(allDistinct(), "two failures share an error number");
static_assert(clearOfRegistryNumbers(), "an application error number lies in the component registry's block");

} // namespace error_registry

} // namespace veltrane

/* The binary interface between a component library and its host: the four entry points a component
 * library exports by name, its class factories, the objects they make and how those are called
 * late-bound. Plain C, so that any host can load a library with dlopen and find its way in with
 * dlsym; docs/automation.md describes it.
 *
 * Every interface is a pointer to a table of functions whose first three are QueryInterface, AddRef
 * and Release, and every result is a 32-bit status: 0 success, 1 "no" (S_FALSE), negative a failure
 * with the numbers below. An object answers QueryInterface with the same pointer for every dispatch
 * interface of its class: a VtObject, whose table starts with that of VtDispatch. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t VtResult;

#define VT_S_OK ((VtResult)0)
#define VT_S_FALSE ((VtResult)1)

/* Failures, with the values hosts of components know them by. */
#define VT_E_NOINTERFACE ((VtResult)0x80004002u)
#define VT_E_POINTER ((VtResult)0x80004003u)
#define VT_E_FAIL ((VtResult)0x80004005u)
#define VT_DISP_E_MEMBERNOTFOUND ((VtResult)0x80020003u)
#define VT_DISP_E_TYPEMISMATCH ((VtResult)0x80020005u)
#define VT_DISP_E_UNKNOWNNAME ((VtResult)0x80020006u)
#define VT_DISP_E_EXCEPTION ((VtResult)0x80020009u)
#define VT_DISP_E_BADPARAMCOUNT ((VtResult)0x8002000Eu)
#define VT_E_INVALIDARG ((VtResult)0x80070057u)
#define VT_CLASS_E_NOAGGREGATION ((VtResult)0x80040110u)
#define VT_CLASS_E_CLASSNOTAVAILABLE ((VtResult)0x80040111u)
#define VT_REGDB_E_CLASSNOTREG ((VtResult)0x80040154u)
#define VT_CO_E_CLASSSTRING ((VtResult)0x800401F3u)
#define VT_CO_E_DLLNOTFOUND ((VtResult)0x800401F8u)
#define VT_CO_E_ERRORINDLL ((VtResult)0x800401F9u)
#define VT_SELFREG_E_CLASS ((VtResult)0x80040201u)

/* A class or interface identifier, laid out as the platform's GUID. */
typedef struct VtGuid
{
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
} VtGuid;

/* {00000000-0000-0000-C000-000000000046} and {00000001-0000-0000-C000-000000000046} */
#define VT_IID_IUNKNOWN                                                                                                \
    {                                                                                                                  \
        0x00000000u, 0x0000u, 0x0000u,                                                                                 \
        {                                                                                                              \
            0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46                                                             \
        }                                                                                                              \
    }
#define VT_IID_ICLASSFACTORY                                                                                           \
    {                                                                                                                  \
        0x00000001u, 0x0000u, 0x0000u,                                                                                 \
        {                                                                                                              \
            0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46                                                             \
        }                                                                                                              \
    }
/* {9DE963D5-52E7-46D3-8B86-17943E9EBC96}: VtDispatch */
#define VT_IID_VTDISPATCH                                                                                              \
    {                                                                                                                  \
        0x9DE963D5u, 0x52E7u, 0x46D3u,                                                                                 \
        {                                                                                                              \
            0x8B, 0x86, 0x17, 0x94, 0x3E, 0x9E, 0xBC, 0x96                                                             \
        }                                                                                                              \
    }
/* {795FCBEF-1AE6-4418-B15C-A9BB85523891}: VtObject */
#define VT_IID_VTOBJECT                                                                                                \
    {                                                                                                                  \
        0x795FCBEFu, 0x1AE6u, 0x4418u,                                                                                 \
        {                                                                                                              \
            0xB1, 0x5C, 0xA9, 0xBB, 0x85, 0x52, 0x38, 0x91                                                             \
        }                                                                                                              \
    }

typedef struct VtUnknown VtUnknown;
typedef struct VtUnknownVtbl
{
    VtResult (*QueryInterface)(VtUnknown *self, const VtGuid *iid, void **object);
    uint32_t (*AddRef)(VtUnknown *self);
    uint32_t (*Release)(VtUnknown *self);
} VtUnknownVtbl;
struct VtUnknown
{
    const VtUnknownVtbl *vtbl;
};

/* Makes objects of one class. Class factories live as long as their library. */
typedef struct VtClassFactory VtClassFactory;
typedef struct VtClassFactoryVtbl
{
    VtResult (*QueryInterface)(VtClassFactory *self, const VtGuid *iid, void **object);
    uint32_t (*AddRef)(VtClassFactory *self);
    uint32_t (*Release)(VtClassFactory *self);
    /* outer must be null (no aggregation); *object receives the new object's interface iid. */
    VtResult (*CreateInstance)(VtClassFactory *self, VtUnknown *outer, const VtGuid *iid, void **object);
    /* A nonzero lock keeps the library loaded (DllCanUnloadNow answers no) until unlocked. */
    VtResult (*LockServer)(VtClassFactory *self, int32_t lock);
} VtClassFactoryVtbl;
struct VtClassFactory
{
    const VtClassFactoryVtbl *vtbl;
};

/* ---- Late binding ------------------------------------------------------------------------------ */

typedef struct VtDispatch VtDispatch;
typedef struct VtVariant VtVariant;

/* What a VtVariant holds. */
typedef enum VtKind {
    VT_EMPTY = 0,  /* no value: a member without result; as an argument, Nothing */
    VT_BOOL = 1,   /* boolean: -1 true, 0 false (any other value reads as true) */
    VT_I2 = 2,     /* i2: 16-bit integer */
    VT_I4 = 3,     /* i4: 32-bit integer */
    VT_R8 = 4,     /* r8: double */
    VT_STRING = 5, /* string: UTF-8, NUL-terminated, allocated with malloc */
    VT_OBJECT = 6, /* object: an object the variant holds one reference to; null is Nothing */
    VT_ARRAY = 7   /* items: count values of the kinds above, allocated with malloc */
} VtKind;

/* A value crossing a dispatch call. Everything it points to belongs to it: strings and item arrays
 * come from malloc, objects carry one reference. VtVariantClear frees all of it (recursively) and
 * leaves VT_EMPTY. */
struct VtVariant
{
    uint16_t kind; /* a VtKind */
    uint16_t reserved;
    uint32_t count; /* VT_ARRAY: the number of items */
    union {
        int16_t boolean;
        int16_t i2;
        int32_t i4;
        double r8;
        char *string;
        VtDispatch *object;
        VtVariant *items;
    } value;
};

/* A failure a call reports: the number and the texts of the error, as the member raised it (strings
 * allocated with malloc, or null). VtErrorClear frees them. */
typedef struct VtError
{
    int32_t number;
    char *source;
    char *description;
    char *helpFile;
    int32_t helpContext;
} VtError;

/* What Invoke is asked to do with a member (flags; a method is also tried as a property get when
 * both are given). */
#define VT_INVOKE_METHOD 1u
#define VT_INVOKE_PROPERTYGET 2u
#define VT_INVOKE_PROPERTYPUT 4u

/* The member a foreign object (one a host implements and passes in) is called through. */
#define VT_DISPID_VALUE 0

/* An object called late-bound.
 *
 * GetIDsOfNames: names[0] is a member's name (any case), names[1..count-1] the names of its
 * arguments; dispIds[i] receives the dispatch id of the member, then each argument's position (from
 * 0), or -1 for a name that is not known, with the result VT_DISP_E_UNKNOWNNAME.
 *
 * Invoke: calls member dispId with argCount arguments in their declared order (not reversed). The
 * arguments are the caller's, and the caller clears them after the call; a member that takes an
 * argument by reference clears the caller's args[i] and leaves its own value there, so a string
 * passed by reference must come from malloc. result (may be null) receives the member's result,
 * VT_EMPTY for none; error (may be null) receives the failure's details. The results:
 *   VT_S_OK                    done
 *   VT_DISP_E_MEMBERNOTFOUND   no member of that id for that kind of call
 *   VT_DISP_E_BADPARAMCOUNT    a wrong number of arguments
 *   VT_DISP_E_TYPEMISMATCH     an argument that does not convert to its type (error names it)
 *   VT_DISP_E_EXCEPTION        the member raised an error: error->number is the member's own
 *   VT_E_INVALIDARG            a variant of no known kind
 *   VT_E_POINTER               args null with argCount > 0
 * An object answers calls on the thread that made it only. */
typedef struct VtDispatchVtbl
{
    VtResult (*QueryInterface)(VtDispatch *self, const VtGuid *iid, void **object);
    uint32_t (*AddRef)(VtDispatch *self);
    uint32_t (*Release)(VtDispatch *self);
    VtResult (*GetIDsOfNames)(VtDispatch *self, const char *const *names, uint32_t count, int32_t *dispIds);
    VtResult (*Invoke)(VtDispatch *self, int32_t dispId, uint32_t flags, VtVariant *args, uint32_t argCount,
                       VtVariant *result, VtError *error);
} VtDispatchVtbl;
struct VtDispatch
{
    const VtDispatchVtbl *vtbl;
};

/* An object of a component library: a VtDispatch (its table starts with VtDispatch's) that also
 * hands out its Qt object. It owns that object: the last Release deletes it, unless the host took it
 * over with TakeQtObject (a widget the host puts in its own window). */
typedef struct VtObject VtObject;
typedef struct VtObjectVtbl
{
    VtResult (*QueryInterface)(VtObject *self, const VtGuid *iid, void **object);
    uint32_t (*AddRef)(VtObject *self);
    uint32_t (*Release)(VtObject *self);
    VtResult (*GetIDsOfNames)(VtObject *self, const char *const *names, uint32_t count, int32_t *dispIds);
    VtResult (*Invoke)(VtObject *self, int32_t dispId, uint32_t flags, VtVariant *args, uint32_t argCount,
                       VtVariant *result, VtError *error);
    /* The QObject, to be called through veltrane::automation; null once it has been destroyed. */
    void *(*QtObject)(VtObject *self);
    /* The same QObject, which the host owns from now on. */
    void *(*TakeQtObject)(VtObject *self);
} VtObjectVtbl;
struct VtObject
{
    const VtObjectVtbl *vtbl;
};

/* Exported by every component library beside its entry points: free what a variant or an error
 * holds (the host may as well do it by hand with free and Release). */
typedef void (*VtVariantClearFn)(VtVariant *variant);
typedef void (*VtErrorClearFn)(VtError *error);

/* The entry points, exported by name with C linkage. */
typedef VtResult (*VtDllGetClassObjectFn)(const VtGuid *clsid, const VtGuid *iid, void **object);
typedef VtResult (*VtDllCanUnloadNowFn)(void);
typedef VtResult (*VtDllRegisterServerFn)(void);
typedef VtResult (*VtDllUnregisterServerFn)(void);

void VtVariantClear(VtVariant *variant);
void VtErrorClear(VtError *error);

#ifdef __cplusplus
}
#endif

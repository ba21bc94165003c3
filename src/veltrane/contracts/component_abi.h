/* The binary interface between a component library and its host: the four entry points a component
 * library exports by name, its class factories and the objects they make. Plain C, so that any host
 * can load a library with dlopen and find its way in with dlsym; docs/automation.md describes it.
 *
 * Every interface is a pointer to a table of functions whose first three are QueryInterface, AddRef
 * and Release, and every result is a 32-bit status: 0 success, 1 "no" (S_FALSE), negative a failure
 * with the numbers below. An object answers QueryInterface with the same pointer for every dispatch
 * interface of its class; it is called late-bound through the Qt object VtObject hands out. */
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
#define VT_DISP_E_BADPARAMCOUNT ((VtResult)0x8002000Eu)
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

/* An object of a component library. It owns its Qt object: the last Release deletes it, unless the
 * host took it over with TakeQtObject (a widget the host puts in its own window). */
typedef struct VtObject VtObject;
typedef struct VtObjectVtbl
{
    VtResult (*QueryInterface)(VtObject *self, const VtGuid *iid, void **object);
    uint32_t (*AddRef)(VtObject *self);
    uint32_t (*Release)(VtObject *self);
    /* The QObject, to be called through veltrane::automation; null once it has been destroyed. */
    void *(*QtObject)(VtObject *self);
    /* The same QObject, which the host owns from now on. */
    void *(*TakeQtObject)(VtObject *self);
} VtObjectVtbl;
struct VtObject
{
    const VtObjectVtbl *vtbl;
};

/* The entry points, exported by name with C linkage. */
typedef VtResult (*VtDllGetClassObjectFn)(const VtGuid *clsid, const VtGuid *iid, void **object);
typedef VtResult (*VtDllCanUnloadNowFn)(void);
typedef VtResult (*VtDllRegisterServerFn)(void);
typedef VtResult (*VtDllUnregisterServerFn)(void);

#ifdef __cplusplus
}
#endif

/* A host written in C that does not link the library: it finds the component libraries through the
 * registry (the JSON files under $XDG_DATA_HOME and $XDG_DATA_DIRS), loads them with dlopen, creates
 * VeltraneHost.Session and Veltrane.Service and calls them by dispatch id. In the selection window it
 * clicks New, names the new set in the editor, commits, and reads the new set's name back from the
 * selection list; then it asks for a new, empty set.
 *
 *   c_host STORE
 *
 * Exit status 0 when everything went as a user would expect, 1 otherwise (each failure printed). */

#define _POSIX_C_SOURCE 200809L

#include "veltrane/contracts/component_abi.h"

#include <dlfcn.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const VtGuid kClassFactory = VT_IID_ICLASSFACTORY;
static const VtGuid kDispatch = VT_IID_VTDISPATCH;
static const VtGuid kUnknown = VT_IID_IUNKNOWN;
static VtVariantClearFn clearVariant;
static VtErrorClearFn clearError;
static int failures;

static void fail(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    fputs("c_host: ", stderr);
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
    va_end(args);
    ++failures;
}

/* ---- the registry ------------------------------------------------------------------------------- */

/* The text of "key": "value" in a small JSON file, into out; 0 when there is none. */
static int jsonText(const char *path, const char *key, char *out, size_t size)
{
    FILE *f = fopen(path, "r");
    if (!f)
        return 0;
    char text[8192];
    const size_t n = fread(text, 1, sizeof text - 1, f);
    fclose(f);
    text[n] = '\0';
    char quoted[64];
    snprintf(quoted, sizeof quoted, "\"%s\"", key);
    const char *at = strstr(text, quoted);
    if (!at || !(at = strchr(at + strlen(quoted), '"')))
        return 0;
    const char *end = strchr(++at, '"');
    if (!end || (size_t)(end - at) >= size)
        return 0;
    memcpy(out, at, (size_t)(end - at));
    out[end - at] = '\0';
    return 1;
}

/* value of "key" in <folder>/veltrane/components/<file>, the user's folder first, then the system's. */
static int registryText(const char *file, const char *key, char *out, size_t size)
{
    char folders[4096] = "";
    const char *home = getenv("XDG_DATA_HOME");
    const char *dirs = getenv("XDG_DATA_DIRS");
    snprintf(folders, sizeof folders, "%s:%s", home ? home : "", dirs ? dirs : "/usr/local/share:/usr/share");
    for (char *folder = strtok(folders, ":"); folder; folder = strtok(NULL, ":")) {
        char path[4096];
        snprintf(path, sizeof path, "%s/veltrane/components/%s", folder, file);
        if (jsonText(path, key, out, size))
            return 1;
    }
    return 0;
}

static int parseGuid(const char *text, VtGuid *guid)
{
    unsigned int b[8];
    if (sscanf(text, "{%8x-%4hx-%4hx-%2x%2x-%2x%2x%2x%2x%2x%2x}", &guid->data1, &guid->data2, &guid->data3, &b[0],
               &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7]) != 11)
        return 0;
    for (int i = 0; i < 8; ++i)
        guid->data4[i] = (uint8_t)b[i];
    return 1;
}

/* A new object of a registered class, by programmatic identifier; null (and a failure) when there is
 * none. */
static VtDispatch *create(const char *progId)
{
    char lower[256], file[512], clsidText[64], library[4096];
    size_t i = 0;
    for (; progId[i] && i < sizeof lower - 1; ++i)
        lower[i] = (char)(progId[i] >= 'A' && progId[i] <= 'Z' ? progId[i] - 'A' + 'a' : progId[i]);
    lower[i] = '\0';
    snprintf(file, sizeof file, "progid/%s.json", lower);
    VtGuid clsid;
    if (!registryText(file, "clsid", clsidText, sizeof clsidText) || !parseGuid(clsidText, &clsid)) {
        fail("%s is not registered", progId);
        return NULL;
    }
    snprintf(file, sizeof file, "clsid/%s.json", clsidText);
    if (!registryText(file, "library", library, sizeof library)) {
        fail("class %s of %s is not registered", clsidText, progId);
        return NULL;
    }
    void *handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        fail("cannot load %s: %s", library, dlerror());
        return NULL;
    }
    VtDllGetClassObjectFn getClassObject = (VtDllGetClassObjectFn)dlsym(handle, "DllGetClassObject");
    clearVariant = (VtVariantClearFn)dlsym(handle, "VtVariantClear");
    clearError = (VtErrorClearFn)dlsym(handle, "VtErrorClear");
    if (!getClassObject || !clearVariant || !clearError) {
        fail("%s lacks an entry point", library);
        return NULL;
    }
    void *answer = NULL;
    if (getClassObject(&clsid, &kClassFactory, &answer) != VT_S_OK) {
        fail("no class factory for %s", progId);
        return NULL;
    }
    VtClassFactory *factory = (VtClassFactory *)answer;
    answer = NULL;
    const VtResult status = factory->vtbl->CreateInstance(factory, NULL, &kDispatch, &answer);
    factory->vtbl->Release(factory);
    if (status != VT_S_OK) {
        fail("cannot create %s: 0x%08x", progId, (unsigned)status);
        return NULL;
    }
    return (VtDispatch *)answer;
}

/* ---- calls -------------------------------------------------------------------------------------- */

static VtVariant text(const char *value)
{
    VtVariant v = {VT_STRING, 0, 0, {0}};
    v.value.string = strdup(value);
    return v;
}

static VtVariant number(int32_t value)
{
    VtVariant v = {VT_I4, 0, 0, {0}};
    v.value.i4 = value;
    return v;
}

/* Calls a member by name; the arguments are cleared afterwards. The result goes to *result when
 * given (the caller clears it), else it is dropped. Answers the status. */
static VtResult call(VtDispatch *object, const char *member, uint32_t flags, VtVariant *args, uint32_t count,
                     VtVariant *result)
{
    int32_t id = -1;
    VtResult status = VT_E_POINTER;
    VtVariant answer = {VT_EMPTY, 0, 0, {0}};
    if (object && (status = object->vtbl->GetIDsOfNames(object, &member, 1, &id)) == VT_S_OK) {
        VtError error = {0, NULL, NULL, NULL, 0};
        status = object->vtbl->Invoke(object, id, flags, args, count, &answer, &error);
        if (status != VT_S_OK)
            fail("%s: 0x%08x %s", member, (unsigned)status, error.description ? error.description : "");
        clearError(&error);
    } else {
        fail("%s is unknown: 0x%08x", member, (unsigned)status);
    }
    for (uint32_t i = 0; i < count; ++i)
        clearVariant(&args[i]);
    if (result)
        *result = answer;
    else
        clearVariant(&answer);
    return status;
}

/* A property's text, into out (empty when it is no text). */
static void getText(VtDispatch *object, const char *property, char *out, size_t size)
{
    VtVariant v;
    out[0] = '\0';
    if (call(object, property, VT_INVOKE_PROPERTYGET, NULL, 0, &v) == VT_S_OK && v.kind == VT_STRING)
        snprintf(out, size, "%s", v.value.string);
    clearVariant(&v);
}

/* The window's control of that name; the caller releases it. */
static VtDispatch *control(VtDispatch *window, const char *name)
{
    VtVariant arg = text(name), v;
    if (call(window, "Control", VT_INVOKE_METHOD, &arg, 1, &v) != VT_S_OK || v.kind != VT_OBJECT || !v.value.object) {
        fail("the window has no control %s", name);
        clearVariant(&v);
        return NULL;
    }
    return v.value.object;
}

/* ---- the handler the session calls for every window shown ------------------------------------- */

static char g_listed[256]; /* what the selection list showed after New */

static VtResult handlerQueryInterface(VtDispatch *self, const VtGuid *iid, void **out)
{
    if (memcmp(iid, &kUnknown, sizeof *iid) && memcmp(iid, &kDispatch, sizeof *iid)) {
        *out = NULL;
        return VT_E_NOINTERFACE;
    }
    *out = self;
    return VT_S_OK;
}

static uint32_t handlerAddRef(VtDispatch *self)
{
    (void)self;
    return 2;
}

static uint32_t handlerRelease(VtDispatch *self)
{
    (void)self;
    return 1;
}

static VtResult handlerGetIDsOfNames(VtDispatch *self, const char *const *names, uint32_t count, int32_t *ids)
{
    (void)self;
    (void)names;
    for (uint32_t i = 0; i < count; ++i)
        ids[i] = -1;
    return VT_DISP_E_UNKNOWNNAME;
}

static VtResult handlerInvoke(VtDispatch *self, int32_t dispId, uint32_t flags, VtVariant *args, uint32_t count,
                              VtVariant *result, VtError *error)
{
    (void)self;
    (void)flags;
    (void)result;
    (void)error;
    if (dispId != VT_DISPID_VALUE || count != 1 || args[0].kind != VT_OBJECT)
        return VT_DISP_E_MEMBERNOTFOUND;
    VtDispatch *window = args[0].value.object;
    char page[64];
    getText(window, "PageClass", page, sizeof page);
    if (strcmp(page, "SelectParamPage") == 0) {
        /* New opens the editor on a copy of the default set; this handler names it there. */
        VtDispatch *button = control(window, "cmdNew");
        if (button) {
            call(button, "click", VT_INVOKE_METHOD, NULL, 0, NULL);
            button->vtbl->Release(button);
        }
        VtDispatch *list = control(window, "cmbAnalysisParams");
        if (list) {
            getText(list, "Text", g_listed, sizeof g_listed);
            list->vtbl->Release(list);
        }
        VtVariant cancel = number(2);
        call(window, "ExecuteCommand", VT_INVOKE_METHOD, &cancel, 1, NULL);
    } else if (strcmp(page, "AnalysisParamPage") == 0) {
        VtDispatch *name = control(window, "txtParameterSetName");
        if (name) {
            VtVariant typed = text("Made in C");
            call(name, "Text", VT_INVOKE_PROPERTYPUT, &typed, 1, NULL);
            name->vtbl->Release(name);
        }
        VtVariant commit = number(1);
        call(window, "ExecuteCommand", VT_INVOKE_METHOD, &commit, 1, NULL);
        VtVariant finished;
        call(window, "Finished", VT_INVOKE_PROPERTYGET, NULL, 0, &finished);
        if (finished.kind != VT_BOOL || !finished.value.boolean) {
            fail("the editor did not commit");
            VtVariant cancel = number(2);
            call(window, "ExecuteCommand", VT_INVOKE_METHOD, &cancel, 1, NULL);
        }
        clearVariant(&finished);
    } else {
        fail("a window with the page %s was shown", page);
        VtVariant cancel = number(2);
        call(window, "ExecuteCommand", VT_INVOKE_METHOD, &cancel, 1, NULL);
    }
    return VT_S_OK;
}

static const VtDispatchVtbl kHandlerVtbl = {handlerQueryInterface, handlerAddRef, handlerRelease, handlerGetIDsOfNames,
                                            handlerInvoke};
static VtDispatch g_handler = {&kHandlerVtbl};

/* ---- the run ------------------------------------------------------------------------------------ */

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: c_host STORE\n");
        return 2;
    }
    VtDispatch *session = create("VeltraneHost.Session");
    if (!session)
        return 1;
    VtVariant on = {VT_BOOL, 0, 0, {0}};
    on.value.boolean = -1;
    call(session, "Unattended", VT_INVOKE_PROPERTYPUT, &on, 1, NULL);
    VtVariant store = text(argv[1]);
    call(session, "Open", VT_INVOKE_METHOD, &store, 1, NULL);
    VtVariant handler = {VT_OBJECT, 0, 0, {0}};
    handler.value.object = &g_handler;
    g_handler.vtbl->AddRef(&g_handler);
    call(session, "OnWindowShown", VT_INVOKE_PROPERTYPUT, &handler, 1, NULL);

    VtDispatch *service = create("Veltrane.Service");
    if (!service)
        return 1;
    const char *names[] = {"SelectAnalysisParameters", "NewAnalysisParameter"};
    int32_t ids[2] = {0, 0};
    for (int i = 0; i < 2; ++i)
        if (service->vtbl->GetIDsOfNames(service, &names[i], 1, &ids[i]) != VT_S_OK)
            fail("Veltrane.Service has no %s", names[i]);
    if (ids[0] != 0x60030001 || ids[1] != 0x60030002)
        fail("dispatch ids 0x%08x and 0x%08x", (unsigned)ids[0], (unsigned)ids[1]);

    /* By dispatch id, as a host compiled against the type library calls it. */
    VtError error = {0, NULL, NULL, NULL, 0};
    if (service->vtbl->Invoke(service, 0x60030001, VT_INVOKE_METHOD, NULL, 0, NULL, &error) != VT_S_OK)
        fail("SelectAnalysisParameters: %s", error.description ? error.description : "");
    clearError(&error);
    if (strcmp(g_listed, "Made in C") != 0)
        fail("after New the selection list shows \"%s\", not the new set", g_listed);

    VtVariant made = {VT_EMPTY, 0, 0, {0}};
    if (service->vtbl->Invoke(service, 0x60030002, VT_INVOKE_METHOD, NULL, 0, &made, &error) != VT_S_OK ||
        made.kind != VT_OBJECT || !made.value.object)
        fail("NewAnalysisParameter answered no object: %s", error.description ? error.description : "");
    clearError(&error);
    if (made.kind == VT_OBJECT && made.value.object) {
        VtVariant id;
        call(made.value.object, "ID", VT_INVOKE_PROPERTYGET, NULL, 0, &id);
        if (id.kind != VT_I4 || id.value.i4 != 0)
            fail("a new set has an ID");
        clearVariant(&id);
    }
    clearVariant(&made);

    VtVariant reports;
    call(session, "ReportCount", VT_INVOKE_PROPERTYGET, NULL, 0, &reports);
    if (reports.kind != VT_I4 || reports.value.i4 != 0) {
        char last[2048];
        getText(session, "LastReport", last, sizeof last);
        fail("errors were reported: %s", last);
    }
    VtVariant nothing = {VT_OBJECT, 0, 0, {0}};
    call(session, "OnWindowShown", VT_INVOKE_PROPERTYPUT, &nothing, 1, NULL);
    call(session, "Close", VT_INVOKE_METHOD, NULL, 0, NULL);
    service->vtbl->Release(service);
    session->vtbl->Release(session);
    if (failures == 0)
        printf("c_host: the selection window made \"%s\", and a new set came back empty\n", g_listed);
    return failures == 0 ? 0 : 1;
}

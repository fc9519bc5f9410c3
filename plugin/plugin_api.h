// The browser plug-in interface as the browser offers it on 32-bit Windows: the types, records,
// function tables and constants this plug-in exchanges with the browser, declared from the
// interface's published layout. Platform-free: window and device handles are plain pointers.
#ifndef NVR_PLUGIN_PLUGIN_API_H
#define NVR_PLUGIN_PLUGIN_API_H

#include <cstddef>
#include <cstdint>

typedef unsigned char NPBool;
typedef int16_t NPError;
typedef int16_t NPReason;
typedef char* NPMIMEType;

// One instance: the plug-in's pdata, the browser's ndata.
typedef struct NPP_t {
  void* pdata;
  void* ndata;
} NPP_t;
typedef NPP_t* NPP;

typedef struct NPStream {
  void* pdata;
  void* ndata;
  const char* url;
  uint32_t end;
  uint32_t lastmodified;
  void* notifyData;
} NPStream;

typedef struct NPByteRange {
  int32_t offset;
  uint32_t length;
  struct NPByteRange* next;
} NPByteRange;

typedef struct NPSavedData {
  int32_t len;
  void* buf;
} NPSavedData;

typedef struct NPRect {
  uint16_t top;
  uint16_t left;
  uint16_t bottom;
  uint16_t right;
} NPRect;

enum NPWindowType { NPWindowTypeWindow = 1, NPWindowTypeDrawable };

// The plug-in's page area; on Windows `window` is the plug-in window's handle.
typedef struct NPWindow {
  void* window;
  int32_t x;
  int32_t y;
  uint32_t width;
  uint32_t height;
  NPRect clipRect;
  NPWindowType type;
} NPWindow;

typedef struct NPFullPrint {
  NPBool pluginPrinted;  // set by the plug-in: it printed the page, the browser prints nothing
  NPBool printOne;
  void* platformPrint;
} NPFullPrint;

typedef struct NPEmbedPrint {
  NPWindow window;
  void* platformPrint;
} NPEmbedPrint;

typedef struct NPPrint {
  uint16_t mode;  // NP_FULL or NP_EMBED
  union {
    NPFullPrint fullPrint;
    NPEmbedPrint embedPrint;
  } print;
} NPPrint;

// Instance modes.
enum : uint16_t { NP_EMBED = 1, NP_FULL = 2 };

// Stream types.
enum : uint16_t { NP_NORMAL = 1, NP_SEEK = 2, NP_ASFILE = 3, NP_ASFILEONLY = 4 };

// Results.
enum : NPError {
  NPERR_NO_ERROR = 0,
  NPERR_GENERIC_ERROR = 1,
  NPERR_INVALID_INSTANCE_ERROR = 2,
  NPERR_INVALID_FUNCTABLE_ERROR = 3,
  NPERR_MODULE_LOAD_FAILED_ERROR = 4,
  NPERR_OUT_OF_MEMORY_ERROR = 5,
  NPERR_INVALID_PLUGIN_ERROR = 6,
  NPERR_INVALID_PLUGIN_DIR_ERROR = 7,
  NPERR_INCOMPATIBLE_VERSION_ERROR = 8,
};

// Reasons given to the stream functions.
enum : NPReason { NPRES_DONE = 0, NPRES_NETWORK_ERR = 1, NPRES_USER_BREAK = 2 };

// The plug-in's functions, called by the browser with the C calling convention.
typedef NPError (*NPP_NewProc)(NPMIMEType pluginType, NPP instance, uint16_t mode, int16_t argc,
                               char* argn[], char* argv[], NPSavedData* saved);
typedef NPError (*NPP_DestroyProc)(NPP instance, NPSavedData** save);
typedef NPError (*NPP_SetWindowProc)(NPP instance, NPWindow* window);
typedef NPError (*NPP_NewStreamProc)(NPP instance, NPMIMEType type, NPStream* stream,
                                     NPBool seekable, uint16_t* stype);
typedef NPError (*NPP_DestroyStreamProc)(NPP instance, NPStream* stream, NPReason reason);
typedef void (*NPP_StreamAsFileProc)(NPP instance, NPStream* stream, const char* fname);
typedef int32_t (*NPP_WriteReadyProc)(NPP instance, NPStream* stream);
typedef int32_t (*NPP_WriteProc)(NPP instance, NPStream* stream, int32_t offset, int32_t len,
                                 void* buffer);
typedef void (*NPP_PrintProc)(NPP instance, NPPrint* platformPrint);
typedef int16_t (*NPP_HandleEventProc)(NPP instance, void* event);
typedef void (*NPP_URLNotifyProc)(NPP instance, const char* url, NPReason reason, void* notifyData);
typedef NPError (*NPP_GetValueProc)(NPP instance, int variable, void* value);
typedef NPError (*NPP_SetValueProc)(NPP instance, int variable, void* value);

// Filled by the plug-in; the browser sets size.
typedef struct NPPluginFuncs {
  uint16_t size;
  uint16_t version;
  NPP_NewProc newp;
  NPP_DestroyProc destroy;
  NPP_SetWindowProc setwindow;
  NPP_NewStreamProc newstream;
  NPP_DestroyStreamProc destroystream;
  NPP_StreamAsFileProc asfile;
  NPP_WriteReadyProc writeready;
  NPP_WriteProc write;
  NPP_PrintProc print;
  NPP_HandleEventProc event;
  NPP_URLNotifyProc urlnotify;
  void* javaClass;
  NPP_GetValueProc getvalue;
  NPP_SetValueProc setvalue;
} NPPluginFuncs;

// The browser's functions, with the C calling convention.
typedef NPError (*NPN_GetURLProc)(NPP instance, const char* url, const char* window);
typedef NPError (*NPN_PostURLProc)(NPP instance, const char* url, const char* window, uint32_t len,
                                   const char* buf, NPBool file);
typedef NPError (*NPN_RequestReadProc)(NPStream* stream, NPByteRange* rangeList);
typedef NPError (*NPN_NewStreamProc)(NPP instance, NPMIMEType type, const char* window,
                                     NPStream** stream);
typedef int32_t (*NPN_WriteProc)(NPP instance, NPStream* stream, int32_t len, void* buffer);
typedef NPError (*NPN_DestroyStreamProc)(NPP instance, NPStream* stream, NPReason reason);
typedef void (*NPN_StatusProc)(NPP instance, const char* message);
typedef const char* (*NPN_UserAgentProc)(NPP instance);
typedef void* (*NPN_MemAllocProc)(uint32_t size);
typedef void (*NPN_MemFreeProc)(void* ptr);
typedef uint32_t (*NPN_MemFlushProc)(uint32_t size);
typedef void (*NPN_ReloadPluginsProc)(NPBool reloadPages);

// Given by the browser. Newer browsers append functions; only the first twelve are relied on.
typedef struct NPNetscapeFuncs {
  uint16_t size;
  uint16_t version;  // major API version in the high byte, minor in the low byte
  NPN_GetURLProc geturl;
  NPN_PostURLProc posturl;
  NPN_RequestReadProc requestread;
  NPN_NewStreamProc newstream;
  NPN_WriteProc write;
  NPN_DestroyStreamProc destroystream;
  NPN_StatusProc status;
  NPN_UserAgentProc uagent;
  NPN_MemAllocProc memalloc;
  NPN_MemFreeProc memfree;
  NPN_MemFlushProc memflush;
  NPN_ReloadPluginsProc reloadplugins;
} NPNetscapeFuncs;

// Where a table must reach for the plug-in to use one of its fields: the end of that field.
#define NP_FIELD_END(type, field) (offsetof(type, field) + sizeof(static_cast<type*>(nullptr)->field))

// How much of each table the plug-in needs: its own up to the end of `event`, the browser's
// `size`, `version` and first twelve functions. Derived from the layout, so each architecture
// gets its own.
const uint16_t PLUGIN_FUNCS_MIN_SIZE = NP_FIELD_END(NPPluginFuncs, event);
const uint16_t BROWSER_FUNCS_MIN_SIZE = NP_FIELD_END(NPNetscapeFuncs, reloadplugins);

// The layouts the browser builds its tables and records in, as published for each architecture.
#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(NPP_t) == 8, "NPP_t is two pointers");
static_assert(offsetof(NPPluginFuncs, newp) == 4, "newp follows size and version");
static_assert(offsetof(NPPluginFuncs, print) == 36, "print at 36");
static_assert(PLUGIN_FUNCS_MIN_SIZE == 44, "the plug-in table reaches the end of event at 44 bytes");
static_assert(sizeof(NPPluginFuncs) == 60, "the whole plug-in table");
static_assert(offsetof(NPNetscapeFuncs, status) == 28, "status at 28");
static_assert(offsetof(NPNetscapeFuncs, memalloc) == 36, "memalloc at 36");
static_assert(offsetof(NPNetscapeFuncs, memfree) == 40, "memfree at 40");
static_assert(BROWSER_FUNCS_MIN_SIZE == 52, "size, version and twelve functions end at 52 bytes");
static_assert(sizeof(NPNetscapeFuncs) == BROWSER_FUNCS_MIN_SIZE, "no padding behind the twelve");
static_assert(sizeof(NPWindow) == 32, "NPWindow");
static_assert(offsetof(NPPrint, print) == 4, "the print union follows the mode");
static_assert(offsetof(NPFullPrint, pluginPrinted) == 0, "pluginPrinted first");
static_assert(sizeof(NPStream) == 24, "NPStream");
#elif defined(__x86_64__) || defined(_M_X64)
static_assert(sizeof(NPP_t) == 16, "NPP_t is two pointers");
static_assert(offsetof(NPPluginFuncs, newp) == 8, "newp after size, version and padding");
static_assert(offsetof(NPPluginFuncs, print) == 72, "print at 72");
static_assert(PLUGIN_FUNCS_MIN_SIZE == 88, "the plug-in table reaches the end of event at 88 bytes");
static_assert(sizeof(NPPluginFuncs) == 120, "the whole plug-in table");
static_assert(offsetof(NPNetscapeFuncs, status) == 56, "status at 56");
static_assert(offsetof(NPNetscapeFuncs, memalloc) == 72, "memalloc at 72");
static_assert(offsetof(NPNetscapeFuncs, memfree) == 80, "memfree at 80");
static_assert(BROWSER_FUNCS_MIN_SIZE == 104, "size, version and twelve functions end at 104 bytes");
static_assert(sizeof(NPNetscapeFuncs) == BROWSER_FUNCS_MIN_SIZE, "no padding behind the twelve");
static_assert(sizeof(NPWindow) == 40, "NPWindow");
static_assert(offsetof(NPPrint, print) == 8, "the print union is pointer-aligned after the mode");
static_assert(offsetof(NPFullPrint, pluginPrinted) == 0, "pluginPrinted first");
static_assert(sizeof(NPStream) == 40, "NPStream");
#endif

#endif

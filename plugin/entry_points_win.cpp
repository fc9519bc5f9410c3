// The plug-in's exports, its function table, the instance lifecycle and the stream and print
// functions. Each entry point writes its trace line first, before any argument is tested.
#include "common/app_search_win.h"
#include "common/link_protocol.h"
#include "plugin/instance_records_win.h"

PluginState pluginState = {nullptr, nullptr, 0, 0, nullptr, 0, 0};

namespace {

const uint16_t PLUGIN_API_VERSION = 6;  // major 0 in the high byte, minor 6 in the low byte
const int32_t WRITE_READY_SIZE = 0x0FFFFFFF;

void Trace(const char* line) { OutputDebugStringA(line); }

// An application that the search did not find may still be there: busy, or hung inside the
// element's window, which the browser destroys next, and its window with it. It is posted the
// message to take once it is free: every window of a thread that did not answer in time, and
// every window of another thread inside the element's window. A program that is not the
// application never registered the message, and takes no notice.
struct Unfound {
  const AppSearchResult* search;
  HWND element;
  UINT message;
};

BOOL CALLBACK PostIfTheApplicationMayBeThere(HWND window, LPARAM context) {
  const Unfound* unfound = reinterpret_cast<const Unfound*>(context);
  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  uint32_t post = unfound->element && GetParent(window) == unfound->element &&
                  thread != GetCurrentThreadId();
  for (uint32_t i = 0; i < unfound->search->busyThreadCount; ++i)
    post |= unfound->search->busyThreads[i] == thread;
  if (post) PostMessageA(window, unfound->message, 0, 0);
  return TRUE;
}

}  // namespace

NPNetscapeFuncs* BrowserFuncsReaching(size_t end) {
  NPNetscapeFuncs* funcs = pluginState.browserFuncs;
  // A refused table stays stored, but is called through only where it reaches.
  return funcs && funcs->size >= end ? funcs : nullptr;
}

void* AllocateFromBrowser(uint32_t size) {
  Trace("\n");
  NPNetscapeFuncs* funcs = BrowserFuncsReaching(NP_FIELD_END(NPNetscapeFuncs, memalloc));
  // Without the browser's allocator the allocation fails.
  return funcs && funcs->memalloc ? funcs->memalloc(size) : nullptr;
}

void FreeToBrowser(void* block) {
  Trace("\n");
  NPNetscapeFuncs* funcs = BrowserFuncsReaching(NP_FIELD_END(NPNetscapeFuncs, memfree));
  if (funcs && funcs->memfree) funcs->memfree(block);
}

// The table functions, called by the browser with the C convention.

static NPError NPP_Initialize(void) {
  Trace("NPP_Initialize\n");
  return NPERR_NO_ERROR;
}

static void NPP_Shutdown(void) { Trace("NPP_Shutdown\n"); }

static NPError NPP_New(NPMIMEType pluginType, NPP instance, uint16_t mode, int16_t argc,
                       char* argn[], char* argv[], NPSavedData* saved) {
  Trace("NPP_New\n");
  if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
  PluginInstanceData* record =
      static_cast<PluginInstanceData*>(AllocateFromBrowser(sizeof(PluginInstanceData)));
  instance->pdata = record;
  if (!record) return NPERR_OUT_OF_MEMORY_ERROR;
  LinkRecord(record, instance);
  return NPERR_NO_ERROR;
}

static NPError NPP_Destroy(NPP instance, NPSavedData** save) {
  Trace("NPP_Destroy\n");
  if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
  PluginInstanceData* record = static_cast<PluginInstanceData*>(instance->pdata);
  // Marked first: from here on the element's scrolling goes to the browser, so an application
  // that checks the window it leaves never gets its own answer back from an element that is
  // going, whatever the order of its reply and of what it sends meanwhile.
  if (record) record->closing = 1;
  // Told while the window is still subclassed and the record still exists. An application that
  // is only busy would not answer in time either: it is not waited for a second time, but posted
  // the message to take once it is free (a send that times out may never be delivered at all).
  AppSearchResult found = SearchForMainApplication();
  HWND application = reinterpret_cast<HWND>(found.window);
  UINT closingMessage = RegisterWindowMessageA(PLUGIN_CLOSING_NAME);
  if (application && found.busy) {
    PostMessageA(application, closingMessage, 0, 0);
  } else if (application) {
    SendToApplication(application, closingMessage, 0, 0, APP_CLOSING_TIMEOUT_MS);
  } else {
    Unfound unfound = {&found, record ? record->pluginWindow : nullptr, closingMessage};
    EnumChildWindows(GetDesktopWindow(), PostIfTheApplicationMayBeThere,
                     reinterpret_cast<LPARAM>(&unfound));
  }
  if (record) {
    Unlink(record);
    ReleaseWindow(record);
    FreeToBrowser(record);
  }
  return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP instance, NPWindow* window);  // the hand-off

static NPError NPP_NewStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable,
                             uint16_t* stype) {
  Trace("NPP_NewStream\n");
  if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
  // The content is never read: the browser may as well keep it as a file.
  if (stype) *stype = NP_ASFILE;
  return NPERR_NO_ERROR;
}

static int32_t NPP_WriteReady(NPP instance, NPStream* stream) { return WRITE_READY_SIZE; }

static int32_t NPP_Write(NPP instance, NPStream* stream, int32_t offset, int32_t len,
                         void* buffer) {
  return len;  // taken and discarded
}

static NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason) {
  Trace("NPP_DestroyStream\n");
  return instance ? NPERR_NO_ERROR : NPERR_INVALID_INSTANCE_ERROR;
}

static void NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fname) {
  Trace("NPP_StreamAsFile\n");
}

static void NPP_Print(NPP instance, NPPrint* platformPrint) {
  Trace("NPP_Print\n");
  if (!instance) return;  // the browser always names one; without it there is nothing to print
  if (platformPrint && platformPrint->mode == NP_FULL) platformPrint->print.fullPrint.pluginPrinted = 1;
  // Printing is the application's business; nothing is drawn into the printer's context.
  PluginInstanceData* record = static_cast<PluginInstanceData*>(instance->pdata);
  if (!record || !record->pluginWindow) return;
  HWND application = FindMainApplication(nullptr);  // a busy one takes the request later
  if (application) PostMessageA(application, LM_PLUGINPRINT, 0, 0);
}

// The exports, with the convention the browser calls them by on Windows: the callee removes its
// arguments.

extern "C" NPError WINAPI NP_GetEntryPoints(NPPluginFuncs* pFuncs) {
  Trace("NP_GetEntryPoints\n");
  if (!pFuncs || pFuncs->size < PLUGIN_FUNCS_MIN_SIZE) return NPERR_INVALID_FUNCTABLE_ERROR;
  // size is the browser's; the fields behind event are left alone.
  pFuncs->version = PLUGIN_API_VERSION;
  pFuncs->newp = NPP_New;
  pFuncs->destroy = NPP_Destroy;
  pFuncs->setwindow = NPP_SetWindow;
  pFuncs->newstream = NPP_NewStream;
  pFuncs->destroystream = NPP_DestroyStream;
  pFuncs->asfile = NPP_StreamAsFile;
  pFuncs->writeready = NPP_WriteReady;
  pFuncs->write = NPP_Write;
  pFuncs->print = NPP_Print;
  pFuncs->event = nullptr;
  return NPERR_NO_ERROR;
}

extern "C" NPError WINAPI NP_Initialize(NPNetscapeFuncs* pFuncs) {
  Trace("NP_Initialize\n");
  if (!pFuncs) return NPERR_INVALID_FUNCTABLE_ERROR;
  // Kept before the tests below, so a refused table stays stored.
  pluginState.browserFuncs = pFuncs;
  if ((pFuncs->version >> 8) != 0) return NPERR_INCOMPATIBLE_VERSION_ERROR;
  if (pFuncs->size < BROWSER_FUNCS_MIN_SIZE) return NPERR_INVALID_FUNCTABLE_ERROR;
  return NPP_Initialize();
}

extern "C" NPError WINAPI NP_Shutdown(void) {
  Trace("NP_Shutdown\n");
  NPP_Shutdown();
  pluginState.browserFuncs = nullptr;
  ForgetStart();
  StopWaiting();
  return NPERR_NO_ERROR;
}

// The module's entry, where the system calls it on load and unload: no runtime's start-up code
// runs before it, and the plug-in needs nothing set up. Unloaded by a browser that did not shut
// it down, it leaves nothing in the browser that would call into its code: no timer, no window
// procedure. At the process's end (reserved set) nothing is left to call it.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
  if (reason == DLL_PROCESS_DETACH && !reserved) {
    StopWaiting();
    ForgetStart();
    ReleaseAllWindows();
  }
  return TRUE;
}

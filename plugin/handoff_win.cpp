// NPP_SetWindow: where the page area is handed to the main application.
#include "common/app_profile.h"
#include "common/app_search_win.h"
#include "common/link_protocol.h"
#include "plugin/handoff.h"
#include "plugin/plugin_state_win.h"

namespace {

// "%s PLUGIN %d %ld": the path as read, unquoted, then the window and the instance as signed
// 32-bit decimals. With a path of at most APP_PATH_SIZE - 1 bytes this is at most 290 bytes.
const char PLUGIN_COMMAND_FORMAT[] = "%s PLUGIN %d %ld";
const size_t COMMAND_LINE_SIZE = APP_PATH_SIZE + sizeof " PLUGIN -2147483648 -2147483648";

// Starts the application with this window and instance on its command line, restored, without
// waiting for it (a start by WinExec would hold the browser until the application is idle). A
// start that fails goes unnoticed: the next window change tries again. One that succeeds is kept
// in mind, so that the page's other elements wait for its window instead of starting more copies.
void StartApplication(HWND window, NPP instance) {
  char path[APP_PATH_SIZE];
  GetProfileStringA(APP_PROFILE_SECTION, APP_PROFILE_KEY, APP_DEFAULT_PATH, path, sizeof path);
  char commandLine[COMMAND_LINE_SIZE];
  // Handles and references are 32-bit values on the wire, whatever the build's pointer size.
  wsprintfA(commandLine, PLUGIN_COMMAND_FORMAT, path,
            static_cast<int>(reinterpret_cast<INT_PTR>(window)),
            static_cast<long>(reinterpret_cast<INT_PTR>(instance)));
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_RESTORE;
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return;
  CloseHandle(process.hThread);
  ForgetStart();
  pluginState.startedProcess = process.hProcess;
  pluginState.startTick = GetTickCount();
}

// Whether a window change that found no application may start it now (see MayStartApplication).
uint32_t StartAllowed(void) {
  HANDLE started = pluginState.startedProcess;
  uint32_t ended = started && WaitForSingleObject(started, 0) != WAIT_TIMEOUT;
  return MayStartApplication(started ? 1 : 0, pluginState.startTick, GetTickCount(), ended);
}

// Whether the instance was destroyed while the plug-in waited: its subclassed window no longer
// names it. An instance whose window could not be subclassed has nothing to tell it by.
uint32_t InstanceGone(HWND subclassed, NPP instance) {
  return subclassed && AttachedInstance(subclassed) != instance ? 1 : 0;
}

}  // namespace

uint32_t AskEngaged(HWND application, HWND window, uint32_t* appInWindow) {
  uint32_t appFound = application ? 1 : 0;
  *appInWindow = appFound && GetParent(application) == window;
  if (!NeedsEngagedQuery(appFound, *appInWindow)) return 0;
  return static_cast<uint32_t>(
      SendToApplication(application, LM_QUERYENGAGED, 0, 0, APP_QUERY_TIMEOUT_MS));
}

NPError NPP_SetWindow(NPP instance, NPWindow* window) {
  OutputDebugStringA("NPP_SetWindow\n");
  if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
  if (!window) return NPERR_GENERIC_ERROR;
  PluginInstanceData* record = static_cast<PluginInstanceData*>(instance->pdata);
  if (!record) return NPERR_GENERIC_ERROR;
  HWND pageWindow = static_cast<HWND>(window->window);
  if (!pageWindow) return NPERR_NO_ERROR;  // the browser takes the window away
  if (!record->savedWndProc) {
    // Subclassed once; a failed attempt leaves savedWndProc 0 and the next call tries again.
    record->pluginWindow = pageWindow;
    AttachInstance(pageWindow, instance);
    record->savedWndProc = SetWindowLongPtrA(pageWindow, GWLP_WNDPROC,
                                             reinterpret_cast<LONG_PTR>(PluginWindowProc));
    if (!record->savedWndProc) DetachInstance(pageWindow);
  }
  // The search and the query wait on other programs, and the browser may destroy this very
  // instance meanwhile: nothing of the record is read after them, and a window that no longer
  // names this instance ends the hand-off.
  HWND pluginWindow = record->pluginWindow;
  HWND subclassed = record->savedWndProc ? pluginWindow : nullptr;
  HWND application = FindMainApplicationBeforeStart();
  if (InstanceGone(subclassed, instance)) return NPERR_NO_ERROR;
  uint32_t appInPluginWindow = 0;
  uint32_t engaged = AskEngaged(application, pluginWindow, &appInPluginWindow);
  if (InstanceGone(subclassed, instance)) return NPERR_NO_ERROR;
  switch (DecideHandOff(application ? 1 : 0, appInPluginWindow, engaged)) {
    case HANDOFF_START:
      if (StartAllowed()) StartApplication(pageWindow, instance);
      break;
    case HANDOFF_SHOW_AGAIN:
      ForgetStart();
      PostMessageA(application, RegisterWindowMessageA(PLUGIN_SHOW_AGAIN_NAME),
                   reinterpret_cast<WPARAM>(pageWindow), reinterpret_cast<LPARAM>(instance));
      break;
    case HANDOFF_NOTHING:
      ForgetStart();
      break;  // the next paint shows the placeholder
  }
  return NPERR_NO_ERROR;
}

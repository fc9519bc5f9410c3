// NPP_SetWindow: where the page area is handed to the main application.
#include "common/app_profile.h"
#include "common/app_search_win.h"
#include "common/link_protocol.h"
#include "plugin/handoff.h"
#include "plugin/instance_records_win.h"

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
  pluginState.startedProcessId = process.dwProcessId;
  pluginState.startTick = GetTickCount();
}

// Whether a window change that found no application may start it now (see MayStartApplication).
uint32_t StartAllowed(void) {
  HANDLE started = pluginState.startedProcess;
  uint32_t ended = started && WaitForSingleObject(started, 0) != WAIT_TIMEOUT;
  return MayStartApplication(started ? 1 : 0, pluginState.startTick, GetTickCount(), ended);
}

// How often the plug-in looks for the application while an element waits for it.
const UINT APP_WAIT_POLL_MS = 1000;

// After the search: the application is asked to show itself in window, left alone while it is
// engaged elsewhere, or started. Inside the element's former window it is still inside this
// element, and is asked to follow it. The query waits on the application, and the browser may
// destroy the instance meanwhile: its record is looked up again after it. What was done, or 0
// when the instance is gone.
uint32_t HandOff(DWORD serial, HWND window, HWND former, HWND application, DWORD busy) {
  PluginInstanceData* record = LiveRecord(serial);
  if (!record) return 0;
  NPP instance = record->instance;
  uint32_t appInPluginWindow = AppInside(application, window) || AppInside(application, former);
  uint32_t engaged = AskEngaged(application, busy, appInPluginWindow);
  record = LiveRecord(serial);
  if (!record) return 0;
  record->waitingWindow = nullptr;
  HandOffAction action = DecideHandOff(application ? 1 : 0, appInPluginWindow, engaged);
  switch (action) {
    case HANDOFF_START:
      // While another element's start is under way, this one is served once the application
      // appears: the element that started it may be gone by then, and its window with it.
      if (StartAllowed())
        StartApplication(window, instance);
      else
        WaitForApplication(record, window);
      break;
    case HANDOFF_SHOW_AGAIN:
      ForgetStart();
      PostMessageA(application, RegisterWindowMessageA(PLUGIN_SHOW_AGAIN_NAME),
                   reinterpret_cast<WPARAM>(window), reinterpret_cast<LPARAM>(instance));
      break;
    case HANDOFF_NOTHING:
      ForgetStart();
      break;  // the next paint shows the placeholder
  }
  return action;
}

// While elements wait: once the application answers, each is handed its window as a window
// change would; when the start under way may be given up, one element starts it anew.
void CALLBACK ServeWaitingElements(HWND, UINT, UINT_PTR, DWORD) {
  if (!FirstWaitingRecord()) {
    StopWaiting();
    return;
  }
  // While the start under way may still show its window, only its process's windows are asked:
  // another program's busy window would hold the browser at every tick. Before a start, the
  // search waits for busy windows as a window change's does: a live application that is only
  // busy is never started twice. Decided once: the start may come due during the search.
  uint32_t mayStart = StartAllowed();
  DWORD busy = 0;
  HWND application = mayStart ? FindMainApplicationBeforeStart(&busy)
                              : FindMainApplicationOfProcess(pluginState.startedProcessId, &busy);
  for (;;) {
    PluginInstanceData* record = FirstWaitingRecord();
    if (!record) break;
    HWND window = record->waitingWindow;
    if (!IsWindow(window)) {  // gone since: the element's next window change brings another
      record->waitingWindow = nullptr;
      continue;
    }
    if (!application && !mayStart) return;
    // Left to the placeholder, the element is painted anew: nothing else would ask it to.
    if (HandOff(record->serial, window, record->pluginWindow, application, busy) == HANDOFF_NOTHING)
      InvalidateRect(window, nullptr, TRUE);
    if (!application) return;  // one start at a time
  }
  StopWaiting();
}

}  // namespace

LRESULT SendToApplication(HWND application, UINT message, WPARAM wParam, LPARAM lParam,
                          UINT timeoutMs) {
  DWORD_PTR reply = 0;
  if (!SendMessageTimeoutA(application, message, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs,
                           &reply))
    return 0;
  return static_cast<LRESULT>(reply);
}

void ForgetStart(void) {
  if (pluginState.startedProcess) CloseHandle(pluginState.startedProcess);
  pluginState.startedProcess = nullptr;
}

void WaitForApplication(PluginInstanceData* record, HWND window) {
  record->waitingWindow = window;
  if (!pluginState.waitTimer)
    pluginState.waitTimer = SetTimer(nullptr, 0, APP_WAIT_POLL_MS, ServeWaitingElements);
}

void StopWaiting(void) {
  if (pluginState.waitTimer) KillTimer(nullptr, pluginState.waitTimer);
  pluginState.waitTimer = 0;
}

uint32_t AppInside(HWND application, HWND window) {
  return application && window && GetParent(application) == window ? 1 : 0;
}

uint32_t AskEngaged(HWND application, DWORD busy, uint32_t appInWindow) {
  if (!NeedsEngagedQuery(application ? 1 : 0, appInWindow)) return 0;
  if (busy) return BUSY_ENGAGED_REPLY;
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
  if (!pageWindow) {
    // The browser takes the window away: an element that waits has nothing to be handed.
    record->waitingWindow = nullptr;
    return NPERR_NO_ERROR;
  }
  // A new window is the element's from now on: a browser that makes the element's window anew
  // (a page laid out again) gets an element that still works.
  HWND former = record->pluginWindow;
  SubclassWindow(record, pageWindow);
  // The search waits on other programs, and the browser may destroy this very instance
  // meanwhile: the hand-off looks its record up again.
  DWORD serial = record->serial;
  DWORD busy = 0;
  HWND application = FindMainApplicationBeforeStart(&busy);
  HandOff(serial, pageWindow, former, application, busy);
  return NPERR_NO_ERROR;
}

// The plug-in's module-level state, its per-instance record, and what its entry points share.
#ifndef NVR_PLUGIN_PLUGIN_STATE_WIN_H
#define NVR_PLUGIN_PLUGIN_STATE_WIN_H

#include <windows.h>

#include "plugin/plugin_api.h"

// The record an instance's pdata points to, allocated through the browser.
struct PluginInstanceData {
  LONG_PTR savedWndProc;  // the plug-in window's procedure before ours; 0: not subclassed
  HWND pluginWindow;      // the window that was subclassed; 0: none
  // Whether an instance lives is kept here, not on its window, which the browser may destroy
  // first: NPP_New links the record into the module's list and NPP_Destroy unlinks it.
  PluginInstanceData* next;
  NPP instance;
  DWORD serial;           // unique in the module's life: a record freed and made again differs
  // The window to hand to the application once it appears: a window change found none, but
  // another element's start was still under way; null when the element waits for nothing.
  HWND waitingWindow;
  DWORD closing;          // NPP_Destroy has begun: "PluginClosing" is being sent
};

// One set per loaded module. There is no "current instance": each subclassed window names its own
// (see plugin/instance_records_win.h), so no window is ever served with another instance's record.
struct PluginState {
  NPNetscapeFuncs* browserFuncs;  // from NP_Initialize, as soon as it is non-null
  // The application process the plug-in started last, while its window has not been found: a
  // page of several elements starts the application once (see MayStartApplication).
  HANDLE startedProcess;
  DWORD startedProcessId;         // its id, whose windows are looked at while it is awaited
  DWORD startTick;                // when it was started
  PluginInstanceData* records;    // every live instance's record
  DWORD lastSerial;
  UINT_PTR waitTimer;             // looks for the application while an element waits for it
};

extern PluginState pluginState;

// Time limits of the synchronous messages to the main application. The browser's user-interface
// thread sends them: a hung application must never freeze the browser. A send that fails or
// times out counts as reply 0.
const UINT APP_QUERY_TIMEOUT_MS = 2000;    // LM_QUERYENGAGED, LM_GETPALETTE, the scroll messages
const UINT APP_CLOSING_TIMEOUT_MS = 1000;  // "PluginClosing"

// Sends message to the application within timeoutMs; the reply, or 0 when it failed or timed out.
LRESULT SendToApplication(HWND application, UINT message, WPARAM wParam, LPARAM lParam,
                          UINT timeoutMs);

// Whether the application's window is inside window: never inside none.
uint32_t AppInside(HWND application, HWND window);

// The engaged reply, asked only when NeedsEngagedQuery says so (0 otherwise, and when it does not
// answer). An application found busy is not asked: it counts as BUSY_ENGAGED_REPLY. The query
// waits on the application: the caller looks its record up again afterwards.
uint32_t AskEngaged(HWND application, DWORD busy, uint32_t appInWindow);

// The browser's table when it is stored and reaches at least to end, else null: a table too short
// for a function counts as absent for it.
NPNetscapeFuncs* BrowserFuncsReaching(size_t end);

// Forgets the start in progress: the application was found, or the module ends.
void ForgetStart(void);

// The element waits to be handed its window once the application appears (see waitingWindow).
void WaitForApplication(PluginInstanceData* record, HWND window);
// Ends the look for the application, when no element waits any more or the module ends.
void StopWaiting(void);

// The browser's allocator, with the trace line written before each call.
void* AllocateFromBrowser(uint32_t size);
void FreeToBrowser(void* block);

// The plug-in window's procedure while the plug-in holds the window.
LRESULT CALLBACK PluginWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif

#include "saver/bridge/app_launch_win.h"

#include "common/app_profile.h"
#include "common/link_protocol.h"
#include "saver/bridge/bridge_state_win.h"
#include "saver/bridge/launch_wait.h"
#include "saver/bridge/os_type.h"
#include "saver/bridge/os_type_win.h"
#include "saver/host/frame_state_win.h"
#include "saver/host/frame_window_win.h"

namespace {

const char LAUNCH_DESKTOP[] = "WinSta0\\Default";
const UINT LAUNCH_SHOW_ELSEWHERE = SW_SHOWMINNOACTIVE;

// Starts the application command line; the outcome follows WinExec's convention.
UINT LaunchApplication(char* commandLine) {
  if (OsTypeCode(DetermineOStype()) != OSTYPE_WIN32_NT)
    return WinExec(commandLine, LAUNCH_SHOW_ELSEWHERE);
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.lpDesktop = const_cast<char*>(LAUNCH_DESKTOP);  // only read, though not declared so
  startup.wShowWindow = SW_SHOW;  // dwFlags stays 0, so the application picks its own show state
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return 0;
  // The application is never waited for: its handles go at once.
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return LAUNCH_SUCCESS_MIN;
}

// Waits for the launched application's window, dispatching this thread's messages meanwhile
// so that the saver window keeps working. 1 when found, 0 on time-out or when the saver quits.
DWORD WaitForApplication(void) {
  DWORD startTick = GetTickCount();
  for (;;) {
    if (LaunchWaitExpired(startTick, GetTickCount())) return 0;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // The saver was ended during the wait: leave the quit for the message loop.
        PostQuitMessage(static_cast<int>(msg.wParam));
        return 0;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    bridgeState.appWindow = FindMainApplication(nullptr);
    if (bridgeState.appWindow) return 1;
    // Sleep until input arrives or the pause is over, so an idle wait costs no CPU.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, APP_WAIT_PAUSE_MS, QS_ALLINPUT);
  }
}

}  // namespace

DWORD SendToApplication(UINT message, WPARAM wParam, LPARAM lParam, UINT timeoutMs,
                        LRESULT* reply) {
  *reply = 0;
  if (!bridgeState.appWindow || bridgeState.appStoppedAnswering) return 0;
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(bridgeState.appWindow, message, wParam, lParam, SMTO_ABORTIFHUNG,
                           timeoutMs, &answer)) {
    bridgeState.appStoppedAnswering = 1;
    return 0;
  }
  *reply = static_cast<LRESULT>(answer);
  return 1;
}

HPALETTE AskApplicationPalette(void) {
  LRESULT reply = 0;
  SendToApplication(LM_GETPALETTE, 0, 0, APP_PALETTE_TIMEOUT_MS, &reply);
  return reinterpret_cast<HPALETTE>(reply);
}

DWORD FindOrLaunchMainApplication(void) {
  bridgeState.appStoppedAnswering = 0;
  // A running application that is only busy is waited for, never launched a second time.
  bridgeState.appWindow = FindMainApplicationBeforeStart(nullptr);
  if (!bridgeState.appWindow) {
    char commandLine[APP_PATH_SIZE];
    GetProfileStringA(APP_PROFILE_SECTION, APP_PROFILE_KEY, APP_DEFAULT_PATH, commandLine,
                      sizeof commandLine);
    if (!LaunchSucceeded(LaunchApplication(commandLine)) || !WaitForApplication()) {
      bridgeState.appWindow = nullptr;
      return 0;
    }
  }
  bridgeState.reactivateWindow = SetActiveWindow(bridgeState.appWindow);
  return 1;
}

void TellApplicationSaverEnding(void) {
  if (!bridgeState.appWindow || bridgeState.endingSent) return;
  bridgeState.endingSent = 1;
  // Sent even to an application that once failed to answer: it may have recovered, and the
  // time-out keeps a dead one from holding up the end.
  DWORD_PTR ignored;
  SendMessageTimeoutA(bridgeState.appWindow, LM_SAVERENDING,
                      reinterpret_cast<WPARAM>(frameState.saverWindow), 0, SMTO_ABORTIFHUNG,
                      APP_ENDING_TIMEOUT_MS, &ignored);
}

void ReleaseMainApplication(void) {
  TellApplicationSaverEnding();
  if (bridgeState.reactivateWindow) {
    // SetActiveWindow only works within this thread; the application's window, named by
    // WHOAMI_REACTIVATE, belongs to another program and must be brought to the foreground.
    if (GetWindowThreadProcessId(bridgeState.reactivateWindow, nullptr) == GetCurrentThreadId())
      SetActiveWindow(bridgeState.reactivateWindow);
    else
      SetForegroundWindow(bridgeState.reactivateWindow);
    bridgeState.reactivateWindow = nullptr;
  }
  bridgeState.appWindow = nullptr;
}

DWORD IsPreviewWindow(HWND window) {
  RECT own = {0, 0, 0, 0};
  RECT desktop = {0, 0, 0, 0};
  GetClientRect(window, &own);
  GetClientRect(GetDesktopWindow(), &desktop);
  DWORD isChild = (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) ? 1 : 0;
  return IsPreviewClient(own.right - own.left, own.bottom - own.top, desktop.right - desktop.left,
                         desktop.bottom - desktop.top, SaverScreenArea(), isChild);
}

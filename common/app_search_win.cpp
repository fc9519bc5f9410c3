#include "common/app_search_win.h"

#include "common/link_protocol.h"

UINT whoAmIMessage = 0;

DWORD AnswersAsApplication(HWND window) {
  DWORD_PTR answer = 0;
  // A window that does not answer in time, or fails, is not the application.
  if (!SendMessageTimeoutA(window, whoAmIMessage, WHOAMI_APP, 0, SMTO_ABORTIFHUNG,
                           APP_PROBE_TIMEOUT_MS, &answer))
    return 0;
  return answer == WHOAMI_APP ? 1 : 0;
}

BOOL CALLBACK MatchApplicationWindow(HWND window, LPARAM found) {
  if (!AnswersAsApplication(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

HWND FindMainApplication(void) {
  whoAmIMessage = RegisterWindowMessageA(QUIB_WHOAMI_NAME);
  HWND found = nullptr;
  EnumChildWindows(GetDesktopWindow(), MatchApplicationWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

#include "common/app_search_win.h"

#include "common/link_protocol.h"

UINT whoAmIMessage = 0;
AppSearchState appSearch = {nullptr, {nullptr}, {0}, 0};

namespace {

enum ProbeResult { PROBE_OTHER, PROBE_APPLICATION, PROBE_BUSY };

typedef BOOL(WINAPI* IsHungAppWindowProc)(HWND window);

// The platform's hung-window test, bound at run time: systems of the 4.0 family lack it, and
// then a window that does not answer in time counts as busy; the time-outs still bound the wait.
// Looked up at each use, which follows a time-out: nothing is kept between calls.
BOOL IsHung(HWND window) {
  IsHungAppWindowProc isHung = reinterpret_cast<IsHungAppWindowProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("USER32.DLL"), "IsHungAppWindow")));
  return isHung && isHung(window);
}

ProbeResult Probe(HWND window, UINT timeoutMs) {
  DWORD_PTR answer = 0;
  if (SendMessageTimeoutA(window, whoAmIMessage, WHOAMI_APP, 0, SMTO_ABORTIFHUNG, timeoutMs,
                          &answer))
    return answer == WHOAMI_APP ? PROBE_APPLICATION : PROBE_OTHER;
  // Gone, or hung by the platform's measure: no live application.
  return IsWindow(window) && !IsHung(window) ? PROBE_BUSY : PROBE_OTHER;
}

DWORD NotedBusy(DWORD thread) {
  for (DWORD i = 0; i < appSearch.busyCount; ++i)
    if (appSearch.busyThreads[i] == thread) return 1;
  return 0;
}

// One pass over every window below the desktop, passing over the threads noted busy.
HWND SearchDesktop(void) {
  HWND found = nullptr;
  EnumChildWindows(GetDesktopWindow(), MatchApplicationWindow, reinterpret_cast<LPARAM>(&found));
  appSearch.knownWindow = found;
  return found;
}

}  // namespace

BOOL CALLBACK MatchApplicationWindow(HWND window, LPARAM found) {
  // The thread's other windows would keep the search waiting just as long. Asked only once a
  // thread was noted: the question costs a call to the system for every window.
  if (appSearch.busyCount && NotedBusy(GetWindowThreadProcessId(window, nullptr))) return TRUE;
  switch (Probe(window, APP_PROBE_TIMEOUT_MS)) {
    case PROBE_APPLICATION:
      *reinterpret_cast<HWND*>(found) = window;
      return FALSE;
    case PROBE_BUSY:
      if (appSearch.busyCount < APP_BUSY_MAX) {
        appSearch.busyWindows[appSearch.busyCount] = window;
        appSearch.busyThreads[appSearch.busyCount] = GetWindowThreadProcessId(window, nullptr);
        ++appSearch.busyCount;
      }
      return TRUE;
    case PROBE_OTHER:
      break;
  }
  return TRUE;
}

HWND FindMainApplication(void) {
  whoAmIMessage = RegisterWindowMessageA(QUIB_WHOAMI_NAME);
  appSearch.busyCount = 0;
  HWND known = appSearch.knownWindow;
  // A known application that is only busy is still the application: no other is looked for.
  if (known && Probe(known, APP_PROBE_TIMEOUT_MS) != PROBE_OTHER) return known;
  return SearchDesktop();
}

HWND FindMainApplicationBeforeStart(void) {
  HWND found = FindMainApplication();
  if (found || !appSearch.busyCount) return found;
  // The second look: each busy window in turn, within one time limit for all. Those that still
  // do not answer stay noted and are passed over by the last pass.
  DWORD start = GetTickCount();
  DWORD stillBusy = 0;
  for (DWORD i = 0; i < appSearch.busyCount; ++i) {
    DWORD elapsed = GetTickCount() - start;
    HWND window = appSearch.busyWindows[i];
    ProbeResult result =
        elapsed < APP_BUSY_WAIT_MS ? Probe(window, APP_BUSY_WAIT_MS - elapsed) : PROBE_BUSY;
    if (result == PROBE_APPLICATION) {
      appSearch.knownWindow = window;
      return window;
    }
    if (result == PROBE_BUSY) {
      appSearch.busyWindows[stillBusy] = window;
      appSearch.busyThreads[stillBusy] = appSearch.busyThreads[i];
      ++stillBusy;
    }
  }
  appSearch.busyCount = stillBusy;
  // A thread that answered again may own the application's window among its others.
  return SearchDesktop();
}

#include "common/app_search_win.h"

#include "common/link_protocol.h"

UINT whoAmIMessage = 0;
KnownApplication knownApplication = {0, 0};

namespace {

typedef BOOL(WINAPI* IsHungAppWindowProc)(HWND window);

// The platform's hung-window test, bound at run time: systems of the 4.0 family lack it, and
// then a window that does not answer in time counts as busy; the time-outs still bound the wait.
// Looked up at each use, which follows a time-out: nothing is kept between calls.
BOOL IsHung(HWND window) {
  IsHungAppWindowProc isHung = reinterpret_cast<IsHungAppWindowProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("USER32.DLL"), "IsHungAppWindow")));
  return isHung && isHung(window);
}

HWND AsWindow(SearchWindow window) { return reinterpret_cast<HWND>(window); }

ProbeResult ProbeWindow(void*, SearchWindow window, uint32_t timeoutMs) {
  DWORD_PTR answer = 0;
  SetLastError(0);
  BOOL answered = SendMessageTimeoutA(AsWindow(window), whoAmIMessage, WHOAMI_APP, 0,
                                      SMTO_ABORTIFHUNG, timeoutMs, &answer) != 0;
  DWORD timedOut = !answered && GetLastError() == ERROR_TIMEOUT;
  return ClassifyProbe(answered, answer, timedOut, timedOut && IsHung(AsWindow(window)));
}

uint32_t WindowThread(void*, SearchWindow window, uint32_t* process) {
  DWORD owner = 0;
  DWORD thread = GetWindowThreadProcessId(AsWindow(window), &owner);
  if (process) *process = owner;
  return thread;
}

uint32_t Tick(void*) { return GetTickCount(); }

struct Offering {
  uint32_t (*offer)(void* search, SearchWindow window);
  void* search;
  DWORD process;  // only this process's windows are offered; 0: every window
};

BOOL CALLBACK OfferWindow(HWND window, LPARAM offering) {
  Offering* to = reinterpret_cast<Offering*>(offering);
  if (to->process) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != to->process) return TRUE;
  }
  return to->offer(to->search, reinterpret_cast<SearchWindow>(window)) ? TRUE : FALSE;
}

// context, when not null, names the one process whose windows are offered.
void EnumerateDesktop(void* context, uint32_t (*offer)(void* search, SearchWindow window),
                      void* search) {
  Offering to = {offer, search, context ? *static_cast<const DWORD*>(context) : 0};
  EnumChildWindows(GetDesktopWindow(), OfferWindow, reinterpret_cast<LPARAM>(&to));
}

const AppSearchPlatform PLATFORM = {nullptr, ProbeWindow, WindowThread, Tick, EnumerateDesktop};

AppSearchResult Search(const AppSearchPlatform* platform, DWORD* busy, uint32_t beforeStart) {
  whoAmIMessage = RegisterWindowMessageA(QUIB_WHOAMI_NAME);
  AppSearchResult found = SearchApplication(platform, &knownApplication, beforeStart);
  if (busy) *busy = found.busy;
  return found;
}

}  // namespace

HWND FindMainApplication(DWORD* busy) { return AsWindow(Search(&PLATFORM, busy, 0).window); }

HWND FindMainApplicationBeforeStart(DWORD* busy) {
  return AsWindow(Search(&PLATFORM, busy, 1).window);
}

AppSearchResult SearchForMainApplication(void) { return Search(&PLATFORM, nullptr, 0); }

HWND FindMainApplicationOfProcess(DWORD process, DWORD* busy) {
  AppSearchPlatform ofProcess = PLATFORM;
  ofProcess.context = &process;
  return AsWindow(Search(&ofProcess, busy, 0).window);
}

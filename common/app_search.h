// The search for the main application's window as plain computation over what the platform
// answers: the windows in their order, each window's answer to the probe, its thread and process,
// and the clock. app_search_win.cpp gives it the platform's; the unit tests a simulated desktop.
#ifndef NVR_COMMON_APP_SEARCH_H
#define NVR_COMMON_APP_SEARCH_H

#include <cstdint>

// How long one window may take to answer "QuibWhoAmI" in a search. A healthy window answers at
// once; one that does not is noted as busy and the rest of its thread's windows are passed over.
const uint32_t APP_PROBE_TIMEOUT_MS = 1000;

// The second, longer look before a start: how long the search waits, in all, for the windows it
// found busy to answer. An application busy for less is found and never started a second time;
// one that answers nothing for longer counts as hung, as the platform counts a window hung that
// has not asked for a message for five seconds.
const uint32_t APP_BUSY_WAIT_MS = 5000;

// The second look asks the busy windows in turn, each for at most this long at a time, so that
// one that stays busy does not use up the time of the others.
const uint32_t APP_BUSY_SLICE_MS = 500;

// Busy threads noted in one search; further ones are only passed over after their time-out.
const uint32_t APP_BUSY_MAX = 8;

enum ProbeResult : uint32_t {
  PROBE_OTHER = 0,        // answered something else, gone, or hung by the platform's test
  PROBE_APPLICATION = 1,  // answered exactly WHOAMI_APP
  PROBE_BUSY = 2,         // alive, but the probe timed out
};

// What one probe's send means: answered with answer; or failed, by a time-out or otherwise; hung
// by the platform's test. Only a time-out of a window that is not hung is busy.
ProbeResult ClassifyProbe(uint32_t answered, uintptr_t answer, uint32_t timedOut, uint32_t hung);

typedef uintptr_t SearchWindow;  // a window handle as the platform gives it; 0 is none

// What the search asks of the platform. context is handed back to each function.
struct AppSearchPlatform {
  void* context;
  // "QuibWhoAmI" WHOAMI_APP sent to window, waited for at most timeoutMs.
  ProbeResult (*probe)(void* context, SearchWindow window, uint32_t timeoutMs);
  // The window's thread, and through *process (when not null) its process; 0 for a window gone.
  uint32_t (*threadOf)(void* context, SearchWindow window, uint32_t* process);
  uint32_t (*tick)(void* context);  // milliseconds, wrapping at 2^32
  // Offers every window below the desktop, in the platform's order, until offer answers 0.
  void (*enumerate)(void* context, uint32_t (*offer)(void* search, SearchWindow window),
                    void* search);
};

// The application's window once found, and its process: asked alone first by the next search,
// so that no other program is asked while it still answers. A handle that another process holds
// by then was reused after the application ended, and is never taken for it.
struct KnownApplication {
  SearchWindow window;
  uint32_t process;
};

struct AppSearchResult {
  SearchWindow window;  // the application's window, or 0
  uint32_t busy;        // 1: it is the known window, alive, but it did not answer in time
  // With no window found: the threads whose windows did not answer in time, in the order found.
  // The application may be among them, busy: one who must reach it all the same may post to them.
  uint32_t busyThreads[APP_BUSY_MAX];
  uint32_t busyThreadCount;
};

// The application's window: the known window while it answers, or only busy (reported so);
// else the first window below the desktop that answers as the application. With beforeStart,
// for a caller that starts the application when none is found, busy windows are waited for up
// to APP_BUSY_WAIT_MS in all and the desktop searched once more, so that a live application
// that was busy is not started a second time. Each search keeps its own list of busy windows:
// another search may run inside one of its probes.
AppSearchResult SearchApplication(const AppSearchPlatform* platform, KnownApplication* known,
                                  uint32_t beforeStart);

#endif

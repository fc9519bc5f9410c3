// The search for the application over a simulated desktop: windows in the platform's order, each
// busy from one moment to another (hung, by the platform's measure, once busy for 5 s, where the
// platform has that test), and a clock that each probe moves on by the time it waits.
#include <gtest/gtest.h>

#include <vector>

#include "common/app_search.h"

namespace {

const int64_t FOREVER = int64_t{1} << 40;

struct SimWindow {
  SearchWindow handle;
  uint32_t process;  // its thread too
  uintptr_t answer;
  int64_t busyFrom, busyUntil;
  bool nests;  // its probe first runs another search, as an application reaching the plug-in does
};

struct Desktop {
  std::vector<SimWindow> windows;
  KnownApplication known;
  int64_t now;
  int64_t hungAfterMs;  // FOREVER: a system without the hung test
};

AppSearchResult Search(Desktop* desktop, uint32_t beforeStart);

SimWindow* Find(void* context, SearchWindow handle) {
  for (SimWindow& window : static_cast<Desktop*>(context)->windows)
    if (window.handle == handle) return &window;
  return nullptr;
}

ProbeResult Probe(void* context, SearchWindow handle, uint32_t timeoutMs) {
  Desktop* desktop = static_cast<Desktop*>(context);
  SimWindow* w = Find(context, handle);
  if (!w) return ClassifyProbe(0, 0, 0, 0);  // gone: a failure, not a time-out
  if (w->nests) {
    w->nests = false;
    Search(desktop, 0);
  }
  int64_t& now = desktop->now;
  auto busy = [&] { return now >= w->busyFrom && now < w->busyUntil; };
  auto hung = [&] { return busy() && now - w->busyFrom >= desktop->hungAfterMs; };
  if (hung()) return ClassifyProbe(0, 0, 1, 1);  // the send gives up at once
  if (busy() && w->busyUntil - now > timeoutMs) {
    now += timeoutMs;
    return ClassifyProbe(0, 0, 1, hung());
  }
  if (busy()) now = w->busyUntil;
  return ClassifyProbe(1, w->answer, 0, 0);
}

uint32_t ThreadOf(void* context, SearchWindow handle, uint32_t* process) {
  SimWindow* w = Find(context, handle);
  if (process) *process = w ? w->process : 0;
  return w ? w->process : 0;
}

uint32_t Tick(void* context) { return static_cast<uint32_t>(static_cast<Desktop*>(context)->now); }

void Enumerate(void* context, uint32_t (*offer)(void*, SearchWindow), void* search) {
  for (const SimWindow& w : static_cast<Desktop*>(context)->windows)
    if (!offer(search, w.handle)) return;
}

AppSearchResult Search(Desktop* desktop, uint32_t beforeStart) {
  AppSearchPlatform platform = {desktop, Probe, ThreadOf, Tick, Enumerate};
  return SearchApplication(&platform, &desktop->known, beforeStart);
}

TEST(AppSearch, OnlyATimeOutOfALiveWindowIsBusy) {
  // answered, answer, timed out, hung -> result
  struct Row { uint32_t answered; uintptr_t answer; uint32_t timedOut, hung; ProbeResult expected; } rows[] = {
      {1, 2, 0, 0, PROBE_APPLICATION}, {1, 1, 0, 0, PROBE_OTHER}, {1, 0x10002, 0, 0, PROBE_OTHER},
      {0, 0, 1, 0, PROBE_BUSY}, {0, 0, 1, 1, PROBE_OTHER}, {0, 0, 0, 0, PROBE_OTHER},
  };
  for (const Row& r : rows)
    EXPECT_EQ(r.expected, ClassifyProbe(r.answered, r.answer, r.timedOut, r.hung))
        << r.answered << " " << r.answer << " " << r.timedOut << " " << r.hung;
}

TEST(AppSearch, BusyWindowsShareTheWaitAndTheKnownOneIsReportedBusy) {
  // Window 2 of process 20 answers as the application; the others are strangers. Times in ms.
  struct Row {
    const char* what;
    std::vector<SimWindow> windows;
    KnownApplication known;
    uint32_t beforeStart;
    SearchWindow found;
    uint32_t busy;
    int64_t byMs;
    std::vector<uint32_t> busyThreads;  // reported when nothing is found
  } rows[] = {
      {"a stranger busy -0.5 to 8 s ahead of the application busy 0 to 3 s, before a start",
       {{1, 10, 0, -500, 8000, false}, {2, 20, 2, 0, 3000, false}}, {0, 0}, 1, 2, 0, 3500, {}},
      {"the known application busy 0 to 3 s, at a paint",
       {{2, 20, 2, 0, 3000, false}}, {2, 20}, 0, 2, 1, 1000, {}},
      {"the same before a start", {{2, 20, 2, 0, 3000, false}}, {2, 20}, 1, 2, 0, 3000, {}},
      {"the known handle reused by another program, busy",
       {{2, 30, 0, 0, 2000, false}, {3, 20, 2, 0, 0, false}}, {2, 20}, 0, 3, 0, 1000, {}},
      {"another search inside a stranger's probe, before a start",
       {{2, 20, 2, 0, 1500, false}, {1, 10, 0, 0, 0, true}}, {0, 0}, 1, 2, 0, 1500, {}},
      {"the application hung: absent at once", {{2, 20, 2, -6000, FOREVER, false}}, {0, 0}, 1, 0, 0, 0, {}},
      {"the application busy 0 to 3 s, not yet known, behind a busy stranger, at a destroy",
       {{1, 10, 0, 0, 8000, false}, {2, 20, 2, 0, 3000, false}}, {0, 0}, 0, 0, 0, 2000, {10, 20}},
  };
  for (Row& r : rows) {
    Desktop desktop = {r.windows, r.known, 0, 5000};
    AppSearchResult result = Search(&desktop, r.beforeStart);
    EXPECT_EQ(r.found, result.window) << r.what;
    EXPECT_EQ(r.busy, result.busy) << r.what;
    EXPECT_LE(desktop.now, r.byMs) << r.what;
    EXPECT_EQ(r.found, desktop.known.window) << r.what;
    EXPECT_EQ(r.busyThreads, std::vector<uint32_t>(result.busyThreads, result.busyThreads + result.busyThreadCount))
        << r.what;
  }
}

// Without the platform's hung test, windows still busy when the second look ends are asked once
// more: the application that came free meanwhile is found, not started again.
TEST(AppSearch, StillBusyWindowsAreAskedOnceMoreAtTheEnd) {
  Desktop desktop = {{{1, 10, 0, -500, 8000, false}, {2, 20, 2, 0, 7200, false}}, {0, 0}, 0, FOREVER};
  EXPECT_EQ(2u, Search(&desktop, 1).window);
  EXPECT_EQ(7500, desktop.now);
}

}  // namespace

#include "common/app_search.h"

#include "common/link_protocol.h"

ProbeResult ClassifyProbe(uint32_t answered, uintptr_t answer, uint32_t timedOut, uint32_t hung) {
  if (answered) return answer == WHOAMI_APP ? PROBE_APPLICATION : PROBE_OTHER;
  // A window gone, or one that failed for another reason, is no live application.
  return timedOut && !hung ? PROBE_BUSY : PROBE_OTHER;
}

namespace {

struct BusyWindow {
  SearchWindow window;
  uint32_t thread;
};

// One search's own record: a search made inside one of its probes has another.
struct Search {
  const AppSearchPlatform* platform;
  SearchWindow found;
  BusyWindow busy[APP_BUSY_MAX];  // in the order they were found busy
  uint32_t busyCount;
  uint32_t lastPass;  // the noted windows themselves are asked once more
};

ProbeResult Ask(const Search* search, SearchWindow window, uint32_t timeoutMs) {
  return search->platform->probe(search->platform->context, window, timeoutMs);
}

uint32_t ThreadOf(const Search* search, SearchWindow window, uint32_t* process) {
  return search->platform->threadOf(search->platform->context, window, process);
}

void Forget(Search* search, uint32_t i) {
  for (; i + 1 < search->busyCount; ++i) search->busy[i] = search->busy[i + 1];
  --search->busyCount;
}

uint32_t Offer(void* context, SearchWindow window) {
  Search* search = static_cast<Search*>(context);
  uint32_t timeoutMs = APP_PROBE_TIMEOUT_MS;
  uint32_t thread = 0;
  // Asked only once a thread was noted: the question costs a call to the system per window.
  if (search->busyCount) thread = ThreadOf(search, window, nullptr);
  for (uint32_t i = 0; i < search->busyCount; ++i) {
    if (search->busy[i].thread != thread) continue;
    // The thread's other windows would keep the search waiting just as long.
    if (!search->lastPass || search->busy[i].window != window) return 1;
    timeoutMs = APP_BUSY_SLICE_MS;
    Forget(search, i);  // noted again below while it is still busy
    break;
  }
  switch (Ask(search, window, timeoutMs)) {
    case PROBE_APPLICATION:
      search->found = window;
      return 0;
    case PROBE_BUSY:
      if (search->busyCount < APP_BUSY_MAX) {
        search->busy[search->busyCount].window = window;
        if (!thread) thread = ThreadOf(search, window, nullptr);
        search->busy[search->busyCount].thread = thread;
        ++search->busyCount;
      }
      break;
    case PROBE_OTHER:
      break;
  }
  return 1;
}

void SearchDesktop(Search* search) {
  search->found = 0;
  search->platform->enumerate(search->platform->context, Offer, search);
}

// The busy windows asked in turn, a slice at a time, within one time limit for all: one that
// stays busy does not use up the others' time. One that answers something else is forgotten, so
// that the last pass asks its thread's other windows, among which may be the application's.
SearchWindow SecondLook(Search* search) {
  const AppSearchPlatform* platform = search->platform;
  uint32_t start = platform->tick(platform->context);
  while (search->busyCount) {
    for (uint32_t i = 0; i < search->busyCount;) {
      uint32_t elapsed = platform->tick(platform->context) - start;
      if (elapsed >= APP_BUSY_WAIT_MS) return 0;
      uint32_t left = APP_BUSY_WAIT_MS - elapsed;
      uint32_t slice = left < APP_BUSY_SLICE_MS ? left : APP_BUSY_SLICE_MS;
      ProbeResult result = Ask(search, search->busy[i].window, slice);
      if (result == PROBE_APPLICATION) return search->busy[i].window;
      if (result == PROBE_BUSY)
        ++i;
      else
        Forget(search, i);
    }
  }
  return 0;
}

}  // namespace

AppSearchResult SearchApplication(const AppSearchPlatform* platform, KnownApplication* known,
                                  uint32_t beforeStart) {
  Search search;
  search.platform = platform;
  search.found = 0;
  search.busyCount = 0;
  search.lastPass = 0;
  SearchWindow window = known->window;
  if (window) {
    uint32_t process = 0;
    ThreadOf(&search, window, &process);
    ProbeResult result = PROBE_OTHER;
    if (process == known->process) result = Ask(&search, window, APP_PROBE_TIMEOUT_MS);
    // Before a start, the known application that is only busy is waited for alone.
    if (result == PROBE_BUSY && beforeStart) result = Ask(&search, window, APP_BUSY_WAIT_MS);
    if (result == PROBE_APPLICATION) return {window, 0, {0}, 0};
    if (result == PROBE_BUSY) return {window, 1, {0}, 0};
  }
  SearchDesktop(&search);
  if (!search.found && beforeStart && search.busyCount) {
    search.found = SecondLook(&search);
    if (!search.found) {
      search.lastPass = 1;
      SearchDesktop(&search);
    }
  }
  known->window = search.found;
  known->process = 0;
  AppSearchResult result = {search.found, 0, {0}, 0};
  if (search.found) ThreadOf(&search, search.found, &known->process);
  for (uint32_t i = 0; !search.found && i < search.busyCount; ++i)
    result.busyThreads[result.busyThreadCount++] = search.busy[i].thread;
  return result;
}

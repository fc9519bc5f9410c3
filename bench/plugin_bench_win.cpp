// The plug-in's paint of its placeholder, each measured side by side with the same paint on a
// quiet desktop in the same run, rounds alternating, medians compared:
//   1. while another program holds 200 top-level windows;
//   2. while another program's window is busy (alive, answering nothing for 2 s).
// The application is running and engaged elsewhere, so every paint asks it and draws the logo.
// And, in the same way, the longest hold of the browser by one tick of the plug-in's timer while
// an element waits for the application it started (slow to show its window):
//   3. while another program's window is busy, against a quiet desktop.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "harness.h"
#include "plugin/plugin_api.h"

namespace {

using namespace harness;

int ROUNDS = 7;
const int PAINTS = 20;
const UINT STANDIN_BUSY = WM_APP + 3;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The median time of count paints in milliseconds (the host times each one), or -1.
double PaintMs(BrowserHost& host, int count) {
  std::vector<double> times;
  for (int i = 0; i < count; ++i) {
    LRESULT us = host.Do("paint 0");
    if (us < 0) return -1;
    times.push_back(static_cast<double>(us) / 1000);
  }
  return Median(times);
}

// The longest hold of one timer tick in milliseconds over a few ticks, or -1.
double LongestTickMs(BrowserHost& host) {
  const DWORD TICKS_MS = 2500;  // the plug-in looks once a second
  if (host.Do("ticks") < 0) return -1;
  Sleep(TICKS_MS);
  LRESULT us = host.Do("ticks");
  return us < 0 ? -1 : static_cast<double>(us) / 1000;
}

// One round of case 3: a fresh page whose second element waits for the first one's start. The
// start's copy never shows its window within the round and is ended with it.
bool MeasureTicks(std::vector<double>* quiet, std::vector<double>* withBusy) {
  TempFile launched("pbl");
  TempFile strangerLog("pbt");
  ScopedAppPath exe(StandInCommand(launched.path, "--late 60000"));
  BrowserHost host;
  DWORD hostProcess = 0;
  GetWindowThreadProcessId(host.page(), &hostProcess);
  bool ready = host.page() && host.Do("entry " + std::to_string(sizeof(NPPluginFuncs))) == 0 &&
               host.Do("init " + std::to_string(BROWSER_FUNCS_MIN_SIZE) + " 0x13") == 0 &&
               host.Do("new 0") == 0 && host.Do("new 1") == 0 &&
               host.Do("window 0 0 300 100 100") == 0 && host.Do("window 1 110 300 100 100") == 0 &&
               host.Do("setwindow 0 0") == 0 && host.Do("setwindow 1 1") == 0;
  double q = ready ? LongestTickMs(host) : -1;
  Child stranger;
  HWND window = ready ? StartStandIn(stranger, strangerLog.path, "--whoami 0") : nullptr;
  bool busy = window && PostMessageA(window, STANDIN_BUSY, 4000, 0) &&
              WaitForLines(strangerLog.path, "BUSY", 1, 5000);
  double b = busy ? LongestTickMs(host) : -1;
  for (DWORD process : ProcessesStartedBy(hostProcess)) EndProcess(process);
  if (q < 0 || b < 0) return false;
  quiet->push_back(q);
  withBusy->push_back(b);
  return true;
}

}  // namespace

int main() {
  if (getenv("BENCH_ROUNDS")) ROUNDS = atoi(getenv("BENCH_ROUNDS"));
  // Case 3 first, while no application runs.
  std::vector<double> quietTicks, busyTicks;
  for (int round = 0; round < (ROUNDS + 1) / 2; ++round)
    if (!MeasureTicks(&quietTicks, &busyTicks)) break;
  Child app;
  if (!StartStandIn(app, "", "--reply 3174=1")) {
    printf("plugin bench: the stand-in did not start\n");
    return 1;
  }
  TempFile strangerLog("pbs");
  BrowserHost host;
  if (!host.page() || host.Do("entry " + std::to_string(sizeof(NPPluginFuncs))) != 0 ||
      host.Do("init " + std::to_string(BROWSER_FUNCS_MIN_SIZE) + " 0x13") != 0 ||
      host.Do("new 0") != 0 || host.Do("window 0 0 0 500 270") != 0 ||
      host.Do("setwindow 0 0") != 0) {
    printf("plugin bench: the browser-like host did not take the plug-in\n");
    return 1;
  }
  std::vector<double> alone, crowded, quietForBusy, withBusy;
  for (int round = 0; round < ROUNDS; ++round) {
    {
      double a = PaintMs(host, PAINTS);
      Child crowd;
      HWND crowdWindow = StartStandIn(crowd, "", "--whoami 0 --crowd 200");
      // Its window is shown once all 200 others exist: measure only then, not while they come.
      if (!crowdWindow || !WaitUntil([&] { return IsWindowVisible(crowdWindow) != FALSE; }, 10000))
        break;
      double c = PaintMs(host, PAINTS);
      if (a < 0 || c < 0) break;
      alone.push_back(a);
      crowded.push_back(c);
    }
    {
      double a = PaintMs(host, PAINTS);
      Child stranger;
      HWND window = StartStandIn(stranger, strangerLog.path, "--whoami 0");
      size_t busy = LinesStartingWith(strangerLog.path, "BUSY").size();
      if (!window || !PostMessageA(window, STANDIN_BUSY, 2000, 0) ||
          !WaitForLines(strangerLog.path, "BUSY", busy + 1, 5000))
        break;
      double b = PaintMs(host, 5);
      if (a < 0 || b < 0) break;
      quietForBusy.push_back(a);
      withBusy.push_back(b);
    }
  }
  host.Do("destroy 0");
  if (alone.empty() || quietForBusy.empty() || quietTicks.empty()) {
    printf("plugin bench: the paint could not be measured\n");
    return 1;
  }
  double a = Median(alone), c = Median(crowded);
  printf("plugin: paint with 200 foreign windows %.2f ms vs without them %.2f ms: ratio %.2f (goal <= 1.2)\n",
         c, a, c / a);
  a = Median(quietForBusy);
  double b = Median(withBusy);
  printf("plugin: paint while a foreign window is busy %.2f ms vs quiet %.2f ms: ratio %.2f (goal <= 1.5)\n",
         b, a, b / a);
  a = Median(quietTicks);
  b = Median(busyTicks);
  printf("plugin: timer tick while a foreign window is busy %.2f ms vs quiet %.2f ms: ratio %.2f (goal <= 1.5)\n",
         b, a, b / a);
  return 0;
}

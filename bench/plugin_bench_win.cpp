// The plug-in's paint of its placeholder, each measured side by side with the same paint on a
// quiet desktop in the same run, rounds alternating, medians compared:
//   1. while another program holds 200 top-level windows;
//   2. while another program's window is busy (alive, answering nothing for 2 s).
// The application is running and engaged elsewhere, so every paint asks it and draws the logo.
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

// One command carried out by the browser-like host; its result, or -1 when it did not answer.
LRESULT Command(HWND page, const std::string& command) {
  COPYDATASTRUCT data = {0, static_cast<DWORD>(command.size()), const_cast<char*>(command.data())};
  DWORD_PTR reply = 0;
  if (!SendMessageTimeoutA(page, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                           15000, &reply))
    return -1;
  return static_cast<LRESULT>(reply);
}

// The median time of count paints in milliseconds (the host times each one), or -1.
double PaintMs(HWND page, int count) {
  std::vector<double> times;
  for (int i = 0; i < count; ++i) {
    LRESULT us = Command(page, "paint 0");
    if (us < 0) return -1;
    times.push_back(static_cast<double>(us) / 1000);
  }
  return Median(times);
}

}  // namespace

int main() {
  if (getenv("BENCH_ROUNDS")) ROUNDS = atoi(getenv("BENCH_ROUNDS"));
  Child app;
  if (!StartStandIn(app, "", "--reply 3174=1")) {
    printf("plugin bench: the stand-in did not start\n");
    return 1;
  }
  TempFile hostLog("pbh"), strangerLog("pbs");
  Child host;
  HWND page = nullptr;
  if (Start(host, Quoted(BinPath("browser_host.exe")) + " " + Quoted(BinPath("NPNVR.DLL")) + " " +
                      Quoted(hostLog.path)))
    WaitUntil([&] { return (page = FindProcessWindow(host.Pid(), "NvrBrowserPage", nullptr)) != nullptr; }, 10000);
  if (!page || Command(page, "entry " + std::to_string(sizeof(NPPluginFuncs))) != 0 ||
      Command(page, "init " + std::to_string(BROWSER_FUNCS_MIN_SIZE) + " 0x13") != 0 ||
      Command(page, "new 0") != 0 || Command(page, "window 0 0 0 500 270") != 0 ||
      Command(page, "setwindow 0 0") != 0) {
    printf("plugin bench: the browser-like host did not take the plug-in\n");
    return 1;
  }
  std::vector<double> alone, crowded, quietForBusy, withBusy;
  for (int round = 0; round < ROUNDS; ++round) {
    {
      double a = PaintMs(page, PAINTS);
      Child crowd;
      HWND crowdWindow = StartStandIn(crowd, "", "--whoami 0 --crowd 200");
      // Its window is shown once all 200 others exist: measure only then, not while they come.
      if (!crowdWindow || !WaitUntil([&] { return IsWindowVisible(crowdWindow) != FALSE; }, 10000))
        break;
      double c = PaintMs(page, PAINTS);
      if (a < 0 || c < 0) break;
      alone.push_back(a);
      crowded.push_back(c);
    }
    {
      double a = PaintMs(page, PAINTS);
      Child stranger;
      HWND window = StartStandIn(stranger, strangerLog.path, "--whoami 0");
      size_t busy = LinesStartingWith(strangerLog.path, "BUSY").size();
      if (!window || !PostMessageA(window, STANDIN_BUSY, 2000, 0) ||
          !WaitForLines(strangerLog.path, "BUSY", busy + 1, 5000))
        break;
      double b = PaintMs(page, 5);
      if (a < 0 || b < 0) break;
      quietForBusy.push_back(a);
      withBusy.push_back(b);
    }
  }
  Command(page, "destroy 0");
  PostMessageA(page, WM_CLOSE, 0, 0);
  host.WaitExit(10000, nullptr);
  if (alone.empty() || quietForBusy.empty()) {
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
  return 0;
}

// Costs of hosting the main application, each measured side by side with a yardstick in the
// same run, rounds alternating, medians compared:
//   1. one message forwarded by the saver (probe + WM_COPYDATA to the stand-in application)
//      against two raw cross-process SendMessage round trips to that same stand-in;
//   2. saver start to LM_SAVERSTARTED at the stand-in against a bare program's start to the
//      first paint of its topmost window;
//   3. key press to the saver's exit (no password) against key press to the bare program's exit.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/link_protocol.h"
#include "harness.h"

namespace {

using namespace harness;

int ROUNDS = 7;
const int MESSAGES = 2000;

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Lifetime {
  double toShown;  // start to the event
  double toExit;   // key press to the process's end
  bool ok;
};

// Starts commandLine, waits for the event, finds its window of className, presses a key and
// waits for the exit.
Lifetime TimeLife(const std::string& commandLine, HANDLE shown, const char* className) {
  Lifetime life = {0, 0, false};
  ResetEvent(shown);
  Child process;
  double begin = Now();
  if (!Start(process, commandLine)) return life;
  if (WaitForSingleObject(shown, 20000) != WAIT_OBJECT_0) {
    printf("  %s: no sign of life\n", className);
    return life;
  }
  life.toShown = Now() - begin;
  HWND window = WaitForProcessWindow(process, className, nullptr);
  if (!window) {
    printf("  %s: no window\n", className);
  } else if (!WaitUntil([&] { return HasKeyboard(window); }, 5000)) {
    printf("  %s: never got the keyboard\n", className);
  } else {
    double pressed = Now();
    PressKey('A');
    if (process.WaitExit(20000, nullptr)) {
      life.toExit = Now() - pressed;
      life.ok = true;
    } else {
      printf("  %s: did not end on the key\n", className);
    }
  }
  return life;
}

}  // namespace

int main() {
  if (getenv("BENCH_ROUNDS")) ROUNDS = atoi(getenv("BENCH_ROUNDS"));
  const char* STARTED_EVENT = "NvrBenchStarted";
  const char* PAINTED_EVENT = "NvrBenchPainted";
  HANDLE started = CreateEventA(nullptr, TRUE, FALSE, STARTED_EVENT);
  HANDLE painted = CreateEventA(nullptr, TRUE, FALSE, PAINTED_EVENT);
  UINT whoAmI = RegisterWindowMessageA(QUIB_WHOAMI_NAME);

  Child app;
  HWND appWindow = StartStandIn(app, "", std::string("--reply any=5 --reply 256=0 --reply 257=0 ") +
                                             "--started-event " + STARTED_EVENT);
  if (!appWindow) {
    printf("bridge bench: the stand-in did not start\n");
    return 1;
  }
  std::string saverLine = Quoted(SaverPath()) + " /s";
  std::string bareLine = Quoted(BinPath("bare_window.exe")) + " " + PAINTED_EVENT;

  // 1. Forwarding, inside a running saver.
  std::vector<double> forwardCost, rawPair, rawForward;
  Child saver;
  ResetEvent(started);
  bool forwardOk = Start(saver, saverLine) && WaitForSingleObject(started, 20000) == WAIT_OBJECT_0;
  HWND saverWindow = forwardOk ? WaitForSaverWindow(saver) : nullptr;
  if (saverWindow) {
    for (int round = 0; round < ROUNDS; ++round) {
      // A message the saver answers itself: the cost of reaching the saver, to subtract.
      double t0 = Now();
      for (int i = 0; i < MESSAGES; ++i) SendMessageA(saverWindow, whoAmI, WHOAMI_SAVER, 0);
      double direct = Now() - t0;
      // A message the saver offers to the application, which claims it.
      t0 = Now();
      for (int i = 0; i < MESSAGES; ++i) SendMessageA(saverWindow, WM_CHAR, 'a', 0);
      double forwarded = Now() - t0;
      // Two plain round trips to the application.
      t0 = Now();
      for (int i = 0; i < MESSAGES; ++i) {
        SendMessageA(appWindow, whoAmI, WHOAMI_APP, 0);
        SendMessageA(appWindow, whoAmI, WHOAMI_APP, 0);
      }
      double raw = Now() - t0;
      // The same two messages the saver sends, sent straight from here: what the forward is made of.
      SaverInputRecord record = {0, WM_CHAR, 'a', 0, {0, 0, 0}};
      COPYDATASTRUCT data = {LM_SAVERINPUT, sizeof record, &record};
      t0 = Now();
      for (int i = 0; i < MESSAGES; ++i) {
        SendMessageA(appWindow, whoAmI, WHOAMI_APP, 0);
        SendMessageA(appWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
      }
      double rawCopy = Now() - t0;
      forwardCost.push_back((forwarded - direct) / MESSAGES);
      rawPair.push_back(raw / MESSAGES);
      rawForward.push_back(rawCopy / MESSAGES);
    }
  }
  if (saver.Running()) {  // the next phase starts savers of its own
    TerminateProcess(saver.info.hProcess, 0);
    saver.WaitExit(5000, nullptr);
  }

  // 2 and 3. Start to first sign of life, and key press to exit.
  std::vector<double> saverStart, bareStart, saverExit, bareExit;
  for (int round = 0; round < ROUNDS; ++round) {
    Lifetime s = TimeLife(saverLine, started, SAVER_CLASS);
    Lifetime b = TimeLife(bareLine, painted, "NvrBareWindow");
    if (!s.ok || !b.ok) continue;
    saverStart.push_back(s.toShown);
    bareStart.push_back(b.toShown);
    saverExit.push_back(s.toExit);
    bareExit.push_back(b.toExit);
  }

  int status = 0;
  if (forwardCost.empty()) {
    printf("bridge bench: forwarding could not be measured\n");
    status = 1;
  } else {
    double f = Median(forwardCost), r = Median(rawPair);
    printf("bridge: one forwarded message %.1f us vs two raw round trips %.1f us: ratio %.2f (goal <= 1.2)\n",
           f * 1e6, r * 1e6, f / r);
    double c = Median(rawForward);
    printf("bridge:   (probe + WM_COPYDATA sent straight to the stand-in: %.1f us, ratio %.2f to the raw pair)\n",
           c * 1e6, c / r);
  }
  if (saverStart.empty()) {
    printf("bridge bench: start and exit could not be measured\n");
    status = 1;
  } else {
    double s = Median(saverStart), b = Median(bareStart);
    printf("bridge: saver start to LM_SAVERSTARTED %.1f ms vs bare start to first paint %.1f ms: ratio %.2f (goal <= 1.3)\n",
           s * 1e3, b * 1e3, s / b);
    s = Median(saverExit);
    b = Median(bareExit);
    printf("bridge: key press to saver exit %.1f ms vs key press to bare exit %.1f ms: ratio %.2f (goal <= 1.5)\n",
           s * 1e3, b * 1e3, s / b);
  }
  CloseHandle(started);
  CloseHandle(painted);
  return status;
}

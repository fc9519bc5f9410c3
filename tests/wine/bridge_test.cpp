// The saver as host of the main application, driven from outside: the stand-in application
// records what the saver sends it, the test presses keys and sends messages to the saver window.
#include <gtest/gtest.h>

#include <algorithm>

#include "harness.h"
#include "common/link_protocol.h"
#include "saver/bridge/app_launch_win.h"

namespace {

using namespace harness;

// A stand-in with a log and a saver, started in that order, the saver's window found.
struct HostedSaver {
  TempFile log{"brg"};
  Child app;
  Child saver;
  HWND appWindow = nullptr;
  HWND saverWindow = nullptr;

  // Waits until the stand-in's log holds a line beginning with until.
  testing::AssertionResult Start(const std::string& appOptions = "", const char* until = "STARTED") {
    appWindow = StartStandIn(app, log.path, appOptions);
    if (!appWindow) return testing::AssertionFailure() << "the stand-in showed no window";
    if (!StartSaver(saver)) return testing::AssertionFailure() << "the saver did not start";
    saverWindow = WaitForSaverWindow(saver);
    if (!saverWindow) return testing::AssertionFailure() << "no saver window";
    return WaitForLines(log.path, until, 1);
  }
  std::string Input(const char* rest) const {
    return "INPUT window=" + Hex(saverWindow) + " " + rest;
  }
};

TEST(Hosting, StartedOnceThenEveryMessageOfferedAndEndingAtTheClose) {
  HostedSaver s;
  ASSERT_TRUE(s.Start());
  std::vector<std::string> started = LinesStartingWith(s.log.path, "STARTED");
  ASSERT_EQ(1u, started.size());
  EXPECT_EQ("STARTED wParam=" + Hex(s.saverWindow) +
                " lParam=" + std::to_string(s.saver.Pid()),
            started[0]);
  // A message of our own is offered with the exact record.
  PostMessageA(s.saverWindow, WM_USER + 5, 0x1234, 0x56789abc);
  ASSERT_TRUE(WaitForLine(s.log.path, s.Input("message=405 wParam=1234 lParam=56789abc z=0,0,0 cb=28")));

  PressKey('A');  // reply 0: the ordinary rules end the saver
  EXPECT_EQ(0u, ExitCode(s.saver));
  EXPECT_EQ(1u, LinesStartingWith(s.log.path, "STARTED").size());
  std::vector<std::string> ending = LinesStartingWith(s.log.path, "ENDING");
  ASSERT_EQ(1u, ending.size());
  EXPECT_EQ("ENDING wParam=" + Hex(s.saverWindow) + " lParam=0", ending[0]);
  EXPECT_GE(LinesStartingWith(s.log.path, s.Input("message=100 ").c_str()).size(), 1u);
  // The close, once approved, is the last thing offered, and the application is told at once,
  // not after the window's deactivation.
  std::vector<std::string> last = LinesStartingWith(s.log.path, "");
  ASSERT_GE(last.size(), 2u);
  EXPECT_EQ(0u, last[last.size() - 2].find(s.Input("message=10 "))) << last[last.size() - 2];
  EXPECT_EQ(ending[0], last.back());
}

TEST(Hosting, AnswersTheApplicationsQueriesWithoutPassingThemOn) {
  HostedSaver s;
  ASSERT_TRUE(s.Start("--reply 258=77"));
  UINT whoAmI = WhoAmIMessage();
  EXPECT_EQ(1, SendMessageA(s.saverWindow, whoAmI, WHOAMI_SAVER, 0));
  EXPECT_EQ(0, SendMessageA(s.saverWindow, whoAmI, WHOAMI_APP, 0));  // never the application
  EXPECT_EQ(0, SendMessageA(s.saverWindow, whoAmI, WHOAMI_REACTIVATE, 0));
  // Answered by the saver itself: never offered to the application.
  EXPECT_EQ(0u, CountLinesWith(s.log.path, s.Input("").c_str(), "message=" + Hex(whoAmI) + " "));
  // WM_CHAR is not in the table: the application's reply is the result.
  EXPECT_EQ(77, SendMessageA(s.saverWindow, WM_CHAR, 'a', 0));
}

TEST(Hosting, NonzeroKeyReplySwallowsTheKeyAndCloseReplyOneKeepsTheSaver) {
  HostedSaver s;
  ASSERT_TRUE(s.Start("--reply 256=1 --reply 257=1 --reply 16=1"));
  PressKey('A');
  ASSERT_TRUE(WaitForLineWith(s.log.path, "INPUT", " message=101 "));
  // A round trip through the saver's queue: a close request the key made has been handled.
  EXPECT_EQ(1, SendMessageA(s.saverWindow, WhoAmIMessage(), WHOAMI_SAVER, 0));
  EXPECT_EQ(0u, CountLinesWith(s.log.path, "INPUT", " message=10 ")) << "the key made a close request";
  PostMessageA(s.saverWindow, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitForLineWith(s.log.path, "INPUT", " message=10 "));
  EXPECT_EQ(1, SendMessageA(s.saverWindow, WhoAmIMessage(), WHOAMI_SAVER, 0));
  EXPECT_TRUE(s.saver.Running());
  EXPECT_TRUE(IsWindow(s.saverWindow));
}

TEST(Hosting, SetCursorReplyNamesASystemCursorOrTheSaversHand) {
  HMODULE saverModule =
      LoadLibraryExA(BinPath("nvrss32.scr").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, saverModule);
  ICONINFO hand;
  HCURSOR handCursor = LoadCursorA(saverModule, MAKEINTRESOURCEA(224));
  ASSERT_NE(nullptr, handCursor);
  ASSERT_TRUE(GetIconInfo(handCursor, &hand));
  EXPECT_EQ(6u, hand.xHotspot);
  EXPECT_EQ(0u, hand.yHotspot);
  if (hand.hbmMask) DeleteObject(hand.hbmMask);
  if (hand.hbmColor) DeleteObject(hand.hbmColor);
  FreeLibrary(saverModule);

  // Another process's cursor cannot be looked into, so the test checks that the reply shows a
  // cursor where the saver's own rule hides it, and the hand's shape above.
  for (int id : {0, 32514, 224}) {
    HostedSaver s;
    ASSERT_TRUE(s.Start("--reply 32=" + std::to_string(id)));
    LRESULT result = SendMessageA(s.saverWindow, WM_SETCURSOR,
                                  reinterpret_cast<WPARAM>(s.saverWindow),
                                  MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    HCURSOR shown = nullptr;
    ASSERT_TRUE(GetShownCursor(&shown)) << "the system does not say which cursor it shows";
    if (id == 0) {
      EXPECT_EQ(nullptr, shown) << "reply 0 takes the saver's rule: no cursor";
    } else {
      EXPECT_EQ(0, result) << "reply " << id;
      EXPECT_NE(nullptr, shown) << "reply " << id;
    }
  }
}

TEST(Hosting, ReactivateRequestHandsActivationToTheApplicationAtTheEnd) {
  HostedSaver s;
  // A window of the test that was in front before the saver.
  TestWindow frontWindow("front", 50, 50, WS_POPUP | WS_VISIBLE, nullptr, 0, 0);
  HWND front = frontWindow.Handle();
  ASSERT_NE(nullptr, front);
  ASSERT_TRUE(s.Start());
  SetForegroundWindow(front);
  SetForegroundWindow(s.saverWindow);
  EXPECT_EQ(0, SendMessageA(s.saverWindow, WhoAmIMessage(), WHOAMI_REACTIVATE, 0));
  PostMessageA(s.saverWindow, WM_CLOSE, 0, 0);
  ASSERT_NE(NO_EXIT, ExitCode(s.saver));
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == s.appWindow; }, 3000))
      << "foreground " << GetForegroundWindow() << ", application " << s.appWindow << ", front " << front;
}

TEST(Hosting, CloseReplyTwoLetsTheSaverClose) {
  HostedSaver s;
  ASSERT_TRUE(s.Start("--reply 16=2"));
  PostMessageA(s.saverWindow, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, ExitCode(s.saver));
  EXPECT_EQ(1u, LinesStartingWith(s.log.path, "ENDING").size());
}

TEST(Hosting, PaletteIsAskedOnceAtTheFirstPaint) {
  HostedSaver s;
  ASSERT_TRUE(s.Start("--palette"));
  InvalidateRect(s.saverWindow, nullptr, TRUE);
  UpdateWindow(s.saverWindow);
  EXPECT_EQ(1, SendMessageA(s.saverWindow, WhoAmIMessage(), WHOAMI_SAVER, 0));
  EXPECT_EQ(1u, LinesStartingWith(s.log.path, "STARTED").size());
  EXPECT_EQ(1u, LinesStartingWith(s.log.path, "PALETTE").size());
}

// Windows probed in the platform's enumeration order, as the saver's search sees them.
BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

size_t EnumerationIndex(HWND window) {
  std::vector<HWND> all;
  EnumChildWindows(GetDesktopWindow(), CollectWindow, reinterpret_cast<LPARAM>(&all));
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i] == window) return i;
  return all.size();
}

TEST(Search, FirstWindowAnsweringExactlyTwoWins) {
  TempFile logA("sra"), logB("srb"), log1("sr1"), log3("sr3"), logWide("srw");
  Child a, b, one, three, wide;
  HWND windowA = StartStandIn(a, logA.path);
  HWND windowB = StartStandIn(b, logB.path);
  // Started last, so that they come first in the enumeration.
  HWND window1 = StartStandIn(one, log1.path, "--whoami 1");
  HWND window3 = StartStandIn(three, log3.path, "--whoami 3");
  HWND windowWide = StartStandIn(wide, logWide.path, "--whoami 0x10002");
  ASSERT_TRUE(windowA && windowB && window1 && window3 && windowWide);
  size_t first = std::min(EnumerationIndex(windowA), EnumerationIndex(windowB));
  EXPECT_LT(EnumerationIndex(window1), first);
  EXPECT_LT(EnumerationIndex(windowWide), first);
  TempFile& winner = EnumerationIndex(windowA) < EnumerationIndex(windowB) ? logA : logB;
  TempFile& loser = &winner == &logA ? logB : logA;

  Child saver;
  ASSERT_TRUE(StartSaver(saver));
  ASSERT_TRUE(WaitForLines(winner.path, "STARTED", 1, 10000));
  EXPECT_EQ(1, SendMessageA(WaitForSaverWindow(saver), WhoAmIMessage(),
                            WHOAMI_SAVER, 0));
  for (TempFile* other : {&loser, &log1, &log3, &logWide}) {
    EXPECT_EQ(0u, LinesStartingWith(other->path, "STARTED").size()) << other->path;
    EXPECT_EQ(0u, LinesStartingWith(other->path, "INPUT").size()) << other->path;
  }
}

// Also when the application is busy (alive, answering nothing) for 3 s as the saver starts: it
// is waited for, not launched a second time.
TEST(Search, ARunningApplicationIsUsedWithoutReadingOrLaunching) {
  for (DWORD busyMs : {0, 3000}) {
    SCOPED_TRACE("busy for " + std::to_string(busyMs) + " ms");
    TempFile launchedLog("rnl"), log("rna");
    ScopedAppPath path(StandInCommand(launchedLog.path));
    Child app, saver;
    HWND appWindow = StartStandIn(app, log.path);
    ASSERT_TRUE(appWindow);
    if (busyMs) {
      PostMessageA(appWindow, WM_APP + 3, busyMs, 0);  // the stand-in's busy spell
      ASSERT_TRUE(WaitForLines(log.path, "BUSY", 1, 10000));
    }
    ASSERT_TRUE(StartSaver(saver));
    ASSERT_TRUE(WaitForLines(log.path, "STARTED", 1, 15000));
    // A launch would have started a process before the notice; whether it has written its log
    // yet or not, it is there as the saver's child.
    EXPECT_EQ(0u, ProcessesStartedBy(saver.Pid()).size()) << "the saver started a program";
    EXPECT_EQ(0u, ReadLines(launchedLog.path).size());
  }
}

// The saver launches the stand-in named in win.ini under the given Windows version and the
// stand-in's own record of its start-up shows which launch path ran.
std::string LaunchUnder(const char* version, TempFile& log) {
  ScopedWineVersion scoped(version);
  ScopedAppPath path(StandInCommand(log.path, "--title launched"));
  Child saver;
  if (!StartSaver(saver)) return "saver did not start";
  bool started = WaitForLines(log.path, "STARTED", 1, 15000);
  std::vector<std::string> startup = LinesStartingWith(log.path, "STARTUPINFO");
  std::vector<std::string> start = LinesStartingWith(log.path, "START ");
  EndLaunchedStandIns();
  if (!started || startup.empty() || start.empty()) return "no start recorded";
  return start[0] + "|" + startup[0];
}

// Windows NT: CreateProcessA without a show flag; other systems: WinExec, minimised without
// activation. Either way the arguments are passed on.
TEST(Launch, WindowsNtUsesCreateProcessOthersWinExecMinimised) {
  struct Case { const char* version; std::vector<const char*> parts; } cases[] = {
      {"nt40", {"--title launched|", "STARTUPINFO flags=0 ", "desktop=WinSta0\\Default"}},
      {"win95", {"--title launched|", "STARTUPINFO flags=1 show=7 "}},
  };
  for (const Case& c : cases) {
    TempFile log("lch");
    std::string got = LaunchUnder(c.version, log);
    for (const char* part : c.parts) EXPECT_NE(std::string::npos, got.find(part)) << c.version << ": " << got;
  }
}

TEST(Launch, MissingProgramEndsTheSaverAtOnce) {
  for (const char* version : {"nt40", "win95"}) {
    ScopedWineVersion scoped(version);
    ScopedAppPath path("c:\\nowhere\\missing-nvr.exe");
    Child saver;
    ASSERT_TRUE(StartSaver(saver));
    EXPECT_EQ(0u, ExitCode(saver, 5000)) << version;
  }
}

// The wait for a late application searches again after each pause, not in a busy loop: a
// stranger's window counts how often it is asked. (Under Wine a busy loop's time goes mostly to
// waiting for the answers, so the saver's processor time cannot tell the two apart.)
TEST(Launch, LateApplicationIsFoundAndTheWaitPausesBetweenSearches) {
  TempFile log("lat"), strangerLog("lsp");
  Child stranger;
  ASSERT_NE(nullptr, StartStandIn(stranger, strangerLog.path, "--whoami 0 --log-probes"));
  ScopedAppPath path(StandInCommand(log.path, "--late 5000"));
  Child saver;
  ASSERT_TRUE(StartSaver(saver));
  // The saver window exists while its creation waits for the application.
  ASSERT_TRUE(WaitForLines(log.path, "START ", 1, 10000));
  ASSERT_NE(nullptr, WaitForSaverWindow(saver));
  DWORD begin = GetTickCount();
  size_t probesBefore = LinesStartingWith(strangerLog.path, "PROBED").size();
  ASSERT_TRUE(WaitForLines(log.path, "WINDOW", 1, 15000));
  DWORD wall = GetTickCount() - begin;
  size_t probes = LinesStartingWith(strangerLog.path, "PROBED").size() - probesBefore;
  EXPECT_TRUE(WaitForLines(log.path, "STARTED", 1, 10000));
  EndLaunchedStandIns();
  EXPECT_GE(wall, 4000u);
  // One search per pause at most, and a few more for the input that ends a pause early.
  EXPECT_GT(probes, 0u) << "the stranger was never asked";
  EXPECT_LT(probes, wall / APP_WAIT_PAUSE_MS + 20) << probes << " searches in " << wall << " ms";
}

TEST(Launch, ApplicationThatNeverAnswersEndsTheSaverAfterTwentySeconds) {
  TempFile log("lnv");
  ScopedAppPath path(StandInCommand(log.path, "--whoami 0"));
  Child saver;
  ASSERT_TRUE(StartSaver(saver));
  ASSERT_TRUE(WaitForLines(log.path, "WINDOW", 1, 10000));
  DWORD launched = GetTickCount();  // the stand-in is up: the saver's wait began before this
  DWORD code = ExitCode(saver, 30000);
  DWORD waited = GetTickCount() - launched;
  EndLaunchedStandIns();
  ASSERT_EQ(0u, code);
  EXPECT_GE(waited, 17000u);
  EXPECT_LT(waited, 22000u);
  FILETIME created, exited, kernel, user;
  ASSERT_TRUE(GetProcessTimes(saver.info.hProcess, &created, &exited, &kernel, &user));
  ULONGLONG life = (static_cast<ULONGLONG>(exited.dwHighDateTime) << 32 | exited.dwLowDateTime) -
                   (static_cast<ULONGLONG>(created.dwHighDateTime) << 32 | created.dwLowDateTime);
  EXPECT_GE(life / 10000, 20000u);
  EXPECT_EQ(0u, LinesStartingWith(log.path, "STARTED").size());
}

TEST(Preview, NoSearchNoLaunchNoNoticeEveryMessagePassedOn) {
  TempFile log("prv"), launchedLog("prl");
  ScopedAppPath path(StandInCommand(launchedLog.path));
  Child app;
  ASSERT_NE(nullptr, StartStandIn(app, log.path));
  TestWindow parent("preview parent", 200, 160, WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 10, 10);
  Child saver;
  ASSERT_TRUE(StartSaver(saver, "/p " + parent.Number()));
  HWND preview = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (preview = FindChildWindow(parent.Handle(), saver.Pid(), SAVER_CLASS)); },
                        10000));
  // Not recognised: no search registered the query, so the default handling answers it.
  EXPECT_EQ(0, SendMessageA(preview, WhoAmIMessage(), WHOAMI_SAVER, 0));
  PostMessageA(preview, WM_USER + 5, 1, 2);
  InvalidateRect(preview, nullptr, TRUE);
  EXPECT_EQ(0, SendMessageA(preview, WM_CHAR, 'a', 0));
  EXPECT_EQ(0u, ProcessesStartedBy(saver.Pid()).size()) << "the preview started a program";
  DestroyWindow(parent.Handle());
  EXPECT_EQ(0u, ExitCode(saver));
  EXPECT_EQ(0u, ReadLines(launchedLog.path).size());
  for (const char* kind : {"STARTED", "INPUT", "PALETTE"})
    EXPECT_EQ(0u, LinesStartingWith(log.path, kind).size()) << kind;
}

// The application hangs at the first message it is offered; the saver still ends on input.
TEST(Mend, HungApplicationStillLetsAKeyOrTheMouseEndTheSaver) {
  for (bool key : {true, false}) {
    SCOPED_TRACE(key ? "key" : "mouse");
    HostedSaver s;
    ASSERT_TRUE(s.Start("--hang-after 1", "HANG"));
    DWORD begin = GetTickCount();
    if (key) {
      // The saver's activation can be lost while its window procedure waits for the hung
      // application during activation; the shell would bring it forward.
      ASSERT_TRUE(GiveKeyboard(s.saverWindow,
                               "an activation that waits on a hung window of another process is "
                               "lost: no window has the keyboard"));
      PressKey('A');
    } else {
      POINT at;
      GetCursorPos(&at);
      SetCursorPos(at.x + 40, at.y + 40);
    }
    EXPECT_EQ(0u, ExitCode(s.saver));
    EXPECT_LT(GetTickCount() - begin, 10000u);
  }
}

// A window of the test process whose thread stops pumping until the record goes.
class HungWindow {
 public:
  HungWindow() {
    thread_ = CreateThread(nullptr, 0, Thread, this, 0, nullptr);
    WaitForSingleObject(ready_, 5000);
  }
  ~HungWindow() {
    SetEvent(release_);
    WaitForSingleObject(thread_, 10000);
    for (HANDLE h : {thread_, ready_, release_}) CloseHandle(h);
  }
  HWND window = nullptr;

 private:
  static DWORD WINAPI Thread(void* param) {
    HungWindow* self = static_cast<HungWindow*>(param);
    self->window = CreateWindowExA(0, "STATIC", "hung", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                   nullptr, nullptr, nullptr, nullptr);
    SetEvent(self->ready_);
    WaitForSingleObject(self->release_, INFINITE);  // no pumping: the window hangs
    DestroyWindow(self->window);
    return 0;
  }
  HANDLE release_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread_ = nullptr;
};

TEST(Mend, AnotherHungWindowDoesNotStopTheSearch) {
  TempFile log("mhw");
  Child app;
  ASSERT_NE(nullptr, StartStandIn(app, log.path));
  HungWindow hung;  // created after the application: probed before it
  ASSERT_NE(nullptr, hung.window);
  Child saver;
  ASSERT_TRUE(StartSaver(saver));
  EXPECT_TRUE(WaitForLines(log.path, "STARTED", 1, 15000));
}

TEST(Mend, CrashingApplicationLeavesTheSaverDismissable) {
  HostedSaver s;
  ASSERT_TRUE(s.Start("--crash-after 3", "CRASH"));
  ASSERT_TRUE(WaitUntil([&] { return !s.app.Running(); }, 10000));
  EXPECT_TRUE(s.saver.Running());
  ASSERT_TRUE(GiveKeyboard(s.saverWindow,
                           "the activation that leaves with a crashed program's windows does not "
                           "come back to the saver"));
  PressKey('A');
  EXPECT_EQ(0u, ExitCode(s.saver));
}

}  // namespace

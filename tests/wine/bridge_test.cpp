// The saver as host of the main application, driven from outside: the stand-in application
// records what the saver sends it, the test presses keys and sends messages to the saver window.
#include <gtest/gtest.h>

#include <algorithm>

#include "bridge_support.h"
#include "common/link_protocol.h"

namespace {

using bridge::LinesStartingWith;
using bridge::WaitForLines;

// A stand-in with a log and a saver, started in that order, the saver's window found.
struct HostedSaver {
  bridge::TempFile log{"brg"};
  harness::Child app;
  harness::Child saver;
  HWND appWindow = nullptr;
  HWND saverWindow = nullptr;

  // Waits until the stand-in's log holds a line beginning with until.
  bool Start(const std::string& appOptions = "", const char* until = "STARTED") {
    appWindow = bridge::StartStandIn(app, log.path, appOptions);
    if (!appWindow || !bridge::StartSaver(saver)) return false;
    saverWindow = bridge::WaitForSaverWindow(saver);
    return saverWindow && WaitForLines(log.path, until, 1, 10000);
  }
  bool Ended(DWORD timeoutMs, DWORD* code) { return saver.WaitExit(timeoutMs, code); }
  // Brings the saver forward, as the shell would, until its thread has it as the active window.
  bool GiveSaverTheKeyboard() {
    DWORD saverThread = GetWindowThreadProcessId(saverWindow, nullptr);
    return harness::WaitUntil(
        [&] {
          GUITHREADINFO info;
          ZeroMemory(&info, sizeof info);
          info.cbSize = sizeof info;
          if (GetGUIThreadInfo(saverThread, &info) && info.hwndActive == saverWindow) return true;
          SetForegroundWindow(saverWindow);
          return false;
        },
        5000);
  }
};

TEST(Hosting, StartedOnceThenEveryMessageOfferedAndEndingAtTheClose) {
  HostedSaver s;
  ASSERT_TRUE(s.Start());
  std::vector<std::string> started = LinesStartingWith(s.log.path, "STARTED");
  ASSERT_EQ(1u, started.size());
  EXPECT_EQ("STARTED wParam=" + bridge::Hex(reinterpret_cast<UINT_PTR>(s.saverWindow)) +
                " lParam=" + std::to_string(s.saver.Pid()),
            started[0]);
  // A message of our own is offered with the exact record.
  PostMessageA(s.saverWindow, WM_USER + 5, 0x1234, 0x56789abc);
  ASSERT_TRUE(harness::WaitUntil(
      [&] {
        for (const std::string& line : LinesStartingWith(s.log.path, "INPUT"))
          if (line == "INPUT window=" + bridge::Hex(reinterpret_cast<UINT_PTR>(s.saverWindow)) +
                          " message=405 wParam=1234 lParam=56789abc z=0,0,0 cb=28")
            return true;
        return false;
      },
      5000));

  harness::PressKey('A');  // reply 0: the ordinary rules end the saver
  DWORD code = 1;
  ASSERT_TRUE(s.Ended(10000, &code));
  EXPECT_EQ(0u, code);
  EXPECT_EQ(1u, LinesStartingWith(s.log.path, "STARTED").size());
  std::vector<std::string> ending = LinesStartingWith(s.log.path, "ENDING");
  ASSERT_EQ(1u, ending.size());
  EXPECT_EQ("ENDING wParam=" + bridge::Hex(reinterpret_cast<UINT_PTR>(s.saverWindow)) +
                " lParam=0",
            ending[0]);
  std::string keyDown =
      "INPUT window=" + bridge::Hex(reinterpret_cast<UINT_PTR>(s.saverWindow)) + " message=100 ";
  EXPECT_GE(LinesStartingWith(s.log.path, keyDown.c_str()).size(), 1u);
}

TEST(Hosting, AnswersTheApplicationsQueriesWithoutPassingThemOn) {
  HostedSaver s;
  ASSERT_TRUE(s.Start("--reply 258=77"));
  UINT whoAmI = bridge::WhoAmIMessage();
  EXPECT_EQ(1, SendMessageA(s.saverWindow, whoAmI, WHOAMI_SAVER, 0));
  EXPECT_EQ(0, SendMessageA(s.saverWindow, whoAmI, WHOAMI_APP, 0));  // never the application
  EXPECT_EQ(0, SendMessageA(s.saverWindow, whoAmI, WHOAMI_REACTIVATE, 0));
  EXPECT_EQ(0u, LinesStartingWith(s.log.path, "INPUT window=0 message=0").size());
  // WM_CHAR is not in the table: the application's reply is the result.
  EXPECT_EQ(77, SendMessageA(s.saverWindow, WM_CHAR, 'a', 0));
}

TEST(Hosting, NonzeroKeyReplySwallowsTheKeyAndCloseReplyOneKeepsTheSaver) {
  HostedSaver s;
  ASSERT_TRUE(s.Start("--reply 256=1 --reply 257=1 --reply 16=1"));
  harness::PressKey('A');
  ASSERT_TRUE(WaitForLines(s.log.path, "INPUT window", 1, 5000));
  ASSERT_TRUE(harness::WaitUntil(
      [&] {
        for (const std::string& line : LinesStartingWith(s.log.path, "INPUT"))
          if (line.find(" message=101 ") != std::string::npos) return true;
        return false;
      },
      5000));
  PostMessageA(s.saverWindow, WM_CLOSE, 0, 0);
  ASSERT_TRUE(harness::WaitUntil(
      [&] {
        for (const std::string& line : LinesStartingWith(s.log.path, "INPUT"))
          if (line.find(" message=10 ") != std::string::npos) return true;
        return false;
      },
      5000));
  // A round trip through the saver's queue: anything the key or close did has happened.
  EXPECT_EQ(1, SendMessageA(s.saverWindow, bridge::WhoAmIMessage(), WHOAMI_SAVER, 0));
  EXPECT_TRUE(s.saver.Running());
  EXPECT_TRUE(IsWindow(s.saverWindow));
}

// The cursor the system shows now (a handle of the process that set it), or null.
HCURSOR ShownCursor() {
  CURSORINFO shown;
  ZeroMemory(&shown, sizeof shown);
  shown.cbSize = sizeof shown;
  return GetCursorInfo(&shown) ? shown.hCursor : nullptr;
}

TEST(Hosting, SetCursorReplyNamesASystemCursorOrTheSaversHand) {
  HMODULE saverModule =
      LoadLibraryExA(harness::BinPath("nvrss32.scr").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
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
    if (id == 0) {
      EXPECT_EQ(nullptr, ShownCursor()) << "reply 0 takes the saver's rule: no cursor";
    } else {
      EXPECT_EQ(0, result) << "reply " << id;
      EXPECT_NE(nullptr, ShownCursor()) << "reply " << id;
    }
  }
}

TEST(Hosting, ReactivateRequestHandsActivationToTheApplicationAtTheEnd) {
  HostedSaver s;
  // A window of the test that was in front before the saver.
  HWND front = CreateWindowExA(0, "STATIC", "front", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                               nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, front);
  ASSERT_TRUE(s.Start());
  SetForegroundWindow(front);
  SetForegroundWindow(s.saverWindow);
  EXPECT_EQ(0, SendMessageA(s.saverWindow, bridge::WhoAmIMessage(), WHOAMI_REACTIVATE, 0));
  PostMessageA(s.saverWindow, WM_CLOSE, 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(s.Ended(10000, &code));
  EXPECT_TRUE(harness::WaitUntil([&] { return GetForegroundWindow() == s.appWindow; }, 3000))
      << "foreground " << GetForegroundWindow() << ", application " << s.appWindow << ", front " << front;
  DestroyWindow(front);
}

TEST(Hosting, CloseReplyTwoLetsTheSaverClose) {
  HostedSaver s;
  ASSERT_TRUE(s.Start("--reply 16=2"));
  PostMessageA(s.saverWindow, WM_CLOSE, 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(s.Ended(10000, &code));
  EXPECT_EQ(0u, code);
  EXPECT_EQ(1u, LinesStartingWith(s.log.path, "ENDING").size());
}

TEST(Hosting, PaletteIsAskedOnceAtTheFirstPaint) {
  HostedSaver s;
  ASSERT_TRUE(s.Start("--palette"));
  InvalidateRect(s.saverWindow, nullptr, TRUE);
  UpdateWindow(s.saverWindow);
  EXPECT_EQ(1, SendMessageA(s.saverWindow, bridge::WhoAmIMessage(), WHOAMI_SAVER, 0));
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
  bridge::TempFile logA("sra"), logB("srb"), log1("sr1"), log3("sr3"), logWide("srw");
  harness::Child a, b, one, three, wide;
  HWND windowA = bridge::StartStandIn(a, logA.path);
  HWND windowB = bridge::StartStandIn(b, logB.path);
  // Started last, so that they come first in the enumeration.
  HWND window1 = bridge::StartStandIn(one, log1.path, "--whoami 1");
  HWND window3 = bridge::StartStandIn(three, log3.path, "--whoami 3");
  HWND windowWide = bridge::StartStandIn(wide, logWide.path, "--whoami 0x10002");
  ASSERT_TRUE(windowA && windowB && window1 && window3 && windowWide);
  size_t first = std::min(EnumerationIndex(windowA), EnumerationIndex(windowB));
  EXPECT_LT(EnumerationIndex(window1), first);
  EXPECT_LT(EnumerationIndex(windowWide), first);
  bridge::TempFile& winner = EnumerationIndex(windowA) < EnumerationIndex(windowB) ? logA : logB;
  bridge::TempFile& loser = &winner == &logA ? logB : logA;

  harness::Child saver;
  ASSERT_TRUE(bridge::StartSaver(saver));
  ASSERT_TRUE(WaitForLines(winner.path, "STARTED", 1, 10000));
  EXPECT_EQ(1, SendMessageA(bridge::WaitForSaverWindow(saver), bridge::WhoAmIMessage(),
                            WHOAMI_SAVER, 0));
  for (bridge::TempFile* other : {&loser, &log1, &log3, &logWide}) {
    EXPECT_EQ(0u, LinesStartingWith(other->path, "STARTED").size()) << other->path;
    EXPECT_EQ(0u, LinesStartingWith(other->path, "INPUT").size()) << other->path;
  }
}

TEST(Search, ARunningApplicationIsUsedWithoutReadingOrLaunching) {
  bridge::TempFile launchedLog("rnl");
  bridge::ScopedAppPath path(bridge::StandInCommand(launchedLog.path));
  HostedSaver s;
  ASSERT_TRUE(s.Start());
  // The stand-in named in win.ini would have written its START line at once.
  EXPECT_EQ(0u, bridge::ReadLines(launchedLog.path).size());
}

// The saver launches the stand-in named in win.ini under the given Windows version and the
// stand-in's own record of its start-up shows which launch path ran.
std::string LaunchUnder(const char* version, bridge::TempFile& log) {
  harness::ScopedWineVersion scoped(version);
  bridge::ScopedAppPath path(bridge::StandInCommand(log.path, "--title launched"));
  harness::Child saver;
  if (!bridge::StartSaver(saver)) return "saver did not start";
  bool started = WaitForLines(log.path, "STARTED", 1, 15000);
  std::vector<std::string> startup = LinesStartingWith(log.path, "STARTUPINFO");
  std::vector<std::string> start = LinesStartingWith(log.path, "START ");
  bridge::EndLaunchedStandIns();
  if (!started || startup.empty() || start.empty()) return "no start recorded";
  return start[0] + "|" + startup[0];
}

TEST(Launch, WindowsNtPathUsesCreateProcessWithoutShowFlag) {
  bridge::TempFile log("lnt");
  std::string got = LaunchUnder("nt40", log);
  EXPECT_NE(std::string::npos, got.find("--title launched|")) << got;  // arguments passed on
  EXPECT_NE(std::string::npos, got.find("STARTUPINFO flags=0 ")) << got;
  EXPECT_NE(std::string::npos, got.find("desktop=WinSta0\\Default")) << got;
}

TEST(Launch, OtherSystemsUseWinExecMinimisedWithoutActivation) {
  bridge::TempFile log("l95");
  std::string got = LaunchUnder("win95", log);
  EXPECT_NE(std::string::npos, got.find("--title launched|")) << got;
  EXPECT_NE(std::string::npos, got.find("STARTUPINFO flags=1 show=7 ")) << got;
}

TEST(Launch, MissingProgramEndsTheSaverAtOnce) {
  for (const char* version : {"nt40", "win95"}) {
    harness::ScopedWineVersion scoped(version);
    bridge::ScopedAppPath path("c:\\nowhere\\missing-nvr.exe");
    harness::Child saver;
    ASSERT_TRUE(bridge::StartSaver(saver));
    DWORD code = 1;
    ASSERT_TRUE(saver.WaitExit(5000, &code)) << version;
    EXPECT_EQ(0u, code) << version;
    EXPECT_EQ(nullptr, bridge::FindSaverWindow(saver.Pid())) << version;
  }
}

DWORD CpuMs(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  ULONGLONG sum = (static_cast<ULONGLONG>(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
                  (static_cast<ULONGLONG>(user.dwHighDateTime) << 32 | user.dwLowDateTime);
  return static_cast<DWORD>(sum / 10000);
}

TEST(Launch, LateApplicationIsFoundAndTheWaitCostsAlmostNoCpu) {
  bridge::TempFile log("lat");
  bridge::ScopedAppPath path(bridge::StandInCommand(log.path, "--late 5000"));
  harness::Child saver;
  ASSERT_TRUE(bridge::StartSaver(saver));
  // The saver window exists while its creation waits for the application.
  ASSERT_TRUE(WaitForLines(log.path, "START ", 1, 10000));
  ASSERT_NE(nullptr, bridge::WaitForSaverWindow(saver));
  DWORD begin = GetTickCount();
  DWORD cpuBefore = CpuMs(saver.info.hProcess);
  ASSERT_TRUE(WaitForLines(log.path, "WINDOW", 1, 15000));
  DWORD wall = GetTickCount() - begin;
  DWORD cpu = CpuMs(saver.info.hProcess) - cpuBefore;
  EXPECT_TRUE(WaitForLines(log.path, "STARTED", 1, 10000));
  bridge::EndLaunchedStandIns();
  EXPECT_GE(wall, 4000u);
  EXPECT_LT(cpu * 20, wall) << "cpu " << cpu << " ms in " << wall << " ms";
}

TEST(Launch, ApplicationThatNeverAnswersEndsTheSaverAfterTwentySeconds) {
  bridge::TempFile log("lnv");
  bridge::ScopedAppPath path(bridge::StandInCommand(log.path, "--whoami 0"));
  harness::Child saver;
  ASSERT_TRUE(bridge::StartSaver(saver));
  ASSERT_TRUE(WaitForLines(log.path, "WINDOW", 1, 10000));
  DWORD launched = GetTickCount();  // the stand-in is up: the saver's wait began before this
  DWORD code = 1;
  bool ended = saver.WaitExit(30000, &code);
  DWORD waited = GetTickCount() - launched;
  bridge::EndLaunchedStandIns();
  ASSERT_TRUE(ended);
  EXPECT_EQ(0u, code);
  EXPECT_GE(waited, 17000u);
  EXPECT_LT(waited, 22000u);
  FILETIME created, exited, kernel, user;
  ASSERT_TRUE(GetProcessTimes(saver.info.hProcess, &created, &exited, &kernel, &user));
  ULONGLONG life = (static_cast<ULONGLONG>(exited.dwHighDateTime) << 32 | exited.dwLowDateTime) -
                   (static_cast<ULONGLONG>(created.dwHighDateTime) << 32 | created.dwLowDateTime);
  EXPECT_GE(life / 10000, 20000u);
  EXPECT_EQ(0u, LinesStartingWith(log.path, "STARTED").size());
}

// A parent window of the test process for the preview, pumped while the test waits.
struct PreviewParent {
  HWND window = CreateWindowExA(0, "STATIC", "preview parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                10, 10, 200, 160, nullptr, nullptr, nullptr, nullptr);
  ~PreviewParent() { DestroyWindow(window); }
};

TEST(Preview, NoSearchNoLaunchNoNoticeEveryMessagePassedOn) {
  bridge::TempFile log("prv"), launchedLog("prl");
  bridge::ScopedAppPath path(bridge::StandInCommand(launchedLog.path));
  harness::Child app;
  HWND appWindow = bridge::StartStandIn(app, log.path);
  ASSERT_NE(nullptr, appWindow);
  PreviewParent parent;
  ASSERT_NE(nullptr, parent.window);
  harness::Child saver;
  ASSERT_TRUE(harness::Start(saver, "\"" + harness::BinPath("nvrss32.scr") + "\" /p " +
                                        std::to_string(reinterpret_cast<UINT_PTR>(parent.window))));
  HWND preview = nullptr;
  ASSERT_TRUE(harness::WaitUntil(
      [&] { return (preview = FindWindowExA(parent.window, nullptr, nullptr, nullptr)); }, 10000));
  // Not recognised: no search registered the query, so the default handling answers it.
  EXPECT_EQ(0, SendMessageA(preview, bridge::WhoAmIMessage(), WHOAMI_SAVER, 0));
  PostMessageA(preview, WM_USER + 5, 1, 2);
  InvalidateRect(preview, nullptr, TRUE);
  EXPECT_EQ(0, SendMessageA(preview, WM_CHAR, 'a', 0));
  DestroyWindow(parent.window);
  DWORD code = 1;
  EXPECT_TRUE(saver.WaitExit(10000, &code));
  EXPECT_EQ(0u, bridge::ReadLines(launchedLog.path).size());
  EXPECT_EQ(0u, LinesStartingWith(log.path, "STARTED").size());
  EXPECT_EQ(0u, LinesStartingWith(log.path, "INPUT").size());
  EXPECT_EQ(0u, LinesStartingWith(log.path, "PALETTE").size());
}

TEST(Mend, HungApplicationStillLetsAKeyEndTheSaver) {
  HostedSaver s;
  ASSERT_TRUE(s.Start("--hang-after 1", "HANG"));
  // Under Wine the saver's activation can be lost while its window procedure waits for the
  // hung application during activation; the system's foreground then holds no keyboard focus
  // anywhere. Give the saver the foreground as the shell would, then press the key.
  ASSERT_TRUE(s.GiveSaverTheKeyboard());
  DWORD begin = GetTickCount();
  harness::PressKey('A');
  DWORD code = 1;
  ASSERT_TRUE(s.Ended(10000, &code)) << "still running 10 s after the key";
  EXPECT_EQ(0u, code);
  EXPECT_LT(GetTickCount() - begin, 10000u);
}

TEST(Mend, HungApplicationStillLetsTheMouseEndTheSaver) {
  HostedSaver s;
  ASSERT_TRUE(s.Start("--hang-after 1", "HANG"));
  POINT at;
  GetCursorPos(&at);
  SetCursorPos(at.x + 40, at.y + 40);
  DWORD code = 1;
  ASSERT_TRUE(s.Ended(10000, &code)) << "still running 10 s after the movement";
  EXPECT_EQ(0u, code);
}

TEST(Mend, AnotherHungWindowDoesNotStopTheSearch) {
  bridge::TempFile log("mhw");
  harness::Child app;
  ASSERT_NE(nullptr, bridge::StartStandIn(app, log.path));
  bridge::HungWindow hung;  // created after the application: probed before it
  ASSERT_NE(nullptr, hung.window());
  harness::Child saver;
  ASSERT_TRUE(bridge::StartSaver(saver));
  EXPECT_TRUE(WaitForLines(log.path, "STARTED", 1, 15000));
}

TEST(Mend, CrashingApplicationLeavesTheSaverDismissable) {
  HostedSaver s;
  ASSERT_TRUE(s.Start("--crash-after 3", "CRASH"));
  ASSERT_TRUE(harness::WaitUntil([&] { return !s.app.Running(); }, 10000));
  EXPECT_TRUE(s.saver.Running());
  // A crashing program's windows go away with it, and under Wine the activation that leaves with
  // them need not come back to the saver by itself; the shell would bring it forward.
  ASSERT_TRUE(s.GiveSaverTheKeyboard());
  harness::PressKey('A');
  DWORD code = 1;
  ASSERT_TRUE(s.Ended(10000, &code));
  EXPECT_EQ(0u, code);
}

}  // namespace

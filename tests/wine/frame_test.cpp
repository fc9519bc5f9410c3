// The saver window as the system and the user meet it: its shapes, the single-instance rule,
// the commands it refuses, and dismissal by real input.
#include <gtest/gtest.h>

#include "harness.h"

namespace {

using namespace harness;

const int START_X = 500, START_Y = 400;

LONG Style(HWND window) { return static_cast<LONG>(GetWindowLongPtrA(window, GWL_STYLE)); }
LONG ExStyle(HWND window) { return static_cast<LONG>(GetWindowLongPtrA(window, GWL_EXSTYLE)); }

std::string TitleOf(HWND window) {
  char text[64] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

TEST(FullScreen, CoversThePrimaryScreenTopmostWithTheCursorHidden) {
  SaverBed saver(false);
  ASSERT_TRUE(saver.Start(START_X, START_Y));
  HWND window = saver.run.window;
  EXPECT_EQ(window, FindProcessWindow(saver.run.saver.Pid(), SAVER_CLASS, "Screen Saver"));
  EXPECT_EQ(static_cast<LONG>(0x96000000), Style(window)) << std::hex << Style(window);
  EXPECT_NE(0, ExStyle(window) & WS_EX_TOPMOST) << std::hex << ExStyle(window);
  RECT rect;
  GetWindowRect(window, &rect);
  RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  EXPECT_TRUE(EqualRect(&screen, &rect)) << rect.left << "," << rect.top << " " << rect.right
                                         << "," << rect.bottom;
  HCURSOR shown = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return GetShownCursor(&shown) && !shown; }, 5000))
      << "cursor " << shown << " still shown (or the system did not say)";
  EXPECT_EQ(0u, RunningState()) << "touched without password protection";
  PressKey(VK_SPACE);
  EXPECT_EQ(0u, saver.run.Exit());
}

// How often the saver window was activated, from the messages it offered the stand-in.
size_t Activations(const FullScreen& run) {
  return CountLinesWith(run.appLog.path, "INPUT window=", " message=6 wParam=1 ") +
         CountLinesWith(run.appLog.path, "INPUT window=", " message=6 wParam=2 ");
}

TEST(FullScreen, SecondStartBringsTheFirstForwardAndTouchesNothing) {
  SaverBed first(true);
  ASSERT_TRUE(first.Start(START_X, START_Y));
  ASSERT_EQ(1u, first.module.Lines("LOAD").size());
  ASSERT_EQ(1u, RunningState());
  // Something else in front, so that bringing the saver forward can be seen.
  TestWindow other("other", 50, 50, WS_POPUP | WS_VISIBLE, nullptr, 0, 0);
  SetWindowPos(other.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ASSERT_TRUE(MakeForeground(other.Handle()));

  size_t activatedBefore = Activations(first.run);
  EXPECT_EQ(0u, harness::Run(Quoted(first.folder.saver) + " /s"));
  // Brought forward: the window is activated again. Without a window manager the activation
  // may not last, so the saver's own record of it (its messages as the application sees them)
  // is what counts, not who is in front a moment later.
  EXPECT_TRUE(WaitUntil([&] { return Activations(first.run) > activatedBefore; }, 5000))
      << "not brought forward";
  EXPECT_EQ(1u, first.module.Lines("LOAD").size()) << "the second start loaded the module";
  EXPECT_EQ(1u, RunningState()) << "the second start switched the running state off";

  if (HasKeyboard(first.run.window)) {
    PressKey(VK_SPACE);
  } else {
    KNOWN_DEVIATION("without a window manager the activation of a window brought forward by "
                    "another process does not last once that process ends; close posted");
    PostMessageA(first.run.window, WM_CLOSE, 0, 0);
  }
  EXPECT_TRUE(first.module.WaitPrompt());
  first.module.Accept();
  EXPECT_EQ(0u, first.run.Exit());
  EXPECT_EQ(0u, RunningState());
  // The other window goes only now: destroying this thread's active window would hand the
  // activation elsewhere.
}

TEST(FullScreen, RefusesWindowSwitchAndSaverStartButNotClose) {
  SaverBed saver(false);
  ASSERT_TRUE(saver.Start(START_X, START_Y));
  HWND window = saver.run.window;
  // Refused commands stop at the window and never reach the application; a command that
  // differs in its low four bits is another command and goes on.
  for (WPARAM command : {SC_SCREENSAVE, SC_NEXTWINDOW, SC_PREVWINDOW, SC_NEXTWINDOW + 1}) {
    DWORD_PTR result = 99;
    EXPECT_TRUE(SendMessageTimeoutA(window, WM_SYSCOMMAND, command, 0, SMTO_ABORTIFHUNG, 5000,
                                    &result));
    EXPECT_EQ(0u, result) << std::hex << command;
  }
  EXPECT_EQ(1u, CountLinesWith(saver.run.appLog.path, "INPUT window=", " message=112 "))
      << "forwarded system commands";
  EXPECT_EQ(1u, CountLinesWith(saver.run.appLog.path, "INPUT window=", " message=112 wParam=f041 "));
  // The title stays, whoever asks.
  DWORD_PTR result = 99;
  EXPECT_TRUE(SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Changed"),
                                  SMTO_ABORTIFHUNG, 5000, &result));
  EXPECT_EQ(0u, result);
  SetWindowTextA(window, "Changed again");
  EXPECT_EQ("Screen Saver", TitleOf(window));
  // A close command is passed on, and without a password it closes.
  PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(0u, saver.run.Exit());
}

// What the preview forwarded to its parent, recorded by the parent's procedure.
struct Forwarded {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
} forwarded;

LRESULT CALLBACK RecordingParent(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_HELP || message == WM_CONTEXTMENU) {
    forwarded = {message, wParam, lParam};
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// A parent of this process for a preview, which it records.
struct PreviewRun {
  TestWindow parent;
  Child child;
  HWND preview = nullptr;
  PreviewRun(int width, int height, const std::string& saver)
      : parent("Display", width, height, WS_POPUP | WS_VISIBLE, RecordingParent) {
    forwarded = {0, 0, 0};
    // The preview is visible once its creation is complete.
    if (StartSaver(child, "/p " + parent.Number(), saver))
      WaitUntil([&] {
        preview = FindChildWindow(parent.Handle(), child.Pid(), SAVER_CLASS);
        return preview && IsWindowVisible(preview);
      }, 10000);
  }
  // Posts a context-menu request to the preview and waits until it comes back to the parent.
  bool RoundTrip(LPARAM mark) {
    forwarded.message = 0;
    PostMessageA(preview, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(preview), mark);
    return WaitUntil([&] { return forwarded.message == WM_CONTEXTMENU && forwarded.lParam == mark; },
                     5000);
  }
  DWORD End() {
    DestroyWindow(parent.Handle());
    return ExitCode(child);
  }
};

TEST(Preview, FillsTheParentAndNeverClosesByInput) {
  SaverBed bed(true);
  PreviewRun run(152, 112, bed.folder.saver);
  ASSERT_TRUE(run.preview);
  HWND preview = run.preview;
  EXPECT_EQ("Preview", TitleOf(preview));
  EXPECT_EQ(static_cast<LONG>(0x52000000), Style(preview)) << std::hex << Style(preview);
  EXPECT_EQ(0, ExStyle(preview) & WS_EX_TOPMOST);
  RECT rect, expected = {100, 100, 252, 212};
  GetWindowRect(preview, &rect);
  EXPECT_TRUE(EqualRect(&expected, &rect)) << rect.left << "," << rect.top << " " << rect.right
                                           << "," << rect.bottom;
  EXPECT_TRUE(bed.module.Lines("LOAD").empty()) << "a preview loaded the password module";
  EXPECT_EQ(0u, RunningState());

  // Help and the context menu go to the parent, with the parent as wParam.
  ASSERT_TRUE(run.RoundTrip(MAKELPARAM(7, 9)));
  EXPECT_EQ(reinterpret_cast<WPARAM>(run.parent.Handle()), forwarded.wParam);

  // Input that would end a full-screen saver: real mouse input over the preview, keys posted.
  ASSERT_TRUE(MoveCursor(150, 150));
  ASSERT_TRUE(MoveCursor(190, 190));
  Click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
  Click(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
  PostMessageA(preview, WM_KEYDOWN, 'K', 0);
  PostMessageA(preview, WM_SYSKEYDOWN, 'K', 0x20000000);
  PostMessageA(preview, WM_MBUTTONDOWN, 0, 0);
  // Two round trips: a close request posted by the input would be handled before the second.
  ASSERT_TRUE(run.RoundTrip(1));
  ASSERT_TRUE(run.RoundTrip(2));
  EXPECT_TRUE(IsWindow(preview));
  EXPECT_TRUE(bed.module.Lines("PROMPT").empty());
  EXPECT_EQ(0u, run.End());
}

TEST(Preview, HelpReachesTheParent) {
  PreviewRun run(80, 60, SaverPath());
  ASSERT_TRUE(run.preview);
  HELPINFO help;
  ZeroMemory(&help, sizeof help);
  help.cbSize = sizeof help;
  help.iContextType = HELPINFO_WINDOW;
  help.hItemHandle = run.preview;
  DWORD_PTR result = 0;
  EXPECT_TRUE(SendMessageTimeoutA(run.preview, WM_HELP, 0, reinterpret_cast<LPARAM>(&help),
                                  SMTO_ABORTIFHUNG, 5000, &result));
  EXPECT_EQ(1u, result);
  EXPECT_TRUE(WaitUntil([] { return forwarded.message == WM_HELP; }, 5000));
  EXPECT_EQ(reinterpret_cast<WPARAM>(run.parent.Handle()), forwarded.wParam);
  EXPECT_EQ(0u, run.End());
}

TEST(Preview, EmptyParentGivesAnEmptyWindowAndNoSearchForASaver) {
  SaverBed fullScreen(false);
  ASSERT_TRUE(fullScreen.Start(START_X, START_Y));
  PreviewRun run(0, 0, fullScreen.folder.saver);
  ASSERT_TRUE(run.preview) << "a running full-screen saver kept the preview from starting";
  RECT rect;
  GetClientRect(run.preview, &rect);
  EXPECT_EQ(0, rect.right);
  EXPECT_EQ(0, rect.bottom);
  EXPECT_EQ(0u, run.End());
  EXPECT_TRUE(fullScreen.run.saver.Running());
  PostMessageA(fullScreen.run.window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, fullScreen.run.Exit());
}

// Cursor moves from the start point, in steps, and whether they close the saver.
TEST(Dismissal, MovesOfFivePixelsCloseAndOfFourDoNot) {
  struct Case {
    const char* what;
    std::vector<POINT> steps;  // offsets from the start
    bool closes;
  } cases[] = {
      {"one move of 3 + 2", {{3, 2}}, true},
      {"one move of 2 + 2", {{2, 2}}, false},
      {"four one-pixel moves", {{1, 0}, {2, 0}, {3, 0}, {4, 0}}, false},
      {"five one-pixel moves", {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SaverBed saver(true);
    ASSERT_TRUE(saver.Start(START_X, START_Y));
    for (POINT step : c.steps) ASSERT_TRUE(MoveCursor(START_X + step.x, START_Y + step.y));
    EXPECT_EQ(c.closes, saver.CloseRequestedBeforeKey());
  }
}

TEST(Dismissal, KeyAndEachButtonPressClose) {
  struct Case {
    const char* name;
    DWORD down, up;  // mouse flags; 0 for the key
  } cases[] = {
      {"key", 0, 0},
      {"left", MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP},
      {"right", MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP},
      {"middle", MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP},
  };
  for (const Case& c : cases) {
    SaverBed saver(false);
    ASSERT_TRUE(saver.Start(START_X, START_Y)) << c.name;
    if (c.down)
      Click(c.down, c.up);
    else
      PressKey('Q');
    EXPECT_EQ(0u, saver.run.Exit()) << c.name;
  }
}

TEST(Dismissal, ReleasesCharactersAndDoubleClicksDoNotClose) {
  SaverBed saver(true);
  ASSERT_TRUE(saver.Start(START_X, START_Y));
  HWND window = saver.run.window;
  const UINT harmless[] = {WM_KEYUP,         WM_SYSKEYUP,      WM_CHAR,          WM_SYSCHAR,
                           WM_LBUTTONUP,     WM_RBUTTONUP,     WM_MBUTTONUP,     WM_LBUTTONDBLCLK,
                           WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK};
  for (UINT message : harmless) PostMessageA(window, message, 'x', 0);
  // Our own close request comes behind them; one of theirs would be handled during its prompt.
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(saver.module.WaitPrompt());
  ASSERT_TRUE(saver.RefuseAndSettle());  // and past the retry interval of the refusal
  EXPECT_FALSE(saver.module.PumpedDuringPrompt(1, WM_CLOSE)) << "a posted message made a close request";
  EXPECT_TRUE(IsWindow(window));
  // Released real input only: button and key releases without their presses.
  Click(MOUSEEVENTF_LEFTUP, MOUSEEVENTF_RIGHTUP);
  Click(MOUSEEVENTF_MIDDLEUP, MOUSEEVENTF_MIDDLEUP);
  ReleaseKey('Z');
  EXPECT_FALSE(saver.CloseRequestedBeforeKey()) << "a release made a close request";
}

// Several monitors: a move of five pixels on the second one ends the saver, as on the primary.
TEST(Monitors, MoveOnTheSecondMonitorEndsTheSaver) {
  RECT second;
  ASSERT_TRUE(SecondMonitor(&second));
  int x = (second.left + second.right) / 2, y = (second.top + second.bottom) / 2;
  SaverBed saver(false);
  ASSERT_TRUE(saver.Start(x, y));
  ASSERT_TRUE(MoveCursor(x + 3, y + 2));
  EXPECT_EQ(0u, saver.run.Exit());
}

}  // namespace

// The system's password check as the saver asks it: through the password-module double, whose
// prompt the test holds open, refuses or accepts.
#include <gtest/gtest.h>

#include "harness.h"

namespace {

using namespace harness;

const int START_X = 420, START_Y = 300;

TEST(Password, RefusalKeepsTheSaverAndAcceptanceEndsIt) {
  // The hand moves two pixels while the prompt is up: from there, not from the start, the mouse
  // must move anew after a refusal.
  ScopedEnv nudge("NVR_PASSWORD_NUDGE", "2 0");
  SaverBed saver(true);
  ASSERT_EQ(0u, RunningState());
  ASSERT_TRUE(saver.Start(START_X, START_Y));
  EXPECT_EQ(1u, RunningState());
  PressKey('K');
  ASSERT_TRUE(saver.module.WaitPrompt());
  std::vector<std::string> prompts = saver.module.Lines("PROMPT");
  ASSERT_EQ(1u, prompts.size());
  EXPECT_EQ("PROMPT window=" + Hex(saver.run.window) + " running=1", prompts[0]);
  EXPECT_EQ(1u, RunningState());

  // A close request during the prompt is refused at once, without a second prompt.
  PostMessageA(saver.run.window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return saver.module.PumpedDuringPrompt(1, WM_CLOSE); }, 5000));
  EXPECT_EQ(1u, saver.module.Lines("PROMPT").size());
  EXPECT_TRUE(IsWindow(saver.run.window));

  ASSERT_TRUE(saver.RefuseAndSettle());
  EXPECT_TRUE(IsWindow(saver.run.window));
  HCURSOR shown = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return GetShownCursor(&shown) && !shown; }, 5000))
      << "the cursor stayed visible after the refusal (or the system did not say)";

  // The move is taken from where the system reports the cursor now, which must be where the
  // nudge left it, or the test could not tell a reset point from the start.
  POINT at = {0, 0};
  ASSERT_TRUE(GetCursorPos(&at));
  ASSERT_EQ(START_X + 2, at.x) << "the nudge during the prompt did not hold";
  // Three more pixels: five from the start, but only three from where the refusal left it.
  ASSERT_TRUE(MoveCursor(at.x + 3, at.y));
  EXPECT_FALSE(saver.CloseRequestedBeforeKey())
      << "the movement closed: the refusal did not reset the remembered point";
  EXPECT_EQ(0u, RunningState());
}

TEST(Password, SecurityBarNothingButAnApprovalCloses) {
  SaverBed saver(true);
  ASSERT_TRUE(saver.Start(START_X, START_Y));
  HWND window = saver.run.window;
  struct Attack {
    const char* name;
    void (*act)(HWND);
  } attacks[] = {
      {"key", [](HWND) { PressKey('A'); }},
      {"Alt+F4", [](HWND) { PressKeys({VK_MENU, VK_F4}); }},
      {"left button", [](HWND) { Click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP); }},
      {"right button", [](HWND) { Click(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP); }},
      {"middle button", [](HWND) { Click(MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP); }},
      {"movement", [](HWND) { MoveCursor(START_X + 40, START_Y + 30); }},
      {"WM_CLOSE from another process", [](HWND w) { PostMessageA(w, WM_CLOSE, 0, 0); }},
      {"SC_CLOSE", [](HWND w) { PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const Attack& attack : attacks) {
    attack.act(window);
    ASSERT_TRUE(saver.module.WaitPrompt()) << attack.name << " made no close request";
    ASSERT_TRUE(saver.RefuseAndSettle()) << attack.name;
    EXPECT_TRUE(IsWindow(window)) << attack.name << " closed the saver";
    EXPECT_TRUE(saver.run.saver.Running()) << attack.name;
  }
  EXPECT_EQ(1u, RunningState());
  PressKey(VK_SPACE);
  ASSERT_TRUE(saver.module.WaitPrompt());
  saver.module.Accept();
  EXPECT_EQ(0u, saver.run.Exit());
  EXPECT_EQ(0u, RunningState());
}

TEST(Password, OffOrUnavailableMeansNoPromptAndNoRunningState) {
  // Protection off with the module beside the saver, and on with no module to load.
  for (bool on : {false, true}) {
    SCOPED_TRACE(on ? "on, no module" : "off, module present");
    SaverBed saver(on, !on);
    ASSERT_TRUE(saver.Start(START_X, START_Y));
    EXPECT_EQ(0u, RunningState());
    PressKey('K');
    EXPECT_EQ(0u, saver.run.Exit());
    EXPECT_TRUE(saver.module.Lines("LOAD").empty());
  }
}

UINT clicksOnTheSecondMonitor = 0;

LRESULT CALLBACK CountingClicks(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN || message == WM_MOUSEACTIVATE) ++clicksOnTheSecondMonitor;
  return DefWindowProcA(window, message, wParam, lParam);
}

// Several monitors: while the password is in force, a click on another program's window on the
// second monitor meets the saver and its prompt, never that window.
TEST(Monitors, PasswordKeepsTheSecondMonitorOutOfReach) {
  RECT second;
  ASSERT_TRUE(SecondMonitor(&second));
  clicksOnTheSecondMonitor = 0;
  TestWindow other("on the second monitor", 200, 150, WS_POPUP | WS_VISIBLE, CountingClicks,
                   second.left + 100, second.top + 100);
  POINT inside = {second.left + 200, second.top + 175};
  SaverBed saver(true);
  ASSERT_TRUE(saver.Start(inside.x, inside.y));
  EXPECT_EQ(saver.run.window, WindowFromPoint(inside));
  Click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(saver.module.WaitPrompt()) << "the click on the second monitor made no close request";
  ASSERT_TRUE(saver.RefuseAndSettle());
  EXPECT_TRUE(IsWindow(saver.run.window));
  EXPECT_EQ(0u, clicksOnTheSecondMonitor) << "the window on the second monitor was reached";
  PressKey(VK_SPACE);
  ASSERT_TRUE(saver.module.WaitPrompt());
  saver.module.Accept();
  EXPECT_EQ(0u, saver.run.Exit());
}

}  // namespace

// The system's password check as the saver asks it: through the password-module double, whose
// prompt the test holds open, refuses or accepts.
#include <gtest/gtest.h>

#include <cstdio>

#include "frame_support.h"

namespace {

const int START_X = 420, START_Y = 300;

struct ProtectedSaver {
  frame::SaverFolder folder{true};
  frame::PasswordSwitch on{1};
  frame::RunningStateReset reset;
  frame::PasswordModule module;
  frame::FullScreen run;
  size_t answers = 0;

  bool Start() { return frame::MoveCursor(START_X, START_Y) && run.Start(folder.saver); }

  // Refuses the prompt that is up, waits until the saver has its answer and then until the
  // retry interval has passed, so that the next close request prompts again.
  bool RefuseAndSettle() {
    module.Refuse();
    if (!module.WaitAnswers(++answers)) return false;
    frame::WaitTicks(GetTickCount(), 300);
    return true;
  }
};

std::string Hex(HWND window) {
  char text[32];
  snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
  return text;
}

TEST(Password, RefusalKeepsTheSaverAndAcceptanceEndsIt) {
  ProtectedSaver saver;
  ASSERT_EQ(0u, frame::RunningState());
  ASSERT_TRUE(saver.Start());
  EXPECT_EQ(1u, frame::RunningState());
  // Two pixels that count towards the next movement unless a refusal resets the point.
  ASSERT_TRUE(frame::MoveCursor(START_X + 2, START_Y));
  harness::PressKey('K');
  ASSERT_TRUE(saver.module.WaitPrompt());
  std::vector<std::string> prompts = saver.module.Lines("PROMPT");
  ASSERT_EQ(1u, prompts.size());
  EXPECT_EQ("PROMPT window=" + Hex(saver.run.window) + " running=1", prompts[0]);
  EXPECT_EQ(1u, frame::RunningState());

  // A close request during the prompt is refused at once, without a second prompt.
  PostMessageA(saver.run.window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(harness::WaitUntil([&] { return saver.module.PumpedDuringPrompt(1, WM_CLOSE); },
                                 5000));
  EXPECT_EQ(1u, saver.module.Lines("PROMPT").size());
  EXPECT_TRUE(IsWindow(saver.run.window));

  ASSERT_TRUE(saver.RefuseAndSettle());
  EXPECT_TRUE(IsWindow(saver.run.window));
  EXPECT_TRUE(harness::WaitUntil([] { return !frame::CursorShowing(); }, 5000))
      << "the cursor stayed visible after the refusal";

  // Three more pixels: five from the start, but only three from where the refusal left it.
  ASSERT_TRUE(frame::MoveCursor(START_X + 5, START_Y));
  harness::PressKey('K');
  ASSERT_TRUE(saver.module.WaitPrompt());
  EXPECT_FALSE(saver.module.PumpedDuringPrompt(2, WM_KEYDOWN))
      << "the movement closed: the refusal did not reset the remembered point";
  saver.module.Accept();
  EXPECT_EQ(0u, saver.run.Exit());
  EXPECT_EQ(0u, frame::RunningState());
}

TEST(Password, SecurityBarNothingButAnApprovalCloses) {
  ProtectedSaver saver;
  ASSERT_TRUE(saver.Start());
  HWND window = saver.run.window;
  struct Attack {
    const char* name;
    void (*act)(HWND);
  } attacks[] = {
      {"key", [](HWND) { harness::PressKey('A'); }},
      {"Alt+F4", [](HWND) { harness::PressKeys({VK_MENU, VK_F4}); }},
      {"left button", [](HWND) { frame::Click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP); }},
      {"right button", [](HWND) { frame::Click(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP); }},
      {"middle button", [](HWND) { frame::Click(MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP); }},
      {"movement", [](HWND) { frame::MoveCursor(START_X + 40, START_Y + 30); }},
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
  EXPECT_EQ(1u, frame::RunningState());
  harness::PressKey(VK_SPACE);
  ASSERT_TRUE(saver.module.WaitPrompt());
  saver.module.Accept();
  EXPECT_EQ(0u, saver.run.Exit());
  EXPECT_EQ(0u, frame::RunningState());
}

TEST(Password, OffOrUnavailableMeansNoPromptAndNoRunningState) {
  {
    // Protection off: the module beside the saver is never loaded.
    frame::SaverFolder folder(true);
    frame::PasswordSwitch off(0);
    frame::PasswordModule module;
    frame::FullScreen run;
    ASSERT_TRUE(run.Start(folder.saver));
    EXPECT_EQ(0u, frame::RunningState());
    harness::PressKey('K');
    EXPECT_EQ(0u, run.Exit());
    EXPECT_TRUE(module.Lines("LOAD").empty());
  }
  // Protection on, but no module to load: the saver runs without a password.
  frame::SaverFolder folder(false);
  frame::PasswordSwitch on(1);
  frame::RunningStateReset reset;
  frame::FullScreen run;
  ASSERT_TRUE(run.Start(folder.saver));
  EXPECT_EQ(0u, frame::RunningState());
  harness::PressKey('K');
  EXPECT_EQ(0u, run.Exit());
}

}  // namespace

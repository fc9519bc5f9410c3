// The saver window as the system and the user meet it: its shapes, the single-instance rule,
// the commands it refuses, and dismissal by real input.
#include <gtest/gtest.h>

#include "frame_support.h"

namespace {

using frame::FullScreen;
using frame::SAVER_CLASS;

const int START_X = 500, START_Y = 400;

LONG Style(HWND window) { return static_cast<LONG>(GetWindowLongPtrA(window, GWL_STYLE)); }
LONG ExStyle(HWND window) { return static_cast<LONG>(GetWindowLongPtrA(window, GWL_EXSTYLE)); }

std::string ClassOf(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TitleOf(HWND window) {
  char text[64] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// A saver without password protection, the cursor parked at a known point before it starts.
struct PlainSaver {
  frame::SaverFolder folder{false};
  frame::PasswordSwitch off{0};
  FullScreen run;
  bool Start() { return frame::MoveCursor(START_X, START_Y) && run.Start(folder.saver); }
};

// A saver whose password prompt the test holds open. The first close request starts a prompt;
// input that arrived behind it is dispatched by the prompt and logged, so a close request made
// by input X shows as the barrier key's WM_KEYDOWN being seen during the prompt.
struct WatchedSaver {
  frame::SaverFolder folder{true};
  frame::PasswordSwitch on{1};
  frame::RunningStateReset reset;
  frame::PasswordModule module;
  FullScreen run;
  bool Start() { return frame::MoveCursor(START_X, START_Y) && run.Start(folder.saver); }
  // Presses the barrier key and tells whether a close request came before it.
  bool CloseRequestedBeforeKey() {
    frame::PressKey('B');
    EXPECT_TRUE(module.WaitPrompt()) << "the barrier key made no close request";
    bool before = module.PumpedDuringPrompt(1, WM_KEYDOWN);
    module.Accept();
    EXPECT_EQ(0u, run.Exit());
    return before;
  }
};

TEST(FullScreen, CoversThePrimaryScreenTopmostWithTheCursorHidden) {
  PlainSaver saver;
  ASSERT_TRUE(saver.Start());
  HWND window = saver.run.window;
  EXPECT_EQ(SAVER_CLASS, ClassOf(window));
  EXPECT_EQ("Screen Saver", TitleOf(window));
  EXPECT_EQ(static_cast<LONG>(0x96000000), Style(window)) << std::hex << Style(window);
  EXPECT_NE(0, ExStyle(window) & WS_EX_TOPMOST) << std::hex << ExStyle(window);
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_EQ(0, rect.left);
  EXPECT_EQ(0, rect.top);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), rect.right);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), rect.bottom);
  EXPECT_TRUE(harness::WaitUntil([] { return !frame::CursorShowing(); }, 5000));
  EXPECT_EQ(0u, frame::RunningState()) << "touched without password protection";
  frame::PressKey(VK_SPACE);
  EXPECT_EQ(0u, saver.run.Exit());
}

}  // namespace

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
    harness::PressKey('B');
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
  harness::PressKey(VK_SPACE);
  EXPECT_EQ(0u, saver.run.Exit());
}

// How often the saver window was activated, from the messages it offered the stand-in.
size_t Activations(const FullScreen& run) {
  size_t count = 0;
  for (const std::string& line : bridge::LinesStartingWith(run.appLog.path, "INPUT window="))
    if (line.find(" message=6 wParam=1 ") != std::string::npos ||
        line.find(" message=6 wParam=2 ") != std::string::npos)
      ++count;
  return count;
}

TEST(FullScreen, SecondStartBringsTheFirstForwardAndTouchesNothing) {
  WatchedSaver first;
  ASSERT_TRUE(first.Start());
  ASSERT_EQ(1u, first.module.Lines("LOAD").size());
  ASSERT_EQ(1u, frame::RunningState());
  // Something else in front, so that bringing the saver forward can be seen.
  HWND other = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50,
                               50, nullptr, nullptr, nullptr, nullptr);
  SetForegroundWindow(other);
  ASSERT_TRUE(harness::WaitUntil([&] { return GetForegroundWindow() == other; }, 5000));

  size_t activatedBefore = Activations(first.run);
  EXPECT_EQ(0u, harness::Run("\"" + first.folder.saver + "\" /s"));
  // Brought forward: the window is activated again. Without a window manager the activation
  // may not last, so the saver's own record of it (its messages as the application sees them)
  // is what counts, not who is in front a moment later.
  EXPECT_TRUE(harness::WaitUntil([&] { return Activations(first.run) > activatedBefore; }, 5000))
      << "not brought forward";
  EXPECT_EQ(1u, first.module.Lines("LOAD").size()) << "the second start loaded the module";
  EXPECT_EQ(1u, frame::RunningState()) << "the second start switched the running state off";

  // Under Xvfb without a window manager the activation does not always last once the second
  // process is gone, so the close request is posted rather than typed.
  PostMessageA(first.run.window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(first.module.WaitPrompt());
  first.module.Accept();
  EXPECT_EQ(0u, first.run.Exit());
  EXPECT_EQ(0u, frame::RunningState());
  // Only now: destroying this thread's active window would hand the activation elsewhere.
  DestroyWindow(other);
}

TEST(FullScreen, RefusesWindowSwitchAndSaverStartButNotClose) {
  PlainSaver saver;
  ASSERT_TRUE(saver.Start());
  HWND window = saver.run.window;
  // Refused commands stop at the window and never reach the application; a command that
  // differs in its low four bits is another command and goes on.
  for (WPARAM command : {SC_SCREENSAVE, SC_NEXTWINDOW, SC_PREVWINDOW, SC_NEXTWINDOW + 1}) {
    DWORD_PTR result = 99;
    EXPECT_TRUE(SendMessageTimeoutA(window, WM_SYSCOMMAND, command, 0, SMTO_ABORTIFHUNG, 5000,
                                    &result));
    EXPECT_EQ(0u, result) << std::hex << command;
  }
  std::vector<std::string> forwarded =
      bridge::LinesStartingWith(saver.run.appLog.path, "INPUT window=");
  std::vector<std::string> commands;
  for (const std::string& line : forwarded)
    if (line.find(" message=112 ") != std::string::npos) commands.push_back(line);
  ASSERT_EQ(1u, commands.size()) << "forwarded system commands: " << commands.size();
  EXPECT_NE(std::string::npos, commands[0].find(" wParam=f041 ")) << commands[0];
  // The title stays, whoever asks.
  DWORD_PTR result = 99;
  EXPECT_TRUE(SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Changed"),
                                  SMTO_ABORTIFHUNG, 5000, &result));
  EXPECT_EQ(0u, result);
  SetWindowTextA(window, "Changed again");
  EXPECT_EQ("Screen Saver", TitleOf(window));
  EXPECT_TRUE(IsWindow(window));
  // A close command is passed on, and without a password it closes.
  PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(0u, saver.run.Exit());
}

// A parent window in this process that records what the preview forwards to it.
struct PreviewParent {
  static UINT lastMessage;
  static WPARAM lastWParam;
  static LPARAM lastLParam;
  HWND window = nullptr;

  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HELP || message == WM_CONTEXTMENU) {
      lastMessage = message;
      lastWParam = wParam;
      lastLParam = lParam;
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

  PreviewParent(int width, int height) {
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "NvrPreviewParent";
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, "NvrPreviewParent", "Display", WS_POPUP | WS_VISIBLE, 100, 100,
                             width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    lastMessage = 0;
  }
  ~PreviewParent() {
    if (IsWindow(window)) DestroyWindow(window);
  }

  std::string Command(const std::string& saver) const {
    return "\"" + saver + "\" /p " +
           std::to_string(static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
  }
  // The preview child, once it exists; this thread pumps the parent's messages meanwhile.
  HWND WaitChild() const {
    HWND child = nullptr;
    harness::WaitUntil(
        [&] {
          // Visible once its creation is complete.
          child = FindWindowExA(window, nullptr, SAVER_CLASS, nullptr);
          return child && IsWindowVisible(child);
        },
        10000);
    return child;
  }
  // Posts a context-menu request to the preview and waits until it comes back here.
  bool RoundTrip(HWND preview, LPARAM mark) {
    lastMessage = 0;
    PostMessageA(preview, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(preview), mark);
    return harness::WaitUntil([&] { return lastMessage == WM_CONTEXTMENU && lastLParam == mark; },
                              5000);
  }
};
UINT PreviewParent::lastMessage;
WPARAM PreviewParent::lastWParam;
LPARAM PreviewParent::lastLParam;

DWORD EndPreview(PreviewParent& parent, harness::Child& child) {
  DestroyWindow(parent.window);
  DWORD code = 0xDEADBEEF;
  child.WaitExit(10000, &code);
  return code;
}

TEST(Preview, FillsTheParentAndNeverClosesByInput) {
  frame::SaverFolder folder(true);
  frame::PasswordSwitch on(1);
  frame::RunningStateReset reset;
  frame::PasswordModule module;
  PreviewParent parent(152, 112);
  harness::Child child;
  ASSERT_TRUE(harness::Start(child, parent.Command(folder.saver)));
  HWND preview = parent.WaitChild();
  ASSERT_TRUE(preview);
  EXPECT_EQ("Preview", TitleOf(preview));
  EXPECT_EQ(static_cast<LONG>(0x52000000), Style(preview)) << std::hex << Style(preview);
  EXPECT_EQ(0, ExStyle(preview) & WS_EX_TOPMOST);
  RECT rect;
  GetWindowRect(preview, &rect);
  EXPECT_EQ(100, rect.left);
  EXPECT_EQ(100, rect.top);
  EXPECT_EQ(152, rect.right - rect.left);
  EXPECT_EQ(112, rect.bottom - rect.top);
  EXPECT_TRUE(module.Lines("LOAD").empty()) << "a preview loaded the password module";
  EXPECT_EQ(0u, frame::RunningState());

  // Help and the context menu go to the parent, with the parent as wParam.
  ASSERT_TRUE(parent.RoundTrip(preview, MAKELPARAM(7, 9)));
  EXPECT_EQ(reinterpret_cast<WPARAM>(parent.window), PreviewParent::lastWParam);

  // Input that would end a full-screen saver: real mouse input over the preview, keys posted.
  ASSERT_TRUE(frame::MoveCursor(150, 150));
  ASSERT_TRUE(frame::MoveCursor(190, 190));
  frame::Click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
  frame::Click(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
  PostMessageA(preview, WM_KEYDOWN, 'K', 0);
  PostMessageA(preview, WM_SYSKEYDOWN, 'K', 0x20000000);
  PostMessageA(preview, WM_MBUTTONDOWN, 0, 0);
  // Two round trips: a close request posted by the input would be handled before the second.
  ASSERT_TRUE(parent.RoundTrip(preview, 1));
  ASSERT_TRUE(parent.RoundTrip(preview, 2));
  EXPECT_TRUE(IsWindow(preview));
  EXPECT_TRUE(module.Lines("PROMPT").empty());
  EXPECT_EQ(0u, EndPreview(parent, child));
}

TEST(Preview, HelpReachesTheParent) {
  frame::SaverFolder folder(false);
  PreviewParent parent(80, 60);
  harness::Child child;
  ASSERT_TRUE(harness::Start(child, parent.Command(folder.saver)));
  HWND preview = parent.WaitChild();
  ASSERT_TRUE(preview);
  HELPINFO help;
  ZeroMemory(&help, sizeof help);
  help.cbSize = sizeof help;
  help.iContextType = HELPINFO_WINDOW;
  help.hItemHandle = preview;
  DWORD_PTR result = 0;
  EXPECT_TRUE(SendMessageTimeoutA(preview, WM_HELP, 0, reinterpret_cast<LPARAM>(&help),
                                  SMTO_ABORTIFHUNG, 5000, &result));
  EXPECT_EQ(1u, result);
  EXPECT_TRUE(harness::WaitUntil([] { return PreviewParent::lastMessage == WM_HELP; }, 5000));
  EXPECT_EQ(reinterpret_cast<WPARAM>(parent.window), PreviewParent::lastWParam);
  EXPECT_EQ(0u, EndPreview(parent, child));
}

TEST(Preview, EmptyParentGivesAnEmptyWindowAndNoSearchForASaver) {
  PlainSaver fullScreen;
  ASSERT_TRUE(fullScreen.Start());
  PreviewParent parent(0, 0);
  harness::Child child;
  ASSERT_TRUE(harness::Start(child, parent.Command(fullScreen.folder.saver)));
  HWND preview = parent.WaitChild();
  ASSERT_TRUE(preview) << "a running full-screen saver kept the preview from starting";
  RECT rect;
  GetClientRect(preview, &rect);
  EXPECT_EQ(0, rect.right);
  EXPECT_EQ(0, rect.bottom);
  EXPECT_EQ(0u, EndPreview(parent, child));
  EXPECT_TRUE(fullScreen.run.saver.Running());
  PostMessageA(fullScreen.run.window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, fullScreen.run.Exit());
}

TEST(Dismissal, MoveOfFiveCloses) {
  PlainSaver saver;
  ASSERT_TRUE(saver.Start());
  ASSERT_TRUE(frame::MoveCursor(START_X + 3, START_Y + 2));
  EXPECT_EQ(0u, saver.run.Exit());
}

TEST(Dismissal, MoveOfFourDoesNotClose) {
  WatchedSaver saver;
  ASSERT_TRUE(saver.Start());
  ASSERT_TRUE(frame::MoveCursor(START_X + 2, START_Y + 2));
  EXPECT_FALSE(saver.CloseRequestedBeforeKey());
}

TEST(Dismissal, OnePixelMovesAddUpAndCloseOnTheFifth) {
  {
    WatchedSaver saver;
    ASSERT_TRUE(saver.Start());
    for (int step = 1; step <= 4; ++step) ASSERT_TRUE(frame::MoveCursor(START_X + step, START_Y));
    EXPECT_FALSE(saver.CloseRequestedBeforeKey()) << "closed within four pixels";
  }
  PlainSaver saver;
  ASSERT_TRUE(saver.Start());
  for (int step = 1; step <= 5; ++step) ASSERT_TRUE(frame::MoveCursor(START_X + step, START_Y));
  EXPECT_EQ(0u, saver.run.Exit());
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
    PlainSaver saver;
    ASSERT_TRUE(saver.Start()) << c.name;
    if (c.down)
      frame::Click(c.down, c.up);
    else
      harness::PressKey('Q');
    EXPECT_EQ(0u, saver.run.Exit()) << c.name;
  }
}

TEST(Dismissal, ReleasesCharactersAndDoubleClicksDoNotClose) {
  WatchedSaver saver;
  ASSERT_TRUE(saver.Start());
  HWND window = saver.run.window;
  const UINT harmless[] = {WM_KEYUP,         WM_SYSKEYUP,      WM_CHAR,          WM_SYSCHAR,
                           WM_LBUTTONUP,     WM_RBUTTONUP,     WM_MBUTTONUP,     WM_LBUTTONDBLCLK,
                           WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK};
  for (UINT message : harmless) PostMessageA(window, message, 'x', 0);
  // Our own close request comes behind them; one of theirs would be handled during its prompt.
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(saver.module.WaitPrompt());
  saver.module.Refuse();
  ASSERT_TRUE(saver.module.WaitAnswers(1));
  EXPECT_FALSE(saver.module.PumpedDuringPrompt(1, WM_CLOSE));
  EXPECT_TRUE(IsWindow(window));
  // Released real input only: button and key releases without their presses.
  frame::Click(MOUSEEVENTF_LEFTUP, MOUSEEVENTF_RIGHTUP);
  frame::Click(MOUSEEVENTF_MIDDLEUP, MOUSEEVENTF_MIDDLEUP);
  INPUT keyUp;
  ZeroMemory(&keyUp, sizeof keyUp);
  keyUp.type = INPUT_KEYBOARD;
  keyUp.ki.wVk = 'Z';
  keyUp.ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(1, &keyUp, sizeof keyUp);
  frame::WaitTicks(GetTickCount(), 300);  // past the retry interval of the refused prompt
  harness::PressKey('B');
  ASSERT_TRUE(saver.module.WaitPrompt());
  EXPECT_FALSE(saver.module.PumpedDuringPrompt(2, WM_KEYDOWN)) << "a release made a close request";
  saver.module.Accept();
  EXPECT_EQ(0u, saver.run.Exit());
}

}  // namespace

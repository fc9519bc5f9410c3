// The example main applications. The reference one (examples/reference_app), for what the demo
// does not show: it answers only the application's code, and while a saver window is lent it
// claims the pointer and clicks on a headline (with Alt down, when the saver's settings say so)
// and leaves keys and other clicks to the saver's rules. The minimal one (examples/minimal_app)
// with the saver; both with the plug-in are in plugin_test.cpp.
#include <gtest/gtest.h>

#include <string>

#include "common/link_protocol.h"
#include "harness.h"

namespace {

struct ReferenceApp {
  harness::Child child;
  HWND window = nullptr;
  ReferenceApp() {
    if (harness::Start(child, "\"" + harness::BinPath("nvr_reference.exe") + "\""))
      harness::WaitUntil([&] {
        return (window = harness::FindProcessWindow(child.Pid(), "NvrReferenceApp", nullptr)) != nullptr;
      }, 10000);
  }
  ~ReferenceApp() {
    if (window) PostMessageA(window, WM_CLOSE, 0, 0);
    child.WaitExit(10000, nullptr);
  }
  LRESULT Input(HWND saver, UINT message, LPARAM lParam, DWORD size = sizeof(SaverInputRecord), WPARAM wParam = 0) {
    SaverInputRecord record = {static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(saver)), message, static_cast<uint32_t>(wParam),
                               static_cast<uint32_t>(lParam), {0, 0, 0}};
    COPYDATASTRUCT data = {LM_SAVERINPUT, size, &record};
    return SendMessageA(window, WM_COPYDATA, reinterpret_cast<WPARAM>(saver), reinterpret_cast<LPARAM>(&data));
  }
};

TEST(ReferenceApp, AnswersOnlyTheApplicationsCode) {
  ReferenceApp app;
  ASSERT_TRUE(app.window);
  UINT whoAmI = RegisterWindowMessageA(QUIB_WHOAMI_NAME);
  struct Row { WPARAM code; LRESULT expected; } rows[] = {
      {0, 0}, {WHOAMI_SAVER, 0}, {WHOAMI_APP, 2}, {WHOAMI_REACTIVATE, 0}, {WHOAMI_STATUSTEXT, 0},
      {5, 0}, {0x10002, 0},
  };
  for (const Row& r : rows)
    EXPECT_EQ(r.expected, SendMessageA(app.window, whoAmI, r.code, 0)) << "code " << std::hex << r.code;
  EXPECT_NE(0, SendMessageA(app.window, LM_GETPALETTE, 0, 0)) << "no palette";
  EXPECT_EQ(0, SendMessageA(app.window, LM_QUERYENGAGED, 0, 0)) << "engaged with nothing lent";
}

TEST(ReferenceApp, ClaimsHeadlineClicksAndLeavesTheRestToTheSaver) {
  ReferenceApp app;
  ASSERT_TRUE(app.window);
  // A saver-like window of 400 x 300: the headlines' band spans 68% to 96% of its height, five
  // lines of 16 pixels from y 204.
  HWND saver = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_TRUE(saver);
  PostMessageA(app.window, LM_SAVERSTARTED, reinterpret_cast<WPARAM>(saver), GetCurrentProcessId());
  EXPECT_TRUE(harness::WaitUntil([&] { return SendMessageA(app.window, LM_QUERYENGAGED, 0, 0) != 0; }, 5000))
      << "not engaged while a saver window is lent";
  struct Row { const char* what; UINT message; int x, y; DWORD size; bool claimed; } rows[] = {
      {"key down", WM_KEYDOWN, 0, 0, sizeof(SaverInputRecord), false},
      {"key up", WM_KEYUP, 0, 0, sizeof(SaverInputRecord), false},
      {"pointer moves", WM_MOUSEMOVE, 10, 10, sizeof(SaverInputRecord), true},
      {"click on the first headline", WM_LBUTTONDOWN, 200, 212, sizeof(SaverInputRecord), true},
      {"click on the last headline", WM_LBUTTONDOWN, 100, 280, sizeof(SaverInputRecord), true},
      {"click on the clock", WM_LBUTTONDOWN, 200, 40, sizeof(SaverInputRecord), false},
      {"right click on a headline", WM_RBUTTONDOWN, 200, 212, sizeof(SaverInputRecord), false},
      {"record of the wrong size", WM_MOUSEMOVE, 10, 10, 27, false},
  };
  for (const Row& r : rows)
    EXPECT_EQ(r.claimed, app.Input(saver, r.message, MAKELPARAM(r.x, r.y), r.size) != 0) << r.what;
  // With Alt+click chosen in the saver's settings (read at the saver's start), Alt is claimed
  // and only a click with Alt down chooses a headline.
  {
    harness::ScopedControlIni altClick(std::vector<harness::Setting>{{"StopOnMouseMove", "1"}});
    // Sent, not posted: a send that follows a post may be handled first, and the setting would
    // be put back before the application read it.
    SendMessageA(app.window, LM_SAVERSTARTED, reinterpret_cast<WPARAM>(saver), GetCurrentProcessId());
  }
  struct AltRow { const char* what; UINT message; WPARAM key; bool claimed; } altRows[] = {
      {"plain click on a headline", WM_LBUTTONDOWN, 0, false},
      {"Alt down", WM_SYSKEYDOWN, VK_MENU, true},
      {"click on a headline with Alt down", WM_LBUTTONDOWN, 0, true},
      {"Alt up", WM_KEYUP, VK_MENU, true},
      {"click on a headline after Alt is up", WM_LBUTTONDOWN, 0, false},
      {"another key", WM_SYSKEYDOWN, 'X', false},
  };
  for (const AltRow& r : altRows)
    EXPECT_EQ(r.claimed, app.Input(saver, r.message, MAKELPARAM(200, 212), sizeof(SaverInputRecord), r.key) != 0) << r.what;
  EXPECT_EQ(0, app.Input(GetDesktopWindow(), WM_MOUSEMOVE, 0)) << "input of a window not lent";
  SendMessageA(app.window, LM_SAVERENDING, reinterpret_cast<WPARAM>(saver), 0);
  EXPECT_EQ(0, SendMessageA(app.window, LM_QUERYENGAGED, 0, 0)) << "still engaged after the saver ended";
  EXPECT_EQ(0, app.Input(saver, WM_MOUSEMOVE, 0)) << "input claimed after the saver ended";
  DestroyWindow(saver);
}

// The minimal application started by the saver: it draws its band into the saver window and
// answers 0 to the rest, so a key ends the saver by the saver's own rules; it keeps running.
TEST(MinimalApp, DrawsInTheSaverAndLeavesKeysToTheSaversRules) {
  harness::ScopedAppPath exe(harness::Quoted(harness::BinPath("nvr_minimal.exe")));
  harness::RunningStateReset reset;
  harness::Child saver;
  ASSERT_TRUE(harness::StartSaver(saver));
  HWND window = harness::WaitForSaverWindow(saver);
  ASSERT_TRUE(window);
  const harness::Rgb band = harness::SolidRgb(8, 8, RGB(0, 160, 80));
  EXPECT_TRUE(harness::WaitUntil([&] { return harness::ScreenRgb(20, 20, 8, 8) == band; }, 10000))
      << "no band drawn in the saver window";
  ASSERT_TRUE(harness::GiveKeyboard(window, "the saver's activation may be lost while it launches the application"));
  harness::PressKey('A');
  EXPECT_EQ(0u, harness::ExitCode(saver));
  EXPECT_TRUE(harness::FindApplication()) << "the application ended with the saver";
  harness::EndApplication();
}

}  // namespace

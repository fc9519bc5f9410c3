// The saver as host of the main application, driven from outside: the stand-in application
// records what the saver sends it, the test presses keys and sends messages to the saver window.
#include <gtest/gtest.h>

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

  bool Start(const std::string& appOptions = "") {
    appWindow = bridge::StartStandIn(app, log.path, appOptions);
    if (!appWindow || !bridge::StartSaver(saver)) return false;
    saverWindow = bridge::WaitForSaverWindow(saver);
    return saverWindow && WaitForLines(log.path, "STARTED", 1, 10000);
  }
  bool Ended(DWORD timeoutMs, DWORD* code) { return saver.WaitExit(timeoutMs, code); }
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

  bridge::PressKey('A');  // reply 0: the ordinary rules end the saver
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

}  // namespace

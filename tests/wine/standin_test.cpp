// The stand-in application itself: other tests rely on what it records and answers.
#include <gtest/gtest.h>

#include "bridge_support.h"
#include "common/link_protocol.h"

namespace {

TEST(StandIn, AnswersWhoAmIAndRecordsTheLinkMessages) {
  bridge::TempFile log("sil");
  harness::Child app;
  HWND window = bridge::StartStandIn(app, log.path, "--reply 256=7 --reply any=9 --palette");
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(2, SendMessageA(window, bridge::WhoAmIMessage(), WHOAMI_APP, 0));
  EXPECT_EQ(0, SendMessageA(window, bridge::WhoAmIMessage(), WHOAMI_SAVER, 0));

  SaverInputRecord record = {0x1234, WM_KEYDOWN, 0x41, 0x1e0001, {0, 0, 0}};
  COPYDATASTRUCT data = {LM_SAVERINPUT, sizeof record, &record};
  EXPECT_EQ(7, SendMessageA(window, WM_COPYDATA, 0x1234, reinterpret_cast<LPARAM>(&data)));
  record.message = WM_CHAR;
  EXPECT_EQ(9, SendMessageA(window, WM_COPYDATA, 0x1234, reinterpret_cast<LPARAM>(&data)));
  EXPECT_NE(0, SendMessageA(window, LM_GETPALETTE, 0, 0));
  PostMessageA(window, LM_SAVERSTARTED, 0x1234, 77);
  SendMessageA(window, LM_SAVERENDING, 0x1234, 0);

  ASSERT_TRUE(bridge::WaitForLines(log.path, "ENDING", 1, 5000));
  std::vector<std::string> input = bridge::LinesStartingWith(log.path, "INPUT");
  ASSERT_EQ(2u, input.size());
  EXPECT_EQ("INPUT window=1234 message=100 wParam=41 lParam=1e0001 z=0,0,0 cb=28", input[0]);
  EXPECT_EQ("STARTED wParam=1234 lParam=77", bridge::LinesStartingWith(log.path, "STARTED")[0]);
  EXPECT_EQ("ENDING wParam=1234 lParam=0", bridge::LinesStartingWith(log.path, "ENDING")[0]);
  EXPECT_EQ(1u, bridge::LinesStartingWith(log.path, "PALETTE").size());
  std::vector<std::string> start = bridge::LinesStartingWith(log.path, "START ");
  ASSERT_EQ(1u, start.size());
  EXPECT_NE(std::string::npos, start[0].find("--reply any=9")) << start[0];

  SendMessageA(window, WM_CLOSE, 0, 0);
  DWORD code = 1;
  EXPECT_TRUE(app.WaitExit(5000, &code));
  EXPECT_EQ(0u, code);
}

TEST(StandIn, HangsAfterTheChosenForward) {
  bridge::TempFile log("sih");
  harness::Child app;
  HWND window = bridge::StartStandIn(app, log.path, "--hang-after 1");
  ASSERT_NE(nullptr, window);
  SaverInputRecord record = {1, WM_MOUSEMOVE, 0, 0, {0, 0, 0}};
  COPYDATASTRUCT data = {LM_SAVERINPUT, sizeof record, &record};
  EXPECT_EQ(0, SendMessageA(window, WM_COPYDATA, 1, reinterpret_cast<LPARAM>(&data)));
  ASSERT_TRUE(bridge::WaitForLines(log.path, "HANG", 1, 5000));
  DWORD_PTR result = 0;
  EXPECT_EQ(0, SendMessageTimeoutA(window, bridge::WhoAmIMessage(), WHOAMI_APP, 0,
                                   SMTO_ABORTIFHUNG, 1000, &result));
}

}  // namespace

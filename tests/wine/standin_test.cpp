// The stand-in application itself: other tests rely on what it records and answers.
#include <gtest/gtest.h>

#include "harness.h"
#include "common/link_protocol.h"

namespace {

using namespace harness;

TEST(StandIn, AnswersWhoAmIAndRecordsTheLinkMessages) {
  TempFile log("sil");
  Child app;
  HWND window = StartStandIn(app, log.path, "--reply 256=7 --reply any=9 --palette");
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(2, SendMessageA(window, WhoAmIMessage(), WHOAMI_APP, 0));
  EXPECT_EQ(0, SendMessageA(window, WhoAmIMessage(), WHOAMI_SAVER, 0));

  SaverInputRecord record = {0x1234, WM_KEYDOWN, 0x41, 0x1e0001, {0, 0, 0}};
  COPYDATASTRUCT data = {LM_SAVERINPUT, sizeof record, &record};
  EXPECT_EQ(7, SendMessageA(window, WM_COPYDATA, 0x1234, reinterpret_cast<LPARAM>(&data)));
  record.message = WM_CHAR;
  EXPECT_EQ(9, SendMessageA(window, WM_COPYDATA, 0x1234, reinterpret_cast<LPARAM>(&data)));
  EXPECT_NE(0, SendMessageA(window, LM_GETPALETTE, 0, 0));
  PostMessageA(window, LM_SAVERSTARTED, 0x1234, 77);
  SendMessageA(window, LM_SAVERENDING, 0x1234, 0);

  ASSERT_TRUE(WaitForLines(log.path, "ENDING", 1, 5000));
  std::vector<std::string> input = LinesStartingWith(log.path, "INPUT");
  ASSERT_EQ(2u, input.size());
  EXPECT_EQ("INPUT window=1234 message=100 wParam=41 lParam=1e0001 z=0,0,0 cb=28", input[0]);
  EXPECT_EQ("STARTED wParam=1234 lParam=77", LinesStartingWith(log.path, "STARTED")[0]);
  EXPECT_EQ("ENDING wParam=1234 lParam=0", LinesStartingWith(log.path, "ENDING")[0]);
  EXPECT_EQ(1u, LinesStartingWith(log.path, "PALETTE").size());
  std::vector<std::string> start = LinesStartingWith(log.path, "START ");
  ASSERT_EQ(1u, start.size());
  EXPECT_NE(std::string::npos, start[0].find("--reply any=9")) << start[0];

  SendMessageA(window, WM_CLOSE, 0, 0);
  DWORD code = 1;
  EXPECT_TRUE(app.WaitExit(5000, &code));
  EXPECT_EQ(0u, code);
}

TEST(StandIn, HangsAfterTheChosenForward) {
  TempFile log("sih");
  Child app;
  HWND window = StartStandIn(app, log.path, "--hang-after 1");
  ASSERT_NE(nullptr, window);
  SaverInputRecord record = {1, WM_MOUSEMOVE, 0, 0, {0, 0, 0}};
  COPYDATASTRUCT data = {LM_SAVERINPUT, sizeof record, &record};
  EXPECT_EQ(0, SendMessageA(window, WM_COPYDATA, 1, reinterpret_cast<LPARAM>(&data)));
  ASSERT_TRUE(WaitForLines(log.path, "HANG", 1, 5000));
  DWORD_PTR result = 0;
  EXPECT_EQ(0, SendMessageTimeoutA(window, WhoAmIMessage(), WHOAMI_APP, 0,
                                   SMTO_ABORTIFHUNG, 1000, &result));
}

}  // namespace

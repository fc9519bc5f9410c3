// The launch wait, the launch outcome, the reply table and the splash centring.
#include <gtest/gtest.h>

#include "saver/bridge/launch_wait.h"
#include "saver/bridge/reply_table.h"

namespace {

// The wait runs out at 20 s and not before, whether or not the tick counter wraps during it.
TEST(LaunchWait, RunsOutAtTheLimitAcrossTheCounterWrap) {
  const uint32_t nearWrap = 0xFFFFFFFFu - 5000;  // wraps 5001 ms into the wait
  const struct { uint32_t start, now, expired; } cases[] = {
      {1000, 1000, 0}, {1000, 1000 + 19999, 0}, {1000, 1000 + 20000, 1}, {1000, 1000 + 20001, 1},
      {nearWrap, nearWrap + 6000, 0}, {nearWrap, nearWrap + 19999, 0},
      {nearWrap, nearWrap + 20000, 1}, {0xFFFFFFFFu, 19999, 1}, {0xFFFFFFFFu, 19998, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.expired, LaunchWaitExpired(c.start, c.now)) << c.start << " to " << c.now;
}

TEST(LaunchOutcome, ThirtyTwoIsTheFirstSuccess) {
  // 2 is WinExec's "file not found".
  for (uint32_t failed : {0u, 2u, 31u}) EXPECT_EQ(0u, LaunchSucceeded(failed)) << failed;
  for (uint32_t started : {32u, 0xFFFFFFFFu}) EXPECT_EQ(1u, LaunchSucceeded(started)) << started;
}

TEST(ReplyTable, ZeroReplyAlwaysPassesOn) {
  for (uint32_t message : {0x10u, 0x20u, 0x100u, 0x102u, 0x200u, 0x202u})
    EXPECT_EQ(REPLY_PASS_ON, ChooseReplyAction(message, 0)) << std::hex << message;
}

TEST(ReplyTable, CloseIsKeptOnlyByReplyOne) {
  EXPECT_EQ(REPLY_SWALLOW, ChooseReplyAction(0x10, 1));
  EXPECT_EQ(REPLY_PASS_ON, ChooseReplyAction(0x10, 2));
  EXPECT_EQ(REPLY_PASS_ON, ChooseReplyAction(0x10, -1));
}

TEST(ReplyTable, ListedInputIsSwallowedAndTheRestReturnsTheReply) {
  for (uint32_t message : {0x100u, 0x101u, 0x200u, 0x201u, 0x204u, 0x207u})
    EXPECT_EQ(REPLY_SWALLOW, ChooseReplyAction(message, 5)) << std::hex << message;
  // Button releases, double-clicks, system keys and characters are not in the table.
  for (uint32_t message : {0x102u, 0x104u, 0x202u, 0x203u, 0x205u, 0x208u, 0x84u})
    EXPECT_EQ(REPLY_RETURN_REPLY, ChooseReplyAction(message, 5)) << std::hex << message;
  EXPECT_EQ(REPLY_SET_CURSOR, ChooseReplyAction(0x20, 32514));
}

TEST(ReplyTable, OnlySixteenBitRepliesNameACursor) {
  const struct { int32_t reply; uint32_t cursor; } cases[] = {
      {224, 224}, {32514, 32514}, {0xFFFF, 0xFFFF}, {0x10000, 0}, {-1, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.cursor, CursorIdFromReply(c.reply)) << "reply " << c.reply;
}

TEST(SplashCentring, CentresAndCutsEvenly) {
  const struct { int32_t from, to, size, offset; } cases[] = {
      {0, 1024, 401, 311}, {0, 768, 200, 284},
      {0, 100, 101, 0},   // -1 / 2 rounds toward zero
      {0, 100, 103, -1},  // -3 / 2
      {10, 30, 10, 5},
      {INT32_MIN, INT32_MAX, 0, INT32_MAX},  // no overflow on the way
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.offset, CentreOffset(c.from, c.to, c.size))
        << c.from << " to " << c.to << ", size " << c.size;
}

}  // namespace

// The launch wait, the launch outcome, the reply table and the splash centring.
#include <gtest/gtest.h>

#include "saver/bridge/launch_wait.h"
#include "saver/bridge/reply_table.h"

namespace {

TEST(LaunchWait, RunsOutAtTheLimitAndNotBefore) {
  EXPECT_EQ(0u, LaunchWaitExpired(1000, 1000));
  EXPECT_EQ(0u, LaunchWaitExpired(1000, 1000 + 19999));
  EXPECT_EQ(1u, LaunchWaitExpired(1000, 1000 + 20000));
  EXPECT_EQ(1u, LaunchWaitExpired(1000, 1000 + 20001));
}

TEST(LaunchWait, CounterWrapNeitherShortensNorLengthens) {
  uint32_t start = 0xFFFFFFFFu - 5000;  // wraps 5001 ms into the wait
  EXPECT_EQ(0u, LaunchWaitExpired(start, start + 6000));
  EXPECT_EQ(0u, LaunchWaitExpired(start, start + 19999));
  EXPECT_EQ(1u, LaunchWaitExpired(start, start + 20000));
  EXPECT_EQ(1u, LaunchWaitExpired(0xFFFFFFFFu, 19999));
  EXPECT_EQ(0u, LaunchWaitExpired(0xFFFFFFFFu, 19998));
}

TEST(LaunchOutcome, ThirtyTwoIsTheFirstSuccess) {
  EXPECT_EQ(0u, LaunchSucceeded(0));
  EXPECT_EQ(0u, LaunchSucceeded(2));   // WinExec: file not found
  EXPECT_EQ(0u, LaunchSucceeded(31));
  EXPECT_EQ(1u, LaunchSucceeded(32));
  EXPECT_EQ(1u, LaunchSucceeded(0xFFFFFFFFu));
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
  EXPECT_EQ(224u, CursorIdFromReply(224));
  EXPECT_EQ(32514u, CursorIdFromReply(32514));
  EXPECT_EQ(0xFFFFu, CursorIdFromReply(0xFFFF));
  EXPECT_EQ(0u, CursorIdFromReply(0x10000));
  EXPECT_EQ(0u, CursorIdFromReply(-1));
}

TEST(SplashCentring, CentresAndCutsEvenly) {
  EXPECT_EQ(311, CentreOffset(0, 1024, 401));
  EXPECT_EQ(284, CentreOffset(0, 768, 200));
  EXPECT_EQ(0, CentreOffset(0, 100, 101));    // -1 / 2 rounds toward zero
  EXPECT_EQ(-1, CentreOffset(0, 100, 103));   // -3 / 2
  EXPECT_EQ(5, CentreOffset(10, 30, 10));
  EXPECT_EQ(INT32_MAX, CentreOffset(INT32_MIN, INT32_MAX, 0));  // no overflow on the way
}

}  // namespace

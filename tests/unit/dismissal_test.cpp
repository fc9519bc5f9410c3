#include <gtest/gtest.h>

#include <cstdint>

#include "saver/host/dismissal.h"

namespace {

TEST(ElapsedTicks, SurvivesTheCounterWrap) {
  EXPECT_EQ(200u, ElapsedTicks(1000, 1200));
  EXPECT_EQ(200u, ElapsedTicks(0xFFFFFF9Cu, 100));  // 100 before the wrap, 100 after
  EXPECT_EQ(0u, ElapsedTicks(0xFFFFFFFFu, 0xFFFFFFFFu));
}

TEST(RefuseWithoutPrompt, FirstRequestAlwaysPrompts) {
  for (uint32_t now : {0u, 1u, 199u, 0xFFFFFFFEu, 0xFFFFFFFFu})
    EXPECT_EQ(0u, RefuseWithoutPrompt(VERIFY_TICK_NEVER, now)) << "now " << now;
}

TEST(RefuseWithoutPrompt, RetryIntervalIs200Milliseconds) {
  const uint32_t ended = 50000;
  EXPECT_NE(0u, RefuseWithoutPrompt(ended, ended));
  EXPECT_NE(0u, RefuseWithoutPrompt(ended, ended + 199));
  EXPECT_EQ(0u, RefuseWithoutPrompt(ended, ended + 200));
  EXPECT_EQ(0u, RefuseWithoutPrompt(ended, ended + 100000));
}

TEST(RefuseWithoutPrompt, CounterWrapBetweenPrompts) {
  const uint32_t ended = 0xFFFFFF80u;  // 128 ms before the counter wraps
  EXPECT_NE(0u, RefuseWithoutPrompt(ended, 0xFFFFFFF0u));
  EXPECT_NE(0u, RefuseWithoutPrompt(ended, 70));   // 198 ms later, after the wrap
  EXPECT_NE(0u, RefuseWithoutPrompt(ended, 71));   // 199 ms
  EXPECT_EQ(0u, RefuseWithoutPrompt(ended, 72));   // 200 ms
  EXPECT_EQ(0u, RefuseWithoutPrompt(ended, 5000));
  // A prompt that ended at tick 0xFFFFFFFE is a real time, not "never".
  EXPECT_NE(0u, RefuseWithoutPrompt(0xFFFFFFFEu, 5));
}

TEST(MouseRule, ThresholdIsASumOfAxisDistances) {
  EXPECT_NE(0u, MouseMoveCloses(100, 100, 103, 102));  // 3 right, 2 down: 5
  EXPECT_EQ(0u, MouseMoveCloses(100, 100, 102, 102));  // 2 and 2: 4
  EXPECT_NE(0u, MouseMoveCloses(100, 100, 97, 98));    // left and up count the same
  EXPECT_EQ(0u, MouseMoveCloses(100, 100, 96, 100));
  EXPECT_NE(0u, MouseMoveCloses(0, 0, 0, -5));
  EXPECT_EQ(0u, MouseMoveCloses(-7, -7, -7, -7));
}

TEST(MouseRule, SmallMovesAddUpFromTheRememberedPoint) {
  // The remembered point stays put until a move closes, so five 1-pixel moves close on the fifth.
  const int32_t rememberedX = 10, rememberedY = 20;
  for (int32_t step = 1; step <= 4; ++step)
    EXPECT_EQ(0u, MouseMoveCloses(rememberedX, rememberedY, rememberedX + step, rememberedY))
        << "move " << step;
  EXPECT_NE(0u, MouseMoveCloses(rememberedX, rememberedY, rememberedX + 5, rememberedY));
}

TEST(MouseRule, LargeCoordinatesNeitherOverflowNorWrap) {
  EXPECT_EQ(0xFFFFFFFFu, MouseDistance(INT32_MIN, 0, INT32_MAX, 0));
  EXPECT_EQ(0x80000000u, MouseDistance(0, 0, INT32_MIN, 0));
  // Both axes at their extremes would wrap an unsigned sum to a small number.
  EXPECT_EQ(0xFFFFFFFFu, MouseDistance(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX));
  EXPECT_NE(0u, MouseMoveCloses(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX));
  EXPECT_NE(0u, MouseMoveCloses(INT32_MAX, 0, INT32_MIN, 1));
  EXPECT_EQ(0u, MouseMoveCloses(INT32_MAX, INT32_MIN, INT32_MAX - 2, INT32_MIN + 2));
}

}  // namespace

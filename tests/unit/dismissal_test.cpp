#include <gtest/gtest.h>

#include <cstdint>

#include "saver/host/dismissal.h"

namespace {

TEST(ElapsedTicks, SurvivesTheCounterWrap) {
  EXPECT_EQ(200u, ElapsedTicks(1000, 1200));
  EXPECT_EQ(200u, ElapsedTicks(0xFFFFFF9Cu, 100));  // 100 before the wrap, 100 after
  EXPECT_EQ(0u, ElapsedTicks(0xFFFFFFFFu, 0xFFFFFFFFu));
}

// The first request always prompts; after a prompt ended, requests within 200 ms are refused,
// also across the counter wrap.
TEST(RefuseWithoutPrompt, RetryIntervalIs200Milliseconds) {
  const struct { uint32_t ended, now; bool refused; } cases[] = {
      {VERIFY_TICK_NEVER, 0, false}, {VERIFY_TICK_NEVER, 1, false},
      {VERIFY_TICK_NEVER, 199, false}, {VERIFY_TICK_NEVER, 0xFFFFFFFEu, false},
      {VERIFY_TICK_NEVER, 0xFFFFFFFFu, false},
      {50000, 50000, true}, {50000, 50199, true}, {50000, 50200, false}, {50000, 150000, false},
      // 128 ms before the counter wraps, then 198, 199 and 200 ms later, after the wrap.
      {0xFFFFFF80u, 0xFFFFFFF0u, true}, {0xFFFFFF80u, 70, true}, {0xFFFFFF80u, 71, true},
      {0xFFFFFF80u, 72, false}, {0xFFFFFF80u, 5000, false},
      {0xFFFFFFFEu, 5, true},  // a prompt that ended at tick 0xFFFFFFFE is a real time
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.refused, RefuseWithoutPrompt(c.ended, c.now) != 0)
        << "ended " << c.ended << ", now " << c.now;
}

// A move closes when the sum of its axis distances from the remembered point reaches 5. The
// remembered point stays put until a move closes, so five 1-pixel moves close on the fifth.
TEST(MouseRule, ThresholdIsASumOfAxisDistances) {
  const struct { int32_t x0, y0, x1, y1; bool closes; } cases[] = {
      {100, 100, 103, 102, true},   // 3 right, 2 down: 5
      {100, 100, 102, 102, false},  // 2 and 2: 4
      {100, 100, 97, 98, true},     // left and up count the same
      {100, 100, 96, 100, false},
      {0, 0, 0, -5, true},
      {-7, -7, -7, -7, false},
      {10, 20, 11, 20, false}, {10, 20, 12, 20, false}, {10, 20, 13, 20, false},
      {10, 20, 14, 20, false}, {10, 20, 15, 20, true},
      // Large coordinates neither overflow nor wrap.
      {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, true},
      {INT32_MAX, 0, INT32_MIN, 1, true},
      {INT32_MAX, INT32_MIN, INT32_MAX - 2, INT32_MIN + 2, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.closes, MouseMoveCloses(c.x0, c.y0, c.x1, c.y1) != 0)
        << c.x0 << "," << c.y0 << " to " << c.x1 << "," << c.y1;
}

TEST(MouseRule, LargeCoordinatesNeitherOverflowNorWrap) {
  EXPECT_EQ(0xFFFFFFFFu, MouseDistance(INT32_MIN, 0, INT32_MAX, 0));
  EXPECT_EQ(0x80000000u, MouseDistance(0, 0, INT32_MIN, 0));
  // Both axes at their extremes would wrap an unsigned sum to a small number.
  EXPECT_EQ(0xFFFFFFFFu, MouseDistance(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX));
}

}  // namespace

#include "saver/host/dismissal.h"

uint32_t ElapsedTicks(uint32_t then, uint32_t now) { return now - then; }

namespace {
// A signed difference made positive without overflow: the far ends of the coordinate range
// give distances up to 2^32 - 1, which unsigned arithmetic holds.
uint32_t AbsoluteDifference(int32_t a, int32_t b) {
  uint32_t d = static_cast<uint32_t>(a) - static_cast<uint32_t>(b);
  return a >= b ? d : 0u - d;
}
}  // namespace

uint32_t MouseDistance(int32_t fromX, int32_t fromY, int32_t x, int32_t y) {
  uint32_t dx = AbsoluteDifference(x, fromX);
  uint32_t dy = AbsoluteDifference(y, fromY);
  // Saturate rather than wrap, so that no movement, however large, adds up to a small one.
  return dx > 0xFFFFFFFFu - dy ? 0xFFFFFFFFu : dx + dy;
}

uint32_t MouseMoveCloses(int32_t rememberedX, int32_t rememberedY, int32_t x, int32_t y) {
  return MouseDistance(rememberedX, rememberedY, x, y) > MOUSE_MOVE_THRESHOLD;
}

uint32_t RefuseWithoutPrompt(uint32_t lastVerifyTick, uint32_t now) {
  return lastVerifyTick != VERIFY_TICK_NEVER &&
         ElapsedTicks(lastVerifyTick, now) < VERIFY_RETRY_INTERVAL;
}

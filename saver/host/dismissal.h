// The dismissal decisions of the full-screen saver as plain computation: how far the mouse has
// moved, whether that ends the saver, and whether a close request may prompt for the password
// yet. The Win32 glue gathers the cursor position and the tick count and acts on the answers.
#ifndef NVR_SAVER_HOST_DISMISSAL_H
#define NVR_SAVER_HOST_DISMISSAL_H

#include <cstdint>

// Largest tolerated mouse movement: the sum of the absolute x and y distances, in pixels.
constexpr uint32_t MOUSE_MOVE_THRESHOLD = 4;
// After a password prompt, close requests are refused without a new prompt for this long.
constexpr uint32_t VERIFY_RETRY_INTERVAL = 200;
// lastVerifyTick before the first prompt.
constexpr uint32_t VERIFY_TICK_NEVER = 0xFFFFFFFFu;

// now - then in unsigned 32-bit arithmetic: the wrap of the millisecond counter is harmless.
uint32_t ElapsedTicks(uint32_t then, uint32_t now);

// |x - fromX| + |y - fromY| as an unsigned 32-bit number; the sum saturates at 0xFFFFFFFF.
uint32_t MouseDistance(int32_t fromX, int32_t fromY, int32_t x, int32_t y);

// Nonzero when the cursor at (x, y) is far enough from the remembered point to end the saver.
uint32_t MouseMoveCloses(int32_t rememberedX, int32_t rememberedY, int32_t x, int32_t y);

// Nonzero when a close request at tick now must be refused without a prompt, because the last
// prompt ended less than VERIFY_RETRY_INTERVAL ago.
uint32_t RefuseWithoutPrompt(uint32_t lastVerifyTick, uint32_t now);

#endif

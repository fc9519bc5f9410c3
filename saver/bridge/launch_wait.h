// The plain decisions of launching the main application and waiting for its window.
#ifndef NVR_SAVER_BRIDGE_LAUNCH_WAIT_H
#define NVR_SAVER_BRIDGE_LAUNCH_WAIT_H

#include <cstdint>

// How long a launched application has to answer before the saver gives up.
const uint32_t APP_WAIT_LIMIT_MS = 20000;

// The lowest launch outcome that counts as success (WinExec's convention; a successful
// CreateProcessA is taken as 32).
const uint32_t LAUNCH_SUCCESS_MIN = 32;

// 1 when a launch outcome means the program was started.
uint32_t LaunchSucceeded(uint32_t outcome);

// 1 when the wait that began at startTick has run out at nowTick. The difference is taken
// modulo 2^32, so a wrap of the millisecond counter neither shortens nor lengthens the wait.
uint32_t LaunchWaitExpired(uint32_t startTick, uint32_t nowTick);

#endif

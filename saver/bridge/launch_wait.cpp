#include "saver/bridge/launch_wait.h"

uint32_t LaunchSucceeded(uint32_t outcome) { return outcome >= LAUNCH_SUCCESS_MIN ? 1 : 0; }

uint32_t LaunchWaitExpired(uint32_t startTick, uint32_t nowTick) {
  uint32_t elapsed = nowTick - startTick;  // unsigned: wraps with the counter
  return elapsed >= APP_WAIT_LIMIT_MS ? 1 : 0;
}

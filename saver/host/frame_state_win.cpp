#include "saver/host/frame_state_win.h"

#include "saver/host/dismissal.h"

FrameState frameState = {nullptr, nullptr, 0, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
                         {0, 0}, VERIFY_TICK_NEVER};

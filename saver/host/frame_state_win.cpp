#include "saver/host/frame_state_win.h"

FrameState frameState = {nullptr, nullptr, 0, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
                         {0, 0}, 0xFFFFFFFFu};

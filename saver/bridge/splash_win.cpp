#include "saver/bridge/splash_win.h"

// Placeholder until the splash picture lands: no picture, which the saver already handles.
HBITMAP LoadSplashBitmap(DWORD preview) { return nullptr; }

#ifndef NVR_SAVER_HOST_FRAME_WINDOW_WIN_H
#define NVR_SAVER_HOST_FRAME_WINDOW_WIN_H

#include <windows.h>

#include "saver/host/screen_area.h"

// Saver mode: full screen without a parent, else a preview child filling the parent.
// Returns the exit code.
int RunSaver(HWND parent);

// The rectangle the full-screen saver covers: every monitor the system reports.
ScreenArea SaverScreenArea(void);

// Class procedure of "WindowsScreenSaverClass": first link of the saver window's chain.
LRESULT CALLBACK FrameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif

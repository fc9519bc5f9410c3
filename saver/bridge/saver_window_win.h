#ifndef NVR_SAVER_BRIDGE_SAVER_WINDOW_WIN_H
#define NVR_SAVER_BRIDGE_SAVER_WINDOW_WIN_H

#include <windows.h>

// Middle link of the saver window's chain: hosts the main application.
LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif

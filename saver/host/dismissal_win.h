#ifndef NVR_SAVER_HOST_DISMISSAL_WIN_H
#define NVR_SAVER_HOST_DISMISSAL_WIN_H

#include <windows.h>

// Message the saver sends to its own window to run the system's password prompt.
#define SSM_VERIFYPASSWORD WM_APP

// Last link of the saver window's chain: dismissal and password rules, then DefWindowProcA.
LRESULT CALLBACK DefaultInputProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
DWORD VerifyPassword(HWND window);

#endif

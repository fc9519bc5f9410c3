#include "saver/host/dismissal_win.h"

// Placeholders until the dismissal rules land.
LRESULT CALLBACK DefaultInputProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}
DWORD VerifyPassword(HWND) { return 1; }
void LoadPasswordModule(void) {}
void UnloadPasswordModule(void) {}
BOOL SetSaverRunning(BOOL) { return FALSE; }
void ChangeSaverPassword(HWND) {}

#include "saver/host/frame_window_win.h"

#include "saver/bridge/saver_window_win.h"

// Placeholder until the saver window lands.
int RunSaver(HWND) { return 0; }

LRESULT CALLBACK FrameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return SaverWindowProc(window, message, wParam, lParam);
}

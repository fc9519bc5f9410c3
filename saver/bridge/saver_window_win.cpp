#include "saver/bridge/saver_window_win.h"

#include "saver/host/dismissal_win.h"

// Placeholder until the application bridge lands: every message passes on unchanged.
LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefaultInputProc(window, message, wParam, lParam);
}

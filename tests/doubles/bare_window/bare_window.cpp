// The least a full-screen program can do, as a yardstick for the saver's own costs: one black
// topmost window covering the screen that sets a named event at its first paint and ends on
// the first key.   bare_window.exe [PAINTED-EVENT-NAME]
#include <windows.h>

#include <cstring>

namespace {

char paintedEvent[256];
bool painted = false;

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      if (!painted && paintedEvent[0]) {
        painted = true;
        HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, paintedEvent);
        if (event) {
          SetEvent(event);
          CloseHandle(event);
        }
      }
      return 0;
    }
    case WM_KEYDOWN:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  while (*commandLine == ' ') ++commandLine;
  lstrcpynA(paintedEvent, commandLine, sizeof paintedEvent);
  WNDCLASSA windowClass;
  ZeroMemory(&windowClass, sizeof windowClass);
  windowClass.lpfnWndProc = BareWindowProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = "NvrBareWindow";
  if (!RegisterClassA(&windowClass)) return 2;
  HWND window = CreateWindowExA(WS_EX_TOPMOST, "NvrBareWindow", "bare", WS_POPUP | WS_VISIBLE, 0, 0,
                                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                nullptr, nullptr, instance, nullptr);
  if (!window) return 3;
  SetForegroundWindow(window);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

// The least a full-screen program can do, as a yardstick for the saver's own costs: one black
// topmost window covering the screen that sets a named event at its first paint and ends on
// the first key.   bare_window.exe [PAINTED-EVENT-NAME]
// Also the control for what a preview can show: a child window of another process's window,
// filling its client area with one colour, ended with that window.
//                  bare_window.exe --child PARENT-NUMBER RRGGBB
#include <windows.h>

#include <cstdlib>
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

// The child of the control form: painted by its class brush, gone with its parent.
LRESULT CALLBACK ChildWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  while (*commandLine == ' ') ++commandLine;
  bool child = strncmp(commandLine, "--child ", 8) == 0;
  HWND parent = nullptr;
  COLORREF colour = 0;
  if (child) {
    char* rest = nullptr;
    parent = reinterpret_cast<HWND>(static_cast<UINT_PTR>(strtoul(commandLine + 8, &rest, 10)));
    unsigned long rgb = strtoul(rest, nullptr, 16);
    colour = RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF);
    if (!IsWindow(parent)) return 4;
  } else {
    lstrcpynA(paintedEvent, commandLine, sizeof paintedEvent);
  }
  WNDCLASSA windowClass;
  ZeroMemory(&windowClass, sizeof windowClass);
  windowClass.lpfnWndProc = child ? ChildWindowProc : BareWindowProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = child ? CreateSolidBrush(colour)
                                    : static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = "NvrBareWindow";
  if (!RegisterClassA(&windowClass)) return 2;
  HWND window;
  if (child) {
    RECT area;
    GetClientRect(parent, &area);
    window = CreateWindowExA(0, "NvrBareWindow", "control", WS_CHILD | WS_VISIBLE, 0, 0,
                             area.right, area.bottom, parent, nullptr, instance, nullptr);
  } else {
    window = CreateWindowExA(WS_EX_TOPMOST, "NvrBareWindow", "bare", WS_POPUP | WS_VISIBLE, 0, 0,
                             GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                             nullptr, nullptr, instance, nullptr);
    if (window) SetForegroundWindow(window);
  }
  if (!window) return 3;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

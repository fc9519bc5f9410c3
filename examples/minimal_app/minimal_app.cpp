// The shortest main application for the saver and the plug-in (docs/app-guide.md walks through it):
// one running copy, to which a second hands its page element; 2 only to code 2 and 0 to all else; a
// band of colour in whatever window it is lent; it stays in a plug-in window until its element goes.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "common/link_protocol.h"

namespace {

const LRESULT STILL_SERVED = 0x4E5652;  // our reply to the scroll that tests a plug-in window
const UINT LOOK_AGAIN = WM_APP;         // posted to ourselves while "PluginClosing" is answered
UINT whoAmI, showAgain, closing;
HWND self, saver, plugin, leftPlugin;   // ours; the two kinds of lent window; the one just left

// A lent window belongs to another process: draw through its top-level window's device context.
void DrawBand(HWND lent) {
  if (!lent || !IsWindow(lent)) return;
  HWND top = lent;
  while ((GetWindowLongA(top, GWL_STYLE) & WS_CHILD) && GetParent(top)) top = GetParent(top);
  RECT band;
  GetClientRect(lent, &band);
  band.bottom /= 4;
  MapWindowPoints(lent, top, reinterpret_cast<POINT*>(&band), 2);
  HDC dc = GetDCEx(top, nullptr, DCX_CACHE);
  HBRUSH brush = CreateSolidBrush(RGB(0, 160, 80));
  if (dc) FillRect(dc, &band, brush), ReleaseDC(top, dc);
  DeleteObject(brush);
}

void ShowIn(HWND window) {  // our window a child filling the plug-in window, which it then leaves to us
  RECT area;
  if (!IsWindow(window) || !GetClientRect(window, &area)) return;
  SetWindowLongA(self, GWL_STYLE, WS_CHILD);
  SetParent(self, window);
  SetWindowPos(self, HWND_TOP, 0, 0, area.right, area.bottom, SWP_SHOWWINDOW | SWP_FRAMECHANGED);
  DrawBand(plugin = window);
}

LRESULT CALLBACK AppWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR answer = 0;
  if (message == whoAmI) return wParam == WHOAMI_APP ? LRESULT{WHOAMI_APP} : 0;
  if (message == showAgain) ShowIn(reinterpret_cast<HWND>(wParam));
  if (message == closing && plugin) {  // names no element: step out now, look again once answered
    leftPlugin = plugin;
    plugin = nullptr;
    ShowWindow(self, SW_HIDE);
    SetParent(self, nullptr);
    SetWindowLongA(self, GWL_STYLE, WS_POPUP);
    PostMessageA(window, LOOK_AGAIN, 0, 0);
  }
  switch (message) {
    case LM_SAVERSTARTED: DrawBand(saver = reinterpret_cast<HWND>(wParam)); return 0;
    case LM_SAVERENDING: saver = nullptr; return 0;
    case LM_PLUGINVSCROLL: return LOWORD(wParam) == SB_ENDSCROLL ? STILL_SERVED : 0;
    case LOOK_AGAIN:  // a page element that still lives passes our scroll back to us
      if (SendMessageTimeoutA(leftPlugin, WM_VSCROLL, SB_ENDSCROLL, 0, SMTO_ABORTIFHUNG, 2000, &answer) &&
          answer == STILL_SERVED)
        ShowIn(leftPlugin);
      return 0;
    case WM_TIMER: DrawBand(saver), DrawBand(plugin); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);  // 0 to the rest, WM_COPYDATA included
}

BOOL CALLBACK FindRunning(HWND window, LPARAM found) {  // stops at the first window that answers 2
  DWORD_PTR answer = 0;
  if (SendMessageTimeoutA(window, whoAmI, WHOAMI_APP, 0, SMTO_ABORTIFHUNG, 1000, &answer) && answer == WHOAMI_APP)
    *reinterpret_cast<HWND*>(found) = window;
  return !*reinterpret_cast<HWND*>(found);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  whoAmI = RegisterWindowMessageA(QUIB_WHOAMI_NAME);
  showAgain = RegisterWindowMessageA(PLUGIN_SHOW_AGAIN_NAME);
  closing = RegisterWindowMessageA(PLUGIN_CLOSING_NAME);
  long window = 0, element = 0;  // started by the plug-in: "PATH PLUGIN WINDOW INSTANCE"
  const char* tail = strstr(GetCommandLineA(), " PLUGIN ");  // the path is unquoted, may hold blanks
  if (tail) sscanf(tail + 8, "%ld %ld", &window, &element);
  HWND lent = reinterpret_cast<HWND>(static_cast<INT_PTR>(window));
  CreateMutexA(nullptr, FALSE, "NvrMinimalApp");
  if (GetLastError() == ERROR_ALREADY_EXISTS) {  // a second copy hands its page element to the first
    HWND running = nullptr;
    EnumChildWindows(GetDesktopWindow(), FindRunning, reinterpret_cast<LPARAM>(&running));
    if (running && lent) PostMessageA(running, showAgain, reinterpret_cast<WPARAM>(lent), element);
    return 0;
  }
  WNDCLASSA windowClass = {0, AppWindowProc, 0, 0, instance, nullptr, nullptr, nullptr, nullptr, "NvrMinimalApp"};
  RegisterClassA(&windowClass);
  self = CreateWindowExA(0, "NvrMinimalApp", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
  if (!self) return 1;
  SetTimer(self, 1, 500, nullptr);  // the band again and again: lent windows are painted by others
  if (lent) ShowIn(lent);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}

// A settings-like window with a small monitor whose screen area is the parent of the saver's
// preview: it starts the saver with "/p" and that window's handle, as the system's display
// settings do, and ends the preview by destroying the area, as they do when they close.
//
//   nvr_display_panel.exe SAVER [--lift]
//
// --lift: Wine does not show the drawing of a child window whose top-level window belongs to
// another process, so the preview, once it exists, is lifted out of the area into a top-level
// window lying exactly over it, where its drawing shows; it is put back before the area goes.
// Ends on WM_CLOSE; the exit code is 0 when the preview appeared and the saver then ended with 0.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char PANEL_CLASS[] = "NvrDisplayPanel";
const char AREA_CLASS[] = "NvrPreviewArea";
const char SAVER_CLASS[] = "WindowsScreenSaverClass";
const int PANEL_X = 320, PANEL_Y = 180, PANEL_WIDTH = 384, PANEL_HEIGHT = 330;
const RECT MONITOR = {96, 48, 280, 196};  // the bezel, in the panel's client area
const int AREA_WIDTH = 152, AREA_HEIGHT = 112;  // the preview area inside the bezel
const UINT_PTR WATCH_TIMER = 1;
const UINT WATCH_MS = 50;
const DWORD PREVIEW_LIMIT_MS = 10000;
const DWORD SAVER_EXIT_LIMIT_MS = 10000;

struct PanelState {
  HWND panel;
  HWND area;
  HWND preview;
  int lift;
  int lifted;
  DWORD watchStart;
  PROCESS_INFORMATION saver;
  int failed;
};

PanelState state;

void PaintPanel(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  HBRUSH bezel = CreateSolidBrush(RGB(96, 96, 104));
  FillRect(dc, &MONITOR, bezel);
  RECT stand = {MONITOR.left + 64, MONITOR.bottom, MONITOR.right - 64, MONITOR.bottom + 14};
  FillRect(dc, &stand, bezel);
  RECT foot = {MONITOR.left + 40, stand.bottom, MONITOR.right - 40, stand.bottom + 8};
  FillRect(dc, &foot, bezel);
  DeleteObject(bezel);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  HGDIOBJ font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  RECT label = {16, foot.bottom + 24, client.right - 16, foot.bottom + 44};
  DrawTextA(dc, "Screen saver: nvrss32 (preview)", -1, &label, DT_LEFT | DT_SINGLELINE);
  RECT note = {16, label.bottom + 4, client.right - 16, label.bottom + 24};
  DrawTextA(dc, "Wait: 10 minutes", -1, &note, DT_LEFT | DT_SINGLELINE);
  SelectObject(dc, font);
  EndPaint(window, &paint);
}

int StartSaver(const char* saverPath) {
  char commandLine[600];
  int n = snprintf(commandLine, sizeof commandLine, "\"%s\" /p %lu", saverPath,
                   static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(state.area)));
  if (n < 0 || n >= static_cast<int>(sizeof commandLine)) return 0;
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  return CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &state.saver) != 0;
}

// Once the saver's window exists in the area: say so, and lift it when asked to.
void Watch(void) {
  HWND preview = FindWindowExA(state.area, nullptr, SAVER_CLASS, nullptr);
  if (!preview) {
    if (GetTickCount() - state.watchStart >= PREVIEW_LIMIT_MS) {
      KillTimer(state.panel, WATCH_TIMER);
      printf("display panel: no preview window appeared within %lu ms\n",
             static_cast<unsigned long>(PREVIEW_LIMIT_MS));
      fflush(stdout);
      state.failed = 1;
    }
    return;
  }
  KillTimer(state.panel, WATCH_TIMER);
  state.preview = preview;
  RECT rect;
  GetWindowRect(preview, &rect);
  printf("display panel: preview window %lu in the area, %ld x %ld at (%ld, %ld)\n",
         static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(preview)), rect.right - rect.left,
         rect.bottom - rect.top, rect.left, rect.top);
  if (state.lift && SetParent(preview, nullptr)) {
    state.lifted = 1;
    SetWindowPos(preview, HWND_TOP, rect.left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    printf("display panel: preview lifted over the area, where Wine shows its drawing\n");
  }
  fflush(stdout);
}

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      PaintPanel(window);
      return 0;
    case WM_TIMER:
      if (wParam == WATCH_TIMER) Watch();
      return 0;
    case WM_CLOSE:
      // Back into the area, so that the preview ends with it as the system's settings end it.
      if (state.lifted && IsWindow(state.preview)) {
        SetParent(state.preview, state.area);
        SetWindowPos(state.preview, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Waits for the saver to end, still handling this thread's messages meanwhile.
DWORD WaitForSaver(void) {
  DWORD start = GetTickCount();
  for (;;) {
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= SAVER_EXIT_LIMIT_MS) return WAIT_TIMEOUT;
    DWORD woke = MsgWaitForMultipleObjects(1, &state.saver.hProcess, FALSE,
                                           SAVER_EXIT_LIMIT_MS - elapsed, QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0) return WAIT_OBJECT_0;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    printf("usage: nvr_display_panel SAVER [--lift]\n");
    return 2;
  }
  state.lift = argc > 2 && strcmp(argv[2], "--lift") == 0;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA panelClass;
  memset(&panelClass, 0, sizeof panelClass);
  panelClass.lpfnWndProc = PanelProc;
  panelClass.hInstance = instance;
  panelClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  panelClass.lpszClassName = PANEL_CLASS;
  WNDCLASSA areaClass = panelClass;
  areaClass.lpfnWndProc = DefWindowProcA;
  areaClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  areaClass.lpszClassName = AREA_CLASS;
  if (!RegisterClassA(&panelClass) || !RegisterClassA(&areaClass)) return 3;
  state.panel = CreateWindowExA(0, PANEL_CLASS, "Display settings: Screen Saver",
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, PANEL_X, PANEL_Y,
                                PANEL_WIDTH, PANEL_HEIGHT, nullptr, nullptr, instance, nullptr);
  if (!state.panel) return 3;
  int areaX = (MONITOR.left + MONITOR.right - AREA_WIDTH) / 2;
  int areaY = (MONITOR.top + MONITOR.bottom - AREA_HEIGHT) / 2;
  state.area = CreateWindowExA(0, AREA_CLASS, "", WS_CHILD | WS_VISIBLE, areaX, areaY, AREA_WIDTH,
                               AREA_HEIGHT, state.panel, nullptr, instance, nullptr);
  if (!state.area) return 3;
  UpdateWindow(state.panel);
  if (!StartSaver(argv[1])) {
    printf("display panel: could not start %s\n", argv[1]);
    DestroyWindow(state.panel);
    return 1;
  }
  state.watchStart = GetTickCount();
  SetTimer(state.panel, WATCH_TIMER, WATCH_MS, nullptr);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  DWORD code = 1;
  if (WaitForSaver() == WAIT_OBJECT_0) {
    GetExitCodeProcess(state.saver.hProcess, &code);
    printf("display panel: the saver ended with exit code %ld\n", static_cast<long>(code));
  } else {
    printf("display panel: the saver did not end within %lu ms\n",
           static_cast<unsigned long>(SAVER_EXIT_LIMIT_MS));
  }
  CloseHandle(state.saver.hThread);
  CloseHandle(state.saver.hProcess);
  return state.preview && !state.failed && code == 0 ? 0 : 1;
}

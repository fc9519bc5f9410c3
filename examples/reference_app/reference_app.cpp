// A reference main application: everything the saver and the plug-in ask of the application,
// answered the way a real one would, with live content (a clock and rotating headlines read from
// headlines.txt beside the program) drawn into whatever window it is lent.
//
//   nvr.exe                                 runs on its own, in its own window
//   nvr.exe PLUGIN WINDOW INSTANCE          started by the plug-in: shows itself in WINDOW
//
// One copy runs: a later one hands its page element to the running copy and ends.
//
// Lent windows are drawn from this process through the device context of the lent window's
// top-level window, clipped to the lent area. Under Wine a child window's own drawing does not
// reach the screen when its top-level window belongs to another process (the plug-in window's
// case), and a topmost window of ours over the saver would take the input the saver must see;
// drawing through the top-level window's context shows under Wine and is allowed on Windows.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/app_profile.h"
#include "common/link_protocol.h"

namespace {

const char APP_CLASS[] = "NvrReferenceApp";
const char APP_TITLE[] = "The Nuvora Network";
const int OWN_WIDTH = 520, OWN_HEIGHT = 320;
const UINT_PTR TICK_TIMER = 1;
const UINT TICK_MS = 1000;
const DWORD ROTATE_TICKS = 4;          // a new first headline every 4 seconds
const UINT REDRAW_LENT = WM_APP + 1;   // posted to ourselves: draw the lent areas again
const UINT LOOK_AGAIN = WM_APP + 2;    // posted to ourselves while "PluginClosing" is answered
const LRESULT STILL_SERVED = 0x4E5652; // our reply to the scroll that tests a plug-in window
const char ONE_COPY[] = "NvrReferenceAppOneCopy";
const int MAX_HEADLINES = 32;
const int HEADLINE_SIZE = 128;
const DWORD HEADLINE_FILE_LIMIT = 8192;
const int MAX_VISIBLE = 5;
const LRESULT CLAIMED = 1;
const LRESULT SAVER_HAND_CURSOR = 224;  // the saver's own pointing hand
const UINT STATUS_WAIT_MS = 2000;

const COLORREF CLOCK_COLOUR = RGB(255, 200, 40);
const COLORREF BAND_COLOUR = RGB(16, 40, 96);
const COLORREF TEXT_COLOUR = RGB(255, 255, 255);
const COLORREF CHOSEN_COLOUR = CLOCK_COLOUR;
const COLORREF GROUND_COLOUR = RGB(0, 0, 0);

// Where the headlines were drawn in the saver window, for clicks.
struct HeadlineSpot {
  RECT rect;
  int index;
};

struct AppState {
  HWND window;
  UINT whoAmIMessage;
  UINT showAgainMessage;
  UINT closingMessage;
  HPALETTE palette;
  char headlines[MAX_HEADLINES][HEADLINE_SIZE];
  int headlineCount;
  int firstHeadline;
  int chosenHeadline;  // -1: none clicked
  DWORD ticks;
  HWND saverWindow;    // lent by the saver from LM_SAVERSTARTED to LM_SAVERENDING
  DWORD saverProcess;
  HeadlineSpot spots[MAX_VISIBLE];
  int spotCount;
  HWND pluginWindow;   // the plug-in window we are shown in, or null
  LPARAM pluginInstance;
  int ownWindowShown;  // the own window was visible before a plug-in window borrowed it
  HWND leftWindow;     // the plug-in window we stepped out of at "PluginClosing", until looked at
  LPARAM leftInstance;
  int altClickSelects; // control.ini's StopOnMouseMove at the saver's start: Alt+click selects
  int altDown;         // the saver has offered us Alt going down and not yet up
};

AppState app;

// headlines.txt beside the program: one headline a line, blank lines skipped, each cut to fit.
void ReadHeadlines(void) {
  char path[APP_PATH_SIZE];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return;
  char* slash = strrchr(path, '\\');
  const char name[] = "headlines.txt";
  size_t folder = slash ? static_cast<size_t>(slash - path) + 1 : 0;
  if (folder + sizeof name > sizeof path) return;
  memcpy(path + folder, name, sizeof name);
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  static char text[HEADLINE_FILE_LIMIT];
  DWORD read = 0;
  if (!ReadFile(file, text, sizeof text - 1, &read, nullptr)) read = 0;
  CloseHandle(file);
  text[read] = '\0';
  app.headlineCount = 0;
  for (char* line = text; *line && app.headlineCount < MAX_HEADLINES;) {
    char* end = line + strcspn(line, "\r\n");
    size_t n = static_cast<size_t>(end - line);
    if (n > 0) {
      if (n > HEADLINE_SIZE - 1) n = HEADLINE_SIZE - 1;
      memcpy(app.headlines[app.headlineCount], line, n);
      app.headlines[app.headlineCount][n] = '\0';
      ++app.headlineCount;
    }
    line = end + strspn(end, "\r\n");
  }
}

HPALETTE MakePalette(void) {
  const COLORREF colours[] = {GROUND_COLOUR, CLOCK_COLOUR, BAND_COLOUR, TEXT_COLOUR};
  const WORD COUNT = sizeof colours / sizeof colours[0];
  struct {
    WORD version;
    WORD count;
    PALETTEENTRY entries[COUNT];
  } block;
  block.version = 0x300;
  block.count = COUNT;
  for (WORD i = 0; i < COUNT; ++i) {
    block.entries[i].peRed = GetRValue(colours[i]);
    block.entries[i].peGreen = GetGValue(colours[i]);
    block.entries[i].peBlue = GetBValue(colours[i]);
    block.entries[i].peFlags = 0;
  }
  return CreatePalette(reinterpret_cast<LOGPALETTE*>(&block));
}

HFONT MakeFont(int height, int weight) {
  return CreateFontA(-height, 0, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial");
}

void FillColour(HDC dc, const RECT& rect, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void DrawTextIn(HDC dc, const char* text, RECT rect, int height, int weight, COLORREF colour, UINT format) {
  HFONT font = MakeFont(height, weight);
  HGDIOBJ previous = SelectObject(dc, font);
  SetTextColor(dc, colour);
  DrawTextA(dc, text, -1, &rect, format | DT_NOPREFIX | DT_SINGLELINE);
  SelectObject(dc, previous);
  DeleteObject(font);
}

// The content for an area of width x height: a clock in clockRect, the headlines in bandRect.
// In the saver the middle stays free for the saver's splash picture; elsewhere the two fill it.
// spots (may be null) receives where each headline went.
void PaintContent(HDC target, int width, int height, int forSaver, HeadlineSpot* spots, int* spotCount) {
  RECT clock = {0, forSaver ? height * 4 / 100 : 0, width, height * (forSaver ? 32 : 34) / 100};
  RECT band = {0, forSaver ? height * 68 / 100 : clock.bottom, width, forSaver ? height * 96 / 100 : height};
  HDC dc = CreateCompatibleDC(target);
  HBITMAP bitmap = CreateCompatibleBitmap(target, width, height);
  if (!dc || !bitmap) {
    if (dc) DeleteDC(dc);
    if (bitmap) DeleteObject(bitmap);
    return;
  }
  HGDIOBJ previous = SelectObject(dc, bitmap);
  SetBkMode(dc, TRANSPARENT);
  if (app.palette) {
    SelectPalette(dc, app.palette, FALSE);
    RealizePalette(dc);
  }

  FillColour(dc, clock, GROUND_COLOUR);
  SYSTEMTIME now;
  GetLocalTime(&now);
  char time[16];
  snprintf(time, sizeof time, "%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
  int clockHeight = clock.bottom - clock.top;
  RECT digits = {clock.left, clock.top, clock.right, clock.bottom - clockHeight / 5};
  DrawTextIn(dc, time, digits, clockHeight * 3 / 5, FW_BOLD, CLOCK_COLOUR, DT_CENTER | DT_VCENTER);
  RECT title = {clock.left, digits.bottom, clock.right, clock.bottom};
  DrawTextIn(dc, APP_TITLE, title, clockHeight / 7 + 1, FW_NORMAL, TEXT_COLOUR, DT_CENTER | DT_TOP);

  FillColour(dc, band, BAND_COLOUR);
  int bandHeight = band.bottom - band.top;
  int lineHeight = bandHeight / MAX_VISIBLE;
  int shown = app.headlineCount < MAX_VISIBLE ? app.headlineCount : MAX_VISIBLE;
  if (shown == 0) {
    DrawTextIn(dc, "No headlines (headlines.txt is missing or empty)", band, lineHeight / 2 + 1,
               FW_NORMAL, TEXT_COLOUR, DT_CENTER | DT_VCENTER);
  }
  for (int i = 0; i < shown; ++i) {
    int index = (app.firstHeadline + i) % app.headlineCount;
    RECT line = {band.left + width / 20, band.top + i * lineHeight, band.right - width / 20,
                 band.top + (i + 1) * lineHeight};
    char text[HEADLINE_SIZE + 8];
    snprintf(text, sizeof text, "\x95 %s", app.headlines[index]);
    DrawTextIn(dc, text, line, lineHeight * 11 / 20 + 1, index == app.chosenHeadline ? FW_BOLD : FW_NORMAL,
               index == app.chosenHeadline ? CHOSEN_COLOUR : TEXT_COLOUR, DT_LEFT | DT_VCENTER | DT_END_ELLIPSIS);
    if (spots) {
      spots[i].rect = line;
      spots[i].index = index;
    }
  }
  if (spotCount) *spotCount = shown;

  BitBlt(target, clock.left, clock.top, width, clockHeight, dc, clock.left, clock.top, SRCCOPY);
  BitBlt(target, band.left, band.top, width, bandHeight, dc, band.left, band.top, SRCCOPY);
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

HWND TopLevelOf(HWND window) {
  for (int depth = 0; depth < 64 && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD); ++depth) {
    HWND parent = GetParent(window);
    if (!parent) break;
    window = parent;
  }
  return window;
}

// Draws the content into a window another process lent us (see the comment at the top).
void DrawLentArea(HWND lent, int forSaver) {
  if (!lent || !IsWindow(lent)) return;
  HWND top = TopLevelOf(lent);
  RECT area;
  GetClientRect(lent, &area);
  POINT origin = {0, 0};
  MapWindowPoints(lent, top, &origin, 1);
  HDC dc = GetDCEx(top, nullptr, DCX_CACHE);
  if (!dc) return;
  SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
  IntersectClipRect(dc, 0, 0, area.right, area.bottom);
  if (forSaver)
    PaintContent(dc, area.right, area.bottom, 1, app.spots, &app.spotCount);
  else
    PaintContent(dc, area.right, area.bottom, 0, nullptr, nullptr);
  ReleaseDC(top, dc);
}

void DrawEverywhere(void) {
  DrawLentArea(app.saverWindow, 1);
  DrawLentArea(app.pluginWindow, 0);
  if (!app.pluginWindow && IsWindowVisible(app.window)) InvalidateRect(app.window, nullptr, FALSE);
}

// The plug-in window's text on the browser's status line: the plug-in shows it when asked.
void ShowStatus(const char* text) {
  if (!app.pluginWindow) return;
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(app.pluginWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, STATUS_WAIT_MS, &ignored);
  SendMessageTimeoutA(app.pluginWindow, app.whoAmIMessage, WHOAMI_STATUSTEXT, 0, SMTO_ABORTIFHUNG,
                      STATUS_WAIT_MS, &ignored);
}

// Gives the plug-in window back: our window is a top-level window again, shown as before.
void LetGoOfPlugin(void) {
  if (!app.pluginWindow) return;
  ShowWindow(app.window, SW_HIDE);
  SetParent(app.window, nullptr);
  SetWindowLongA(app.window, GWL_STYLE, WS_OVERLAPPEDWINDOW);
  SetWindowPos(app.window, nullptr, CW_USEDEFAULT, CW_USEDEFAULT, OWN_WIDTH, OWN_HEIGHT,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED |
                   (app.ownWindowShown ? SWP_SHOWWINDOW : 0));
  app.pluginWindow = nullptr;
  app.pluginInstance = 0;
}

// Our window becomes a child filling the plug-in window: the plug-in then sees its window as
// our parent and leaves the painting to us.
void ShowInPlugin(HWND plugin, LPARAM instance) {
  if (!plugin || !IsWindow(plugin) || plugin == app.pluginWindow) return;
  if (app.pluginWindow)
    LetGoOfPlugin();
  else
    app.ownWindowShown = IsWindowVisible(app.window);
  ShowWindow(app.window, SW_HIDE);
  SetWindowLongA(app.window, GWL_STYLE, WS_CHILD | WS_CLIPSIBLINGS);
  if (!SetParent(app.window, plugin) && GetParent(app.window) != plugin) {
    SetWindowLongA(app.window, GWL_STYLE, WS_OVERLAPPEDWINDOW);
    return;
  }
  app.pluginWindow = plugin;
  app.pluginInstance = instance;
  RECT area;
  GetClientRect(plugin, &area);
  SetWindowPos(app.window, HWND_TOP, 0, 0, area.right, area.bottom, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  char status[96];
  snprintf(status, sizeof status, "The Nuvora Network: %d headlines", app.headlineCount);
  ShowStatus(status);
  DrawLentArea(app.pluginWindow, 0);
}

// The plug-in window may change size while we are in it.
void FollowPluginSize(void) {
  RECT area, ours;
  if (!app.pluginWindow || !GetClientRect(app.pluginWindow, &area)) return;
  GetClientRect(app.window, &ours);
  if (ours.right != area.right || ours.bottom != area.bottom)
    SetWindowPos(app.window, nullptr, 0, 0, area.right, area.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Prints the headlines on the default printer (win.ini [windows] device=NAME,DRIVER,PORT) and
// tells the browser's status line how it went.
void PrintHeadlines(void) {
  char device[APP_PATH_SIZE];
  GetProfileStringA("windows", "device", "", device, sizeof device);
  char* comma = strchr(device, ',');
  if (comma) *comma = '\0';
  HDC printer = device[0] ? CreateDCA(nullptr, device, nullptr, nullptr) : nullptr;
  if (!printer) {
    ShowStatus("The Nuvora Network: no printer, nothing printed");
    return;
  }
  DOCINFOA document;
  memset(&document, 0, sizeof document);
  document.cbSize = sizeof document;
  document.lpszDocName = "Nuvora headlines";
  int printed = 0;
  if (StartDocA(printer, &document) > 0 && StartPage(printer) > 0) {
    int lineHeight = GetDeviceCaps(printer, LOGPIXELSY) / 3;
    for (int i = 0; i < app.headlineCount; ++i, ++printed)
      TextOutA(printer, lineHeight, lineHeight * (i + 1), app.headlines[i],
               static_cast<int>(strlen(app.headlines[i])));
    EndPage(printer);
    EndDoc(printer);
  }
  DeleteDC(printer);
  char status[96];
  snprintf(status, sizeof status, "The Nuvora Network: %d headlines printed", printed);
  ShowStatus(status);
}

void Rotate(int step) {
  if (app.headlineCount == 0) return;
  app.firstHeadline = ((app.firstHeadline + step) % app.headlineCount + app.headlineCount) % app.headlineCount;
}

int HeadlineAt(LPARAM clientPoint) {
  POINT point = {static_cast<short>(LOWORD(clientPoint)), static_cast<short>(HIWORD(clientPoint))};
  for (int i = 0; i < app.spotCount; ++i)
    if (PtInRect(&app.spots[i].rect, point)) return app.spots[i].index;
  return -1;
}

// The reply to one message of the saver window: 0 lets the saver's own rules act on it (a key
// or a click elsewhere ends the saver), nonzero claims it.
LRESULT OnSaverInput(const SaverInputRecord& input) {
  switch (input.message) {
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_KEYUP:
      // With Alt+click chosen, Alt itself must not end the saver: it is claimed and followed.
      if (input.wParam != VK_MENU || !app.altClickSelects) return 0;
      app.altDown = input.message == WM_SYSKEYDOWN;
      return CLAIMED;
    case WM_KEYDOWN:
      return 0;
    case WM_MOUSEMOVE:
      return CLAIMED;  // the pointer may travel to a headline
    case WM_SETCURSOR: {
      POINT point;
      GetCursorPos(&point);
      ScreenToClient(app.saverWindow, &point);
      return HeadlineAt(MAKELPARAM(point.x, point.y)) >= 0 ? SAVER_HAND_CURSOR
                                                          : reinterpret_cast<LRESULT>(IDC_ARROW);
    }
    case WM_LBUTTONDOWN: {
      int index = HeadlineAt(static_cast<LPARAM>(input.lParam));
      // The user's choice in the saver's settings: a plain click, or only a click with Alt down.
      if (index < 0 || (app.altClickSelects && !app.altDown)) return 0;
      app.chosenHeadline = index;
      // Our window comes forward when the saver ends, to show the story.
      DWORD_PTR ignored = 0;
      SendMessageTimeoutA(app.saverWindow, app.whoAmIMessage, WHOAMI_REACTIVATE, 0, SMTO_ABORTIFHUNG,
                          STATUS_WAIT_MS, &ignored);
      PostMessageA(app.window, REDRAW_LENT, 0, 0);
      return CLAIMED;
    }
    case WM_ERASEBKGND:
      PostMessageA(app.window, REDRAW_LENT, 0, 0);
      return CLAIMED;  // the saver leaves our content alone; we draw it again
  }
  return 0;
}

LRESULT OnCopyData(const COPYDATASTRUCT* data) {
  if (!data || data->dwData != LM_SAVERINPUT || data->cbData != sizeof(SaverInputRecord) || !data->lpData)
    return 0;
  SaverInputRecord input;
  memcpy(&input, data->lpData, sizeof input);
  if (!app.saverWindow || reinterpret_cast<HWND>(static_cast<UINT_PTR>(input.window)) != app.saverWindow)
    return 0;
  return OnSaverInput(input);
}

void OnTick(void) {
  ++app.ticks;
  if (app.ticks % ROTATE_TICKS == 0) Rotate(1);
  FollowPluginSize();
  DrawEverywhere();
}

void PaintOwnWindow(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  if (dc && !app.pluginWindow) PaintContent(dc, client.right, client.bottom, 0, nullptr, nullptr);
  EndPaint(window, &paint);
  if (app.pluginWindow) DrawLentArea(app.pluginWindow, 0);
}

// After a "PluginClosing": only a page element that still lives passes a scroll of its window on
// to us. The send is handled once the browser has finished with the element that went away.
void LookAgain(void) {
  HWND left = app.leftWindow;
  app.leftWindow = nullptr;
  DWORD_PTR answer = 0;
  if (left && !app.pluginWindow &&
      SendMessageTimeoutA(left, WM_VSCROLL, SB_ENDSCROLL, 0, SMTO_ABORTIFHUNG, STATUS_WAIT_MS, &answer) &&
      answer == STILL_SERVED)
    ShowInPlugin(left, app.leftInstance);
}

// The link's messages in the order the protocol lists them, then this window's own.
LRESULT CALLBACK AppWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == app.whoAmIMessage) return wParam == WHOAMI_APP ? LRESULT{WHOAMI_APP} : 0;
  if (message == app.showAgainMessage) {
    ShowInPlugin(reinterpret_cast<HWND>(wParam), lParam);
    return 0;
  }
  if (message == app.closingMessage) {
    // It names no page element, and the one going away may be ours, whose window then goes with
    // ours inside: step out at once, and go back once the closing is over if ours still lives.
    if (app.pluginWindow) {
      app.leftWindow = app.pluginWindow;
      app.leftInstance = app.pluginInstance;
      LetGoOfPlugin();
      PostMessageA(window, LOOK_AGAIN, 0, 0);
    }
    return 0;
  }
  switch (message) {
    case LM_SAVERSTARTED:
      app.saverWindow = reinterpret_cast<HWND>(wParam);
      app.saverProcess = static_cast<DWORD>(lParam);
      app.chosenHeadline = -1;
      app.altDown = 0;
      app.altClickSelects =
          GetPrivateProfileIntA("", "StopOnMouseMove", 0, "control.ini") != 0 ? 1 : 0;
      DrawLentArea(app.saverWindow, 1);
      return 0;
    case LM_SAVERENDING:
      if (reinterpret_cast<HWND>(wParam) == app.saverWindow || !app.saverWindow) {
        app.saverWindow = nullptr;
        app.spotCount = 0;
      }
      return 0;
    case WM_COPYDATA:
      return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case LM_GETPALETTE:
      return reinterpret_cast<LRESULT>(app.palette);
    case LM_QUERYENGAGED:
      return app.saverWindow || app.pluginWindow ? 1 : 0;
    case LM_PLUGINPRINT:
      PrintHeadlines();
      return 0;
    case LM_PLUGINVSCROLL:
    case LM_PLUGINHSCROLL:
      if (LOWORD(wParam) == SB_ENDSCROLL) return STILL_SERVED;  // see LookAgain
      switch (LOWORD(wParam)) {
        case SB_LINEUP:
        case SB_PAGEUP:
          Rotate(-1);
          break;
        case SB_LINEDOWN:
        case SB_PAGEDOWN:
          Rotate(1);
          break;
      }
      DrawEverywhere();
      return 0;
    case REDRAW_LENT:
      DrawEverywhere();
      return 0;
    case LOOK_AGAIN:
      LookAgain();
      return 0;
    case WM_TIMER:
      if (wParam == TICK_TIMER) OnTick();
      return 0;
    case WM_PAINT:
      PaintOwnWindow(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers the whole window
    case WM_CLOSE:
      LetGoOfPlugin();
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      KillTimer(window, TICK_TIMER);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// " PLUGIN WINDOW INSTANCE" after the program's path (which may hold spaces, unquoted).
int ReadPluginArguments(const char* commandLine, HWND* window, LPARAM* instance) {
  const char* keyword = strstr(commandLine, " PLUGIN ");
  if (!keyword) return 0;
  long handle = 0, reference = 0;
  if (sscanf(keyword + 8, "%ld %ld", &handle, &reference) != 2) return 0;
  *window = reinterpret_cast<HWND>(static_cast<INT_PTR>(handle));
  *instance = static_cast<LPARAM>(reference);
  return 1;
}

BOOL CALLBACK FindRunningCopy(HWND window, LPARAM found) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(window, app.whoAmIMessage, WHOAMI_APP, 0, SMTO_ABORTIFHUNG, STATUS_WAIT_MS, &answer) ||
      answer != WHOAMI_APP)
    return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  app.chosenHeadline = -1;
  app.whoAmIMessage = RegisterWindowMessageA(QUIB_WHOAMI_NAME);
  app.showAgainMessage = RegisterWindowMessageA(PLUGIN_SHOW_AGAIN_NAME);
  app.closingMessage = RegisterWindowMessageA(PLUGIN_CLOSING_NAME);
  HWND plugin = nullptr;
  LPARAM pluginInstance = 0;
  int forPlugin = ReadPluginArguments(GetCommandLineA(), &plugin, &pluginInstance);
  // One running copy: two quick window changes may start two. A later copy hands its page
  // element to the running one, when that one's window already answers, and ends.
  CreateMutexA(nullptr, FALSE, ONE_COPY);
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    HWND running = nullptr;
    EnumChildWindows(GetDesktopWindow(), FindRunningCopy, reinterpret_cast<LPARAM>(&running));
    if (running && forPlugin) PostMessageA(running, app.showAgainMessage, reinterpret_cast<WPARAM>(plugin), pluginInstance);
    return 0;
  }
  ReadHeadlines();
  app.palette = MakePalette();

  WNDCLASSA windowClass;
  memset(&windowClass, 0, sizeof windowClass);
  windowClass.lpfnWndProc = AppWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = APP_CLASS;
  if (!RegisterClassA(&windowClass)) return 2;
  app.window = CreateWindowExA(0, APP_CLASS, APP_TITLE, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                               CW_USEDEFAULT, OWN_WIDTH, OWN_HEIGHT, nullptr, nullptr, instance, nullptr);
  if (!app.window) return 3;
  SetTimer(app.window, TICK_TIMER, TICK_MS, nullptr);

  if (forPlugin && IsWindow(plugin))
    ShowInPlugin(plugin, pluginInstance);
  else
    ShowWindow(app.window, showCommand);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (app.palette) DeleteObject(app.palette);
  return 0;
}

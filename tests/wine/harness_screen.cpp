// The harness: windows of the test, real input, and the pixels on the screen.
#include "harness.h"

#include <cstdio>

namespace harness {

namespace {
const char TEST_WINDOW_CLASS[] = "NvrTestWindow";

// Hands each message to the procedure the window was made with, if any.
LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    CREATESTRUCTA* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  WNDPROC procedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_USERDATA));
  return procedure ? procedure(window, message, wParam, lParam)
                   : DefWindowProcA(window, message, wParam, lParam);
}
}  // namespace

TestWindow::TestWindow(const char* title, int clientWidth, int clientHeight, DWORD style,
                       WNDPROC procedure, int x, int y) {
  WNDCLASSA wc;
  ZeroMemory(&wc, sizeof wc);
  wc.lpfnWndProc = TestWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = TEST_WINDOW_CLASS;
  RegisterClassA(&wc);  // fails harmlessly when an earlier window registered it
  RECT rect = {0, 0, clientWidth, clientHeight};
  AdjustWindowRect(&rect, style, FALSE);
  window_ = CreateWindowExA(0, TEST_WINDOW_CLASS, title, style, x, y, rect.right - rect.left,
                            rect.bottom - rect.top, nullptr, nullptr, GetModuleHandleA(nullptr),
                            reinterpret_cast<void*>(procedure));
}

TestWindow::~TestWindow() {
  if (IsWindow(window_)) DestroyWindow(window_);
}

bool MakeForeground(HWND window) {
  SetForegroundWindow(window);
  return WaitUntil([&] { return GetForegroundWindow() == window; }, 5000);
}

bool HasKeyboard(HWND window) {
  GUITHREADINFO info;
  ZeroMemory(&info, sizeof info);
  info.cbSize = sizeof info;
  return GetForegroundWindow() == window &&
         GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
         info.hwndFocus == window;
}

bool GiveKeyboard(HWND window, const char* why) {
  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  auto active = [&] {
    GUITHREADINFO info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread, &info) && info.hwndActive == window;
  };
  if (active()) return true;
  KNOWN_DEVIATION(why);
  return WaitUntil(
      [&] {
        if (active()) return true;
        SetForegroundWindow(window);
        return false;
      },
      5000);
}

namespace {
INPUT KeyInput(WORD key, DWORD flags) {
  INPUT one;
  ZeroMemory(&one, sizeof one);
  one.type = INPUT_KEYBOARD;
  one.ki.wVk = key;
  one.ki.dwFlags = flags;
  return one;
}
}  // namespace

void PressKeys(const std::vector<WORD>& downInOrder) {
  std::vector<INPUT> input;
  for (WORD key : downInOrder) input.push_back(KeyInput(key, 0));
  for (size_t i = downInOrder.size(); i-- > 0;) input.push_back(KeyInput(downInOrder[i], KEYEVENTF_KEYUP));
  SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

void ReleaseKey(WORD virtualKey) {
  INPUT up = KeyInput(virtualKey, KEYEVENTF_KEYUP);
  SendInput(1, &up, sizeof up);
}

void Click(DWORD downFlag, DWORD upFlag) {
  INPUT input[2];
  ZeroMemory(input, sizeof input);
  input[0].type = INPUT_MOUSE;
  input[0].mi.dwFlags = downFlag;
  input[1] = input[0];
  input[1].mi.dwFlags = upFlag;
  SendInput(2, input, sizeof(INPUT));
}

namespace {
BOOL CALLBACK NoteSecondMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM found) {
  MONITORINFO info;
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info) && !(info.dwFlags & MONITORINFOF_PRIMARY))
    *reinterpret_cast<RECT*>(found) = info.rcMonitor;
  return TRUE;
}
}  // namespace

testing::AssertionResult SecondMonitor(RECT* monitor) {
  SetRectEmpty(monitor);
  EnumDisplayMonitors(nullptr, nullptr, NoteSecondMonitor, reinterpret_cast<LPARAM>(monitor));
  if (GetSystemMetrics(SM_CMONITORS) == 2 && !IsRectEmpty(monitor))
    return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << "this test needs the two-monitor bed (NVR_MONITORS=right or left); the system "
            "reports " << GetSystemMetrics(SM_CMONITORS) << " monitor(s)";
}

RECT VirtualScreen() {
  int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

std::string Show(const RECT& r) {
  char text[96];
  snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", static_cast<long>(r.left),
           static_cast<long>(r.top), static_cast<long>(r.right), static_cast<long>(r.bottom));
  return text;
}

bool MoveCursor(int x, int y) {
  auto there = [&] {
    POINT at;
    return GetCursorPos(&at) && at.x == x && at.y == y;
  };
  SetCursorPos(x, y);
  if (WaitUntil(there, 1000)) return true;
  // Wine keeps a cursor position of its own beside the X server's. A move that the X server did
  // not take (while a full-screen window's process held the pointer) leaves the two apart, and
  // a later move to where Wine already has the cursor moves nothing: step aside and back.
  SetCursorPos(x + 1, y);
  SetCursorPos(x, y);
  return WaitUntil(there, 4000);
}

bool GetShownCursor(HCURSOR* cursor) {
  CURSORINFO info;
  ZeroMemory(&info, sizeof info);
  info.cbSize = sizeof info;
  if (!GetCursorInfo(&info)) return false;
  *cursor = (info.flags & CURSOR_SHOWING) ? info.hCursor : nullptr;
  return true;
}

void WaitTicks(DWORD since, DWORD ms) {
  // The programs' own intervals run on the same system clock.
  WaitUntil([&] { return GetTickCount() - since >= ms; }, ms + 1000);
}

Rgb BitmapRgb(HBITMAP bitmap, int width, int height) {
  BITMAPINFO info;
  ZeroMemory(&info, sizeof info);
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<unsigned char> bgrx(static_cast<size_t>(width) * height * 4);
  HDC screen = GetDC(nullptr);
  int lines = GetDIBits(screen, bitmap, 0, height, bgrx.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  Rgb rgb;
  if (lines != height) return rgb;
  rgb.reserve(static_cast<size_t>(width) * height * 3);
  for (size_t k = 0; k < bgrx.size(); k += 4) {
    rgb.push_back(bgrx[k + 2]);
    rgb.push_back(bgrx[k + 1]);
    rgb.push_back(bgrx[k]);
  }
  return rgb;
}

Rgb ScreenRgb(int x, int y, int width, int height) {
  Rgb rgb;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BOOL copied = BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (copied) rgb = BitmapRgb(bitmap, width, height);
  DeleteObject(bitmap);
  return rgb;
}

Rgb SolidRgb(int width, int height, COLORREF colour) {
  Rgb rgb;
  for (int k = 0; k < width * height; ++k) {
    rgb.push_back(GetRValue(colour));
    rgb.push_back(GetGValue(colour));
    rgb.push_back(GetBValue(colour));
  }
  return rgb;
}

bool AllBlack(const Rgb& rgb) {
  if (rgb.empty()) return false;
  for (unsigned char c : rgb)
    if (c) return false;
  return true;
}

long FirstDifference(const Rgb& a, const Rgb& b) {
  if (a.size() != b.size()) return 0;
  for (size_t k = 0; k < a.size(); ++k)
    if (a[k] != b[k]) return static_cast<long>(k / 3);
  return -1;
}

namespace {
// A 24-bit bottom-up bitmap file of the pixels.
std::vector<unsigned char> BitmapFile(const Rgb& rgb, int width, int height) {
  DWORD row = (static_cast<DWORD>(width) * 3 + 3) & ~3u, image = row * height;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + image;
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  std::vector<unsigned char> bytes(file.bfSize, 0);
  memcpy(bytes.data(), &file, sizeof file);
  memcpy(bytes.data() + sizeof file, &info, sizeof info);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const unsigned char* c = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      unsigned char* p = &bytes[file.bfOffBits + (height - 1 - y) * row + x * 3];
      p[0] = c[2];
      p[1] = c[1];
      p[2] = c[0];
    }
  return bytes;
}
}  // namespace

Rgb PatternPixels(int width, int height) {
  Rgb rgb;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      rgb.push_back(static_cast<unsigned char>(x * 5 + 17));
      rgb.push_back(static_cast<unsigned char>(y * 3 + 40));
      rgb.push_back(static_cast<unsigned char>((x ^ y) | 0x21));
    }
  return rgb;
}

std::vector<unsigned char> PatternBitmapFile(int width, int height) {
  return BitmapFile(PatternPixels(width, height), width, height);
}

}  // namespace harness

#include "saver/bridge/saver_window_win.h"

#include "common/link_protocol.h"
#include "saver/bridge/app_launch_win.h"
#include "saver/bridge/bridge_state_win.h"
#include "saver/bridge/reply_table.h"
#include "saver/bridge/splash_win.h"
#include "saver/host/dismissal_win.h"
#include "saver/host/frame_state_win.h"
#include "saver/host/screen_area.h"

// The reply table names the platform's messages by number.
static_assert(MSG_CLOSE == WM_CLOSE, "MSG_CLOSE");
static_assert(MSG_SETCURSOR == WM_SETCURSOR, "MSG_SETCURSOR");
static_assert(MSG_KEYDOWN == WM_KEYDOWN, "MSG_KEYDOWN");
static_assert(MSG_KEYUP == WM_KEYUP, "MSG_KEYUP");
static_assert(MSG_MOUSEMOVE == WM_MOUSEMOVE, "MSG_MOUSEMOVE");
static_assert(MSG_LBUTTONDOWN == WM_LBUTTONDOWN, "MSG_LBUTTONDOWN");
static_assert(MSG_RBUTTONDOWN == WM_RBUTTONDOWN, "MSG_RBUTTONDOWN");
static_assert(MSG_MBUTTONDOWN == WM_MBUTTONDOWN, "MSG_MBUTTONDOWN");

namespace {

LRESULT AnswerWhoAmI(WPARAM code) {
  if (code == WHOAMI_SAVER) return 1;
  if (code == WHOAMI_REACTIVATE) bridgeState.reactivateWindow = bridgeState.appWindow;
  return 0;
}

LRESULT OnCreate(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  BridgeState& s = bridgeState;
  s.paintedOnce = 0;
  s.startedNoticeSent = 0;
  if (!s.createdOnce) {
    s.createdOnce = 1;
    s.isPreview = IsPreviewWindow(window);
    if (!s.isPreview && !FindOrLaunchMainApplication()) return -1;
  }
  s.splashBitmap = LoadSplashBitmap(s.isPreview);
  return DefaultInputProc(window, message, wParam, lParam);
}

LRESULT OnDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (bridgeState.splashBitmap) {
    DeleteObject(bridgeState.splashBitmap);
    bridgeState.splashBitmap = nullptr;
  }
  ReleaseMainApplication();
  return DefaultInputProc(window, message, wParam, lParam);
}

// Where the splash is centred: the preview's whole client area; in full screen the primary
// monitor, so that the picture never lies across the seam between two monitors.
ScreenArea SplashArea(HWND window) {
  RECT client = {0, 0, 0, 0};
  GetClientRect(window, &client);
  if (bridgeState.isPreview) return {0, 0, client.right, client.bottom};
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  return PrimaryAreaInClient(origin.x, origin.y, client.right, client.bottom,
                             GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

// Draws the splash centred through a window device context, under the application's palette.
void PaintSplash(HWND window) {
  HPALETTE palette = bridgeState.appWindow ? AskApplicationPalette() : nullptr;
  HBITMAP bitmap = bridgeState.splashBitmap;
  if (!bitmap) return;
  HDC windowDc = GetDC(window);
  if (!windowDc) return;
  HPALETTE oldPalette = SelectPalette(windowDc, palette, FALSE);
  RealizePalette(windowDc);
  BITMAP shape;
  ZeroMemory(&shape, sizeof shape);
  GetObjectA(bitmap, sizeof shape, &shape);
  HDC memoryDc = CreateCompatibleDC(windowDc);
  if (memoryDc) {
    HGDIOBJ oldBitmap = SelectObject(memoryDc, bitmap);
    ScreenArea area = SplashArea(window);
    int x = area.x + CentreOffset(0, area.width, shape.bmWidth);
    int y = area.y + CentreOffset(0, area.height, shape.bmHeight);
    if (oldBitmap) {
      BitBlt(windowDc, x, y, shape.bmWidth, shape.bmHeight, memoryDc, 0, 0, SRCCOPY);
      SelectObject(memoryDc, oldBitmap);
    }
    DeleteDC(memoryDc);
  }
  if (oldPalette) SelectPalette(windowDc, oldPalette, FALSE);
  ReleaseDC(window, windowDc);
}

LRESULT OnPaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  BridgeState& s = bridgeState;
  if (!s.paintedOnce || s.isPreview) {
    PaintSplash(window);
    s.paintedOnce = 1;
  }
  if (!s.startedNoticeSent) {
    s.startedNoticeSent = 1;
    if (s.appWindow)
      PostMessageA(s.appWindow, LM_SAVERSTARTED, reinterpret_cast<WPARAM>(window),
                   static_cast<LPARAM>(GetCurrentProcessId()));
  }
  if (s.isPreview) return 0;
  return DefaultInputProc(window, message, wParam, lParam);
}

void ShowNamedCursor(LRESULT reply) {
  UINT id = CursorIdFromReply(reply);
  if (!id) return;
  HCURSOR cursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(id));
  if (!cursor) cursor = LoadCursorA(frameState.moduleInstance, MAKEINTRESOURCEA(id));
  if (cursor) SetCursor(cursor);
}

// Once the application has stopped answering, the saver must hold the keyboard itself: an
// activation that was under way while it waited for the application may have been lost.
void ReclaimActivation(HWND window) {
  if (!frameState.previewMode && !GetActiveWindow()) SetForegroundWindow(window);
}

// Offers the message to the application; its reply decides what becomes of it.
LRESULT OfferToApplication(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Once the close is approved the window is on its way out: what the platform sends while it
  // goes (activation, focus, position) is nothing the application can act on, and it is told
  // with LM_SAVERENDING. Offering each would keep the user's screen covered for two round trips
  // a message.
  if (!bridgeState.appWindow || frameState.closeApproved)
    return DefaultInputProc(window, message, wParam, lParam);
  if (bridgeState.appStoppedAnswering) {
    ReclaimActivation(window);
    return DefaultInputProc(window, message, wParam, lParam);
  }
  LRESULT answer = 0;
  if (!SendToApplication(whoAmIMessage, WHOAMI_APP, 0, APP_PROBE_TIMEOUT_MS, &answer)) {
    ReclaimActivation(window);
    return DefaultInputProc(window, message, wParam, lParam);
  }
  if (answer != WHOAMI_APP) return DefaultInputProc(window, message, wParam, lParam);

  SaverInputRecord& record = bridgeState.inputRecord;
  // The record carries the platform's 32-bit values; handles fit in 32 bits.
  record.window = static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(window));
  record.message = message;
  record.wParam = static_cast<uint32_t>(wParam);
  record.lParam = static_cast<uint32_t>(lParam);
  COPYDATASTRUCT data;
  data.dwData = LM_SAVERINPUT;
  data.cbData = sizeof record;
  data.lpData = &record;
  LRESULT reply = 0;
  if (!SendToApplication(WM_COPYDATA, reinterpret_cast<WPARAM>(window),
                         reinterpret_cast<LPARAM>(&data), APP_FORWARD_TIMEOUT_MS, &reply))
    ReclaimActivation(window);

  switch (ChooseReplyAction(message, reply)) {
    case REPLY_PASS_ON:
      return DefaultInputProc(window, message, wParam, lParam);
    case REPLY_SWALLOW:
      return 0;
    case REPLY_SET_CURSOR:
      ShowNamedCursor(reply);
      return 0;
    case REPLY_RETURN_REPLY:
      return reply;
  }
  return reply;
}

}  // namespace

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Until the first search the number is 0, which must not claim WM_NULL.
  if (whoAmIMessage && message == whoAmIMessage) return AnswerWhoAmI(wParam);
  switch (message) {
    case WM_CREATE:
      return OnCreate(window, message, wParam, lParam);
    case WM_DESTROY:
      return OnDestroy(window, message, wParam, lParam);
    case WM_PAINT:
      return OnPaint(window, message, wParam, lParam);
    default:
      return OfferToApplication(window, message, wParam, lParam);
  }
}

#include "saver/host/dismissal_win.h"

#include "saver/bridge/app_launch_win.h"
#include "saver/host/dismissal.h"
#include "saver/host/frame_state_win.h"

namespace {

void PostCloseRequest(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

// Movement is measured from where the cursor was remembered, not from the last message, so
// small movements add up until together they pass the threshold.
void ApplyMouseRule(HWND window) {
  POINT now;
  if (!GetCursorPos(&now)) return;
  if (MouseMoveCloses(frameState.rememberedCursor.x, frameState.rememberedCursor.y, now.x,
                      now.y)) {
    PostCloseRequest(window);
    frameState.rememberedCursor = now;
  }
}

}  // namespace

LRESULT CALLBACK DefaultInputProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // A preview, and a saver that is already closing, apply no rule.
  if (frameState.previewMode || frameState.closeApproved)
    return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_CLOSE) {
    if (VerifyPassword(window)) {
      TellApplicationSaverEnding();
      return DefWindowProcA(window, message, wParam, lParam);
    }
    // Refused: the mouse must move anew before it counts as a reason to close.
    GetCursorPos(&frameState.rememberedCursor);
    return 0;
  }
  if (message == SSM_VERIFYPASSWORD)
    return frameState.verifyPasswordProc ? frameState.verifyPasswordProc(window) : 1;
  // While the prompt runs, no input closes and the cursor stays visible for it.
  if (frameState.verifyingPassword) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_SHOWWINDOW:
      if (wParam) SetCursor(nullptr);
      break;
    case WM_SETCURSOR:
      SetCursor(nullptr);
      return 1;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      PostCloseRequest(window);
      break;
    case WM_MOUSEMOVE:
      ApplyMouseRule(window);
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

DWORD VerifyPassword(HWND window) {
  if (frameState.verifyingPassword) return 0;  // a prompt is already on screen
  if (!frameState.verifyPasswordProc) {
    frameState.closeApproved = 1;
    return 1;
  }
  if (RefuseWithoutPrompt(frameState.lastVerifyTick, GetTickCount()))
    return frameState.closeApproved;
  frameState.verifyingPassword = 1;
  // Timer messages queued before the prompt would only reach the window behind it.
  MSG pending;
  PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
  PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
  // Sent down the whole chain, so that an earlier link may answer in place of the module.
  LRESULT result = SendMessageA(window, SSM_VERIFYPASSWORD, 0, 0);
  frameState.closeApproved = result != 0;
  frameState.verifyingPassword = 0;
  if (!result) SetCursor(nullptr);
  frameState.lastVerifyTick = GetTickCount();
  return frameState.closeApproved;
}

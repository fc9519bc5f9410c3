#include "saver/host/frame_window_win.h"

#include "saver/bridge/saver_window_win.h"
#include "saver/host/password_module_win.h"
#include "saver/host/frame_state_win.h"
#include "saver/resources/resource_ids.h"

namespace {

const char SAVER_CLASS[] = "WindowsScreenSaverClass";
const char FULL_SCREEN_TITLE[] = "Screen Saver";
const char PREVIEW_TITLE[] = "Preview";
const DWORD FULL_SCREEN_STYLE = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
const DWORD PREVIEW_STYLE = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
const UINT HELP_SEND_LIMIT_MS = 2000;

// The input method would otherwise open its composition window over the saver.
void DetachInputContext(HWND window) {
  frameState.imeModule = GetModuleHandleA("IMM32.DLL");  // only if the process already has it
  if (!frameState.imeModule) return;
  frameState.associateContextProc =
      FindEntry<ImmAssociateContextProc>(frameState.imeModule, "ImmAssociateContext");
  if (frameState.associateContextProc)
    frameState.savedInputContext = frameState.associateContextProc(window, nullptr);
}

void RestoreInputContext(HWND window) {
  if (frameState.imeModule && frameState.associateContextProc && frameState.savedInputContext)
    frameState.associateContextProc(window, frameState.savedInputContext);
}

// Help and the context menu of the preview belong to the dialog around it.
void ForwardToParent(HWND window, UINT message, LPARAM lParam) {
  HWND parent = GetParent(window);
  if (!parent || !IsWindow(parent)) return;
  WPARAM self = reinterpret_cast<WPARAM>(parent);
  // The NT family refuses to post a message that carries a pointer (WM_HELP's HELPINFO); such a
  // message reaches another thread only when sent, and then not for longer than a moment.
  if (!PostMessageA(parent, message, self, lParam) &&
      GetLastError() == ERROR_MESSAGE_SYNC_ONLY) {
    DWORD_PTR ignored;
    SendMessageTimeoutA(parent, message, self, lParam, SMTO_ABORTIFHUNG, HELP_SEND_LIMIT_MS,
                        &ignored);
  }
}

// Switching to another window and a new saver start are refused while the saver covers the screen.
bool IsRefusedCommand(WPARAM command) {
  return command == SC_NEXTWINDOW || command == SC_PREVWINDOW || command == SC_SCREENSAVE;
}

}  // namespace

ScreenArea SaverScreenArea(void) {
  ScreenMetrics metrics;
  metrics.virtualX = GetSystemMetrics(SM_XVIRTUALSCREEN);
  metrics.virtualY = GetSystemMetrics(SM_YVIRTUALSCREEN);
  metrics.virtualWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  metrics.virtualHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  metrics.screenWidth = GetSystemMetrics(SM_CXSCREEN);
  metrics.screenHeight = GetSystemMetrics(SM_CYSCREEN);
  return FullScreenArea(metrics);
}

int RunSaver(HWND parent) {
  WNDCLASSA windowClass;
  ZeroMemory(&windowClass, sizeof windowClass);
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
  windowClass.lpfnWndProc = FrameWindowProc;
  windowClass.hInstance = frameState.moduleInstance;
  windowClass.hIcon = LoadIconA(frameState.moduleInstance, MAKEINTRESOURCEA(IDI_SAVER));
  windowClass.hCursor = nullptr;  // the procedures set the cursor themselves
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = SAVER_CLASS;

  ScreenArea area = {0, 0, 0, 0};
  const char* title;
  DWORD style, extendedStyle;
  if (parent) {
    RECT client = {0, 0, 0, 0};
    GetClientRect(parent, &client);
    area.width = client.right;
    area.height = client.bottom;
    title = PREVIEW_TITLE;
    style = PREVIEW_STYLE;
    extendedStyle = 0;
    frameState.previewMode = 1;
  } else {
    // Every monitor: input anywhere must meet the saver, and nothing may be reached past it.
    area = SaverScreenArea();
    title = FULL_SCREEN_TITLE;
    style = FULL_SCREEN_STYLE;
    // One full-screen saver at a time: bring the running one forward instead.
    HWND running = FindWindowA(SAVER_CLASS, FULL_SCREEN_TITLE);
    if (running && IsWindow(running)) {
      SetForegroundWindow(running);
      return 0;
    }
    LoadPasswordModule();
    extendedStyle = WS_EX_TOPMOST;
  }

  MSG message;
  message.wParam = 0;
  if (RegisterClassA(&windowClass)) {
    frameState.saverWindow =
        CreateWindowExA(extendedStyle, SAVER_CLASS, title, style, area.x, area.y, area.width,
                        area.height, parent, nullptr, frameState.moduleInstance, nullptr);
  }
  if (frameState.saverWindow) {
    if (!frameState.previewMode) SetForegroundWindow(frameState.saverWindow);
    // -1 (a failed read) ends the loop too rather than spinning on it.
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  UnloadPasswordModule();
  return static_cast<int>(message.wParam);
}

LRESULT CALLBACK FrameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      DetachInputContext(window);
      GetCursorPos(&frameState.rememberedCursor);
      if (!frameState.previewMode) SetCursor(nullptr);
      break;
    case WM_DESTROY:
      RestoreInputContext(window);
      PostQuitMessage(0);
      break;
    case WM_SETTEXT:
      return 0;  // the title never changes
    case WM_PAINT:
      if (frameState.closeApproved) return DefWindowProcA(window, message, wParam, lParam);
      if (!frameState.previewMode) SetCursor(nullptr);
      break;
    case WM_HELP:
    case WM_CONTEXTMENU:
      if (frameState.previewMode) {
        ForwardToParent(window, message, lParam);
        return 1;
      }
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      // Once closing, input no longer reaches the main application.
      if (frameState.closeApproved) return DefWindowProcA(window, message, wParam, lParam);
      break;
    case WM_IME_SETCONTEXT:
      // A window on its way out has no composition to show or hide; the default handling would
      // load the input-method machinery into the process just for this, between the key and
      // the end.
      if (frameState.closeApproved) return 0;
      break;
    case WM_SYSCOMMAND:
      if (!frameState.previewMode && IsRefusedCommand(wParam)) return 0;
      break;
    case WM_TIMER:
      if (frameState.closeApproved) return 0;
      Sleep(0);  // yield the rest of the time slice
      break;
  }
  return SaverWindowProc(window, message, wParam, lParam);
}

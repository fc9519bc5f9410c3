// The plug-in window's procedure while the plug-in holds the window: the application's status
// text, the placeholder while the application is engaged elsewhere, scrolling passed on.
#include "common/app_search_win.h"
#include "common/link_protocol.h"
#include "plugin/handoff.h"
#include "plugin/instance_records_win.h"
#include "plugin/resource_ids.h"

namespace {

const int STATUS_TEXT_SIZE = 256;  // at most 255 characters and the terminator
const char MODULE_NAME[] = "NPNVR";

// The module's bitmap resource as a device-dependent bitmap made under palette (or none), or
// null. The caller deletes it.
HBITMAP LoadResourceBitmap(HMODULE module, UINT resourceId, HPALETTE palette) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(resourceId), MAKEINTRESOURCEA(2));
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(module, found);
  const BYTE* packed = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  // The rows' place and size come from the header, checked against the resource's own size.
  int32_t pixelOffset = PackedDibPixelOffset(packed, SizeofResource(module, found));
  if (pixelOffset < 0) return nullptr;
  HDC screen = GetDC(nullptr);
  HPALETTE replaced = nullptr;
  if (palette) {
    replaced = SelectPalette(screen, palette, FALSE);
    RealizePalette(screen);
  }
  const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(packed);
  HBITMAP bitmap = CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, packed + pixelOffset, info,
                                  DIB_RGB_COLORS);
  if (palette && replaced) SelectPalette(screen, replaced, FALSE);
  ReleaseDC(nullptr, screen);
  FreeResource(loaded);
  return bitmap;
}

// The placeholder: the client area black, the logo centred on it under the application's palette
// (none without an application to ask).
void PaintPlaceholder(HWND window, HWND application) {
  RECT client;
  GetClientRect(window, &client);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  PatBlt(dc, client.left, client.top, client.right + 1, client.bottom + 1, BLACKNESS);
  HPALETTE palette = application ? reinterpret_cast<HPALETTE>(SendToApplication(
                                       application, LM_GETPALETTE, 0, 0, APP_QUERY_TIMEOUT_MS))
                                 : nullptr;
  // Loaded by name for a handle to its own resources, and let go at once; not drawn at all when
  // the instance was destroyed while the application was asked.
  HMODULE module = WindowRecord(window) ? LoadLibraryA(MODULE_NAME) : nullptr;
  if (module) {
    HBITMAP bitmap = LoadResourceBitmap(module, IDB_PLACEHOLDER, palette);
    FreeLibrary(module);
    if (bitmap) {
      BITMAP size;
      GetObjectA(bitmap, sizeof size, &size);
      HDC memory = CreateCompatibleDC(dc);
      if (memory) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        PlaceholderOrigin at = CentreImage(client.left, client.top, client.right, client.bottom,
                                           size.bmWidth, size.bmHeight);
        if (previous) {
          BitBlt(dc, at.x, at.y, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
          SelectObject(memory, previous);
        }
        DeleteDC(memory);
      }
      DeleteObject(bitmap);
    }
  }
  EndPaint(window, &paint);
}

LRESULT PassOn(PluginInstanceData* record, HWND window, UINT message, WPARAM wParam,
               LPARAM lParam) {
  if (!record || !record->savedWndProc) return 0;
  return CallWindowProcA(reinterpret_cast<WNDPROC>(record->savedWndProc), window, message, wParam,
                         lParam);
}

}  // namespace

LRESULT CALLBACK PluginWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  UINT whoAmI = RegisterWindowMessageA(QUIB_WHOAMI_NAME);
  // The window's own instance, not the one made last: each window is served with its record.
  NPP instance = AttachedInstance(window);
  if (!instance) return 0;
  PluginInstanceData* record = static_cast<PluginInstanceData*>(instance->pdata);
  if (message == whoAmI) {
    // Any other code, the application searches among them, goes to the saved procedure: the
    // plug-in window never answers as the application.
    if (wParam != WHOAMI_STATUSTEXT) return PassOn(record, window, message, wParam, lParam);
    char text[STATUS_TEXT_SIZE];
    GetWindowTextA(window, text, sizeof text);
    NPNetscapeFuncs* funcs = BrowserFuncsReaching(NP_FIELD_END(NPNetscapeFuncs, status));
    if (funcs && funcs->status) funcs->status(instance, text);
    return 0;
  }
  // After each search and send below, which wait on other programs, the record is looked up
  // again: the browser may have destroyed the instance meanwhile, and then nothing more is done.
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // the paint covers the whole area
    case WM_HSCROLL:
    case WM_VSCROLL: {
      // An element being destroyed is the browser's already: the application, checking the
      // window it leaves, gets the browser's answer and never its own.
      if (record && record->closing) break;
      DWORD busy = 0;
      HWND application = FindMainApplication(&busy);
      if (busy) return 0;  // as a send that timed out
      if (!application) {
        record = WindowRecord(window);
        if (!record) return 0;
        break;
      }
      UINT passed = message == WM_HSCROLL ? LM_PLUGINHSCROLL : LM_PLUGINVSCROLL;
      return SendToApplication(application, passed, wParam, lParam, APP_QUERY_TIMEOUT_MS);
    }
    case WM_PAINT: {
      DWORD busy = 0;
      HWND application = FindMainApplication(&busy);
      uint32_t appInWindow = AppInside(application, window);
      uint32_t engaged = AskEngaged(application, busy, appInWindow);
      record = WindowRecord(window);
      if (!record) return 0;
      if (!PaintsPlaceholder(application ? 1 : 0, appInWindow, engaged)) break;
      PaintPlaceholder(window, busy ? nullptr : application);  // a busy one is not asked again
      return 0;
    }
    case WM_NCDESTROY:
      // The window goes before its instance: nothing of the plug-in stays on it.
      DetachInstance(window);
      break;
  }
  return PassOn(record, window, message, wParam, lParam);
}

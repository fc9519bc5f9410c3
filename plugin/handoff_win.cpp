// NPP_SetWindow: where the page area is handed to the main application.
#include "common/app_profile.h"
#include "common/app_search_win.h"
#include "common/link_protocol.h"
#include "plugin/handoff.h"
#include "plugin/plugin_state_win.h"

namespace {

// "%s PLUGIN %d %ld": the path as read, unquoted, then the window and the instance as signed
// 32-bit decimals. With a path of at most APP_PATH_SIZE - 1 bytes this is at most 290 bytes.
const char PLUGIN_COMMAND_FORMAT[] = "%s PLUGIN %d %ld";
const size_t COMMAND_LINE_SIZE = APP_PATH_SIZE + sizeof " PLUGIN -2147483648 -2147483648";

// Starts the application with this window and instance on its command line. A start that fails
// goes unnoticed: the next window change tries again.
void StartApplication(HWND window, NPP instance) {
  char path[APP_PATH_SIZE];
  GetProfileStringA(APP_PROFILE_SECTION, APP_PROFILE_KEY, APP_DEFAULT_PATH, path, sizeof path);
  char commandLine[COMMAND_LINE_SIZE];
  // Handles and references are 32-bit values on the wire, whatever the build's pointer size.
  wsprintfA(commandLine, PLUGIN_COMMAND_FORMAT, path,
            static_cast<int>(reinterpret_cast<INT_PTR>(window)),
            static_cast<long>(reinterpret_cast<INT_PTR>(instance)));
  WinExec(commandLine, SW_RESTORE);
}

}  // namespace

NPError NPP_SetWindow(NPP instance, NPWindow* window) {
  OutputDebugStringA("NPP_SetWindow\n");
  if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
  if (!window) return NPERR_GENERIC_ERROR;
  PluginInstanceData* record = static_cast<PluginInstanceData*>(instance->pdata);
  if (!record) return NPERR_GENERIC_ERROR;
  HWND pageWindow = static_cast<HWND>(window->window);
  if (!pageWindow) return NPERR_NO_ERROR;  // the browser takes the window away
  if (!record->savedWndProc) {
    // Subclassed once; a failed attempt leaves savedWndProc 0 and the next call tries again.
    record->pluginWindow = pageWindow;
    AttachInstance(pageWindow, instance);
    record->savedWndProc = SetWindowLongPtrA(pageWindow, GWLP_WNDPROC,
                                             reinterpret_cast<LONG_PTR>(PluginWindowProc));
    if (!record->savedWndProc) DetachInstance(pageWindow);
  }
  HWND application = FindMainApplication();
  uint32_t appFound = application ? 1 : 0;
  uint32_t appInPluginWindow = appFound && GetParent(application) == record->pluginWindow;
  uint32_t engaged = 0;
  if (NeedsEngagedQuery(appFound, appInPluginWindow))
    engaged = static_cast<uint32_t>(
        SendToApplication(application, LM_QUERYENGAGED, 0, 0, APP_QUERY_TIMEOUT_MS));
  switch (DecideHandOff(appFound, appInPluginWindow, engaged)) {
    case HANDOFF_START:
      StartApplication(pageWindow, instance);
      break;
    case HANDOFF_SHOW_AGAIN:
      PostMessageA(application, RegisterWindowMessageA(PLUGIN_SHOW_AGAIN_NAME),
                   reinterpret_cast<WPARAM>(pageWindow), reinterpret_cast<LPARAM>(instance));
      break;
    case HANDOFF_NOTHING:
      break;  // the next paint shows the placeholder
  }
  return NPERR_NO_ERROR;
}

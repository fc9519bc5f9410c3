#include "saver/host/dispatch_win.h"

#include "saver/host/command_line.h"
#include "saver/host/config_dialog_win.h"
#include "saver/host/password_module_win.h"
#include "saver/host/frame_state_win.h"
#include "saver/host/frame_window_win.h"

namespace {

// The top-level fault guard. The compiler offers no structured exception frames, so the guard
// sits where a fault that no frame handles ends up: the process's top-level filter.
struct FaultGuard {
  LPTOP_LEVEL_EXCEPTION_FILTER previousFilter;  // whoever held the place before the dispatch
};

FaultGuard faultGuard = {nullptr};

LONG WINAPI FaultGuardFilter(EXCEPTION_POINTERS* exception) {
  // The platform's filter calls the registered top-level filter itself: step aside before
  // asking it, or it would call straight back here.
  SetUnhandledExceptionFilter(faultGuard.previousFilter);
  LONG verdict = UnhandledExceptionFilter(exception);
  if (verdict != EXCEPTION_EXECUTE_HANDLER) return verdict;  // passed on: the platform's way
  ExitProcess(static_cast<UINT>(SetSaverRunning(FALSE)));
  return verdict;
}

// Handles on the command line are 32-bit numbers; the platform's handles fit in them.
HWND WindowFromNumber(uint32_t number) {
  return reinterpret_cast<HWND>(static_cast<UINT_PTR>(number));
}

int DispatchMode(const char* tail) {
  CommandRequest request = ParseCommandTail(tail);
  switch (request.mode) {
    case COMMAND_CONFIG_NO_OWNER:
      return static_cast<int>(ShowConfigDialog(nullptr));
    case COMMAND_RUN_SAVER:
      return RunSaver(nullptr);
    case COMMAND_PREVIEW: {
      HWND parent = WindowFromNumber(request.handle);
      if (!parent || !IsWindow(parent)) return -1;
      return RunSaver(parent);
    }
    case COMMAND_CONFIG_FOREGROUND:
      return static_cast<int>(ShowConfigDialog(GetForegroundWindow()));
    case COMMAND_CHANGE_PASSWORD: {
      HWND owner = WindowFromNumber(request.handle);
      if (!owner || !IsWindow(owner)) owner = GetForegroundWindow();
      ChangeSaverPassword(owner);
      return 0;
    }
    case COMMAND_UNUSABLE:
      break;
  }
  return -1;
}

}  // namespace

int DispatchCommandLine(HINSTANCE moduleInstance, const char* tail) {
  frameState.moduleInstance = moduleInstance;
  faultGuard.previousFilter = SetUnhandledExceptionFilter(FaultGuardFilter);
  int result = DispatchMode(tail);
  SetUnhandledExceptionFilter(faultGuard.previousFilter);
  return result;
}

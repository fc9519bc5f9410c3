// The module-level state of the saver frame, one record per process. The command line, the
// window and loop, and the dismissal rules write it; the application bridge reads saverWindow
// and moduleInstance.
#ifndef NVR_SAVER_HOST_FRAME_STATE_WIN_H
#define NVR_SAVER_HOST_FRAME_STATE_WIN_H

#include <windows.h>

typedef BOOL(WINAPI* VerifyScreenSavePwdProc)(HWND);
typedef HANDLE(WINAPI* ImmAssociateContextProc)(HWND, HANDLE);

struct FrameState {
  HINSTANCE moduleInstance;         // the program's own module: resources, class, dialog
  HWND saverWindow;                 // the saver window, once CreateWindowExA returned
  DWORD previewMode;                // the window is a preview child; never cleared
  DWORD closeApproved;              // the saver may close; never cleared
  DWORD verifyingPassword;          // the password prompt is running
  HMODULE passwordModule;           // "PASSWORD.CPL" while loaded
  VerifyScreenSavePwdProc verifyPasswordProc;
  HMODULE imeModule;                // "IMM32.DLL" if it was already loaded
  ImmAssociateContextProc associateContextProc;
  HANDLE savedInputContext;         // the context detached from the saver window
  POINT rememberedCursor;           // where mouse movement is measured from
  DWORD lastVerifyTick;             // when the last prompt ended; VERIFY_TICK_NEVER: not yet
};

extern FrameState frameState;

// An entry of a module bound at run time, typed; null when the entry is missing.
template <typename Proc>
Proc FindEntry(HMODULE module, const char* name) {
  // Through a generic function pointer: FARPROC's own type says nothing about the entry.
  return reinterpret_cast<Proc>(reinterpret_cast<void (*)(void)>(GetProcAddress(module, name)));
}

#endif

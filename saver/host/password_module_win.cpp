#include "saver/host/password_module_win.h"

#include "saver/host/frame_state_win.h"

namespace {
typedef DWORD(WINAPI* PwdChangePasswordProc)(LPCSTR, HWND, DWORD, DWORD);
}  // namespace

void LoadPasswordModule(void) {
  if (frameState.passwordModule) UnloadPasswordModule();
  HKEY key;
  if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &key) != ERROR_SUCCESS) return;
  DWORD usePassword = 0;
  DWORD size = sizeof usePassword;
  if (RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, nullptr,
                       reinterpret_cast<BYTE*>(&usePassword), &size) == ERROR_SUCCESS &&
      usePassword) {
    frameState.passwordModule = LoadLibraryA("PASSWORD.CPL");
    if (frameState.passwordModule) {
      frameState.verifyPasswordProc =
          FindEntry<VerifyScreenSavePwdProc>(frameState.passwordModule, "VerifyScreenSavePwd");
      if (frameState.verifyPasswordProc)
        SetSaverRunning(TRUE);
      else
        UnloadPasswordModule();
    }
  }
  RegCloseKey(key);
}

void UnloadPasswordModule(void) {
  if (!frameState.passwordModule) return;
  FreeLibrary(frameState.passwordModule);
  frameState.passwordModule = nullptr;
  // The running state was switched on exactly when the entry was found.
  if (frameState.verifyPasswordProc) {
    frameState.verifyPasswordProc = nullptr;
    SetSaverRunning(FALSE);
  }
}

BOOL SetSaverRunning(BOOL on) {
  UINT previous = 0;
  return SystemParametersInfoA(SPI_SCREENSAVERRUNNING, on ? 1 : 0, &previous, 0);
}

void ChangeSaverPassword(HWND owner) {
  HMODULE mpr = LoadLibraryA("MPR.DLL");
  if (!mpr) return;
  PwdChangePasswordProc change = FindEntry<PwdChangePasswordProc>(mpr, "PwdChangePasswordA");
  if (change) change("SCRSAVE", owner, 0, 0);
  FreeLibrary(mpr);
}

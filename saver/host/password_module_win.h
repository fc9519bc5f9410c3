// The system's password module: loaded while password protection is on, which is also while the
// system is told that a screen saver runs; and the password change of the "A" mode.
#ifndef NVR_SAVER_HOST_PASSWORD_MODULE_WIN_H
#define NVR_SAVER_HOST_PASSWORD_MODULE_WIN_H

#include <windows.h>

void LoadPasswordModule(void);
void UnloadPasswordModule(void);
BOOL SetSaverRunning(BOOL on);
void ChangeSaverPassword(HWND owner);

#endif

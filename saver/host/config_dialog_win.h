#ifndef NVR_SAVER_HOST_CONFIG_DIALOG_WIN_H
#define NVR_SAVER_HOST_CONFIG_DIALOG_WIN_H

#include <windows.h>

// The modal settings dialog (template 2003): 1 after OK, 0 after Cancel, -1 if not created.
INT_PTR ShowConfigDialog(HWND owner);

#endif

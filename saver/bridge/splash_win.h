// The splash picture that the main application's installation names.
#ifndef NVR_SAVER_BRIDGE_SPLASH_WIN_H
#define NVR_SAVER_BRIDGE_SPLASH_WIN_H

#include <windows.h>

// A device-dependent bitmap of the full-screen (preview 0) or preview picture, owned by the
// caller, or null when there is none.
HBITMAP LoadSplashBitmap(DWORD preview);

#endif

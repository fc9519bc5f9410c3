#ifndef NVR_SAVER_BRIDGE_OS_TYPE_WIN_H
#define NVR_SAVER_BRIDGE_OS_TYPE_WIN_H

#include <windows.h>

// Exported by name at ordinal 1. It takes no arguments, so the cdecl and stdcall conventions are
// the same call; plain cdecl keeps the exported name undecorated on every target.
extern "C" DWORD DetermineOStype(void);

#endif

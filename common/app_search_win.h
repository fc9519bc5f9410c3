// The search for the main application's window, shared by the saver and the plug-in: the
// platform's side of common/app_search.h.
#ifndef NVR_COMMON_APP_SEARCH_WIN_H
#define NVR_COMMON_APP_SEARCH_WIN_H

#include <windows.h>

#include "common/app_search.h"

// The number of "QuibWhoAmI"; 0 until the first search of this process.
extern UINT whoAmIMessage;

// The application's window once found, kept for the next search of this process (one thread).
extern KnownApplication knownApplication;

// The application's window, or null. busy, when not null, receives 1 when the window is the
// known one and alive but did not answer in time: nothing it is sent would be answered either.
// A hung window (by the platform's test) holds the search for no time, a busy one for at most
// APP_PROBE_TIMEOUT_MS.
HWND FindMainApplication(DWORD* busy);

// The same, for a caller that starts the application when none is found: windows found busy are
// waited for up to APP_BUSY_WAIT_MS and the desktop is searched once more, so that a live
// application that was busy is not started a second time.
HWND FindMainApplicationBeforeStart(DWORD* busy);

// The search of FindMainApplication, whole: with nothing found, the threads that did not answer.
AppSearchResult SearchForMainApplication(void);

// The search of FindMainApplication among the windows of one process: for a caller that waits
// for a process it started, whom no other program's busy window should hold up.
HWND FindMainApplicationOfProcess(DWORD process, DWORD* busy);

#endif

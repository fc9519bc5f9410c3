// The search for the main application's window, shared by the saver and the plug-in.
#ifndef NVR_COMMON_APP_SEARCH_WIN_H
#define NVR_COMMON_APP_SEARCH_WIN_H

#include <windows.h>

// How long one window may take to answer "QuibWhoAmI" before it counts as not the
// application. A healthy window answers at once; a hung one must not hold up the search.
const UINT APP_PROBE_TIMEOUT_MS = 1000;

// The number of "QuibWhoAmI"; 0 until the first search of this process.
extern UINT whoAmIMessage;

// Enumeration callback: found points to an HWND that receives the first window answering
// WHOAMI_APP with exactly 2; FALSE then stops the enumeration.
BOOL CALLBACK MatchApplicationWindow(HWND window, LPARAM found);

// The first window below the desktop window that answers as the application, or null.
HWND FindMainApplication(void);

// 1 when window answers "QuibWhoAmI" WHOAMI_APP with exactly 2 within the time-out.
DWORD AnswersAsApplication(HWND window);

#endif

// The search for the main application's window, shared by the saver and the plug-in.
#ifndef NVR_COMMON_APP_SEARCH_WIN_H
#define NVR_COMMON_APP_SEARCH_WIN_H

#include <windows.h>

// How long one window may take to answer "QuibWhoAmI" in a search. A healthy window answers at
// once; one that does not is noted as busy and the rest of its thread's windows are passed over.
const UINT APP_PROBE_TIMEOUT_MS = 1000;

// The second, longer look before a start: how long the search waits, in all, for the windows it
// found busy to answer. An application busy for less is found and never started a second time;
// one that answers nothing for longer counts as hung, as the platform counts a window hung that
// has not asked for a message for five seconds.
const UINT APP_BUSY_WAIT_MS = 5000;

// Busy threads noted in one search; further ones are only passed over after their time-out.
const DWORD APP_BUSY_MAX = 8;

// The number of "QuibWhoAmI"; 0 until the first search of this process.
extern UINT whoAmIMessage;

// What a search keeps, one record per process, used on one thread.
struct AppSearchState {
  // The application's window once found: asked alone first by the next search, so that no other
  // program is asked while it still answers. The desktop is searched again only when it no
  // longer answers as the application.
  HWND knownWindow;
  // One window of each thread that did not answer in time in the last search, and its thread.
  HWND busyWindows[APP_BUSY_MAX];
  DWORD busyThreads[APP_BUSY_MAX];
  DWORD busyCount;
};

extern AppSearchState appSearch;

// Enumeration callback: found points to an HWND that receives the first window answering
// WHOAMI_APP with exactly 2; FALSE then stops the enumeration.
BOOL CALLBACK MatchApplicationWindow(HWND window, LPARAM found);

// The application's window, or null: the known window while it answers as the application or is
// only busy, else the first window below the desktop window that answers as the application.
// A hung window (by the platform's test) holds the search for no time, a busy one for at most
// APP_PROBE_TIMEOUT_MS.
HWND FindMainApplication(void);

// The same, for a caller that starts the application when none is found: when the search found
// windows busy, it waits up to APP_BUSY_WAIT_MS for them and searches once more, so that a live
// application that was busy is not started a second time.
HWND FindMainApplicationBeforeStart(void);

#endif

// Finding or launching the main application for the saver, and letting it go again.
#ifndef NVR_SAVER_BRIDGE_APP_LAUNCH_WIN_H
#define NVR_SAVER_BRIDGE_APP_LAUNCH_WIN_H

#include <windows.h>

#include "common/app_search_win.h"

// Time-outs of the synchronous messages to the application. A healthy application answers far
// sooner; a hung one must not freeze the saver or keep it from ending.
const UINT APP_FORWARD_TIMEOUT_MS = 2000;   // a forwarded message
const UINT APP_PALETTE_TIMEOUT_MS = 2000;   // LM_GETPALETTE
const UINT APP_ENDING_TIMEOUT_MS = 1000;    // LM_SAVERENDING

// Pause between passes of the launch wait while no input arrives. Queue input ends the pause at
// once; each pass probes every window of the system, so a longer pause keeps the idle wait
// cheap, and the application is still found within this much of its window's creation.
const DWORD APP_WAIT_PAUSE_MS = 20;

// 1 when the application is known and activated, 0 when it was neither found nor started.
DWORD FindOrLaunchMainApplication(void);

// Sends LM_SAVERENDING to the application, once per run. Called as soon as the close is
// approved, while the window still covers the screen: the platform activates another window as
// this one goes, and an application being activated answers late.
void TellApplicationSaverEnding(void);

// Tells the application that the saver ends (unless told already), activates the remembered
// window, forgets both.
void ReleaseMainApplication(void);

// 1 when the window is a preview, 0 when it is the full screen (of one monitor or several).
DWORD IsPreviewWindow(HWND window);

// Sends message to bridgeState.appWindow, bounded by timeoutMs. 1 with *reply set when it
// answered in time; 0 (and *reply 0) when there is no application or it failed or timed out.
DWORD SendToApplication(UINT message, WPARAM wParam, LPARAM lParam, UINT timeoutMs,
                        LRESULT* reply);

// The application's palette, or null when there is none or it does not answer.
HPALETTE AskApplicationPalette(void);

#endif

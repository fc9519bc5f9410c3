// The module-level state of the application bridge, one record per process, used only on the
// saver's GUI thread: the main application, what the saver window procedure keeps between
// messages, and the bitmap reader's cursor.
#ifndef NVR_SAVER_BRIDGE_BRIDGE_STATE_WIN_H
#define NVR_SAVER_BRIDGE_BRIDGE_STATE_WIN_H

#include <windows.h>

#include "common/link_protocol.h"

struct BridgeState {
  HWND appWindow;                // the application's window, or null
  HWND reactivateWindow;         // activated again when the saver window goes
  // Set once a message to appWindow failed or timed out: it is not asked again in this run, so
  // a hung application costs one time-out, not one per message.
  DWORD appStoppedAnswering;
  DWORD endingSent;              // LM_SAVERENDING went out: once the close is approved
  DWORD createdOnce;             // the preview test and the find-or-launch have run
  DWORD isPreview;               // the window is the preview, not the full screen
  DWORD paintedOnce;             // the splash was painted since the last WM_CREATE
  DWORD startedNoticeSent;       // LM_SAVERSTARTED went out since the last WM_CREATE
  HBITMAP splashBitmap;          // owned here, deleted at WM_DESTROY
  SaverInputRecord inputRecord;  // reused for every forward; the last three fields stay 0
  HCURSOR savedCursor;           // showed when MakeDeviceBitmap began; shown again at its end
};

// Defined in the header, not in a source file of its own, so that each bridge file still links
// without the others: the bitmap reader is linked alone into the Wine tests and a benchmark.
inline BridgeState bridgeState;

#endif

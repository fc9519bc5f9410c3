// The window-message vocabulary shared with the main application. Both deliverables and the
// test doubles use these names; the numbers and layouts are fixed by the application's side.
#ifndef NVR_COMMON_LINK_PROTOCOL_H
#define NVR_COMMON_LINK_PROTOCOL_H

#include <cstddef>
#include <cstdint>

// Registered message names (RegisterWindowMessageA).
#define QUIB_WHOAMI_NAME "QuibWhoAmI"
#define PLUGIN_SHOW_AGAIN_NAME "PluginShowAgain"
#define PLUGIN_CLOSING_NAME "PluginClosing"

// wParam codes of "QuibWhoAmI".
enum : uint32_t {
  WHOAMI_SAVER = 1,       // the saver window answers 1
  WHOAMI_APP = 2,         // the main application answers 2; any other answer: not the application
  WHOAMI_REACTIVATE = 3,  // the saver activates the application when it ends
  WHOAMI_STATUSTEXT = 4,  // the plug-in shows its window text on the browser's status line
};

// Private messages.
enum : uint32_t {
  LM_SAVERSTARTED = 2424,   // posted once: wParam saver window, lParam saver process id
  LM_SAVERENDING = 2425,    // sent at destruction: wParam saver window, lParam 0
  LM_SAVERINPUT = 2426,     // dwData of the WM_COPYDATA that carries a SaverInputRecord
  LM_GETPALETTE = 2724,     // sent: reply is a palette handle or 0
  LM_QUERYENGAGED = 3174,   // sent by the plug-in: nonzero = committed to another host window
  LM_PLUGINPRINT = 3175,    // posted by the plug-in
  LM_PLUGINVSCROLL = 3179,  // sent by the plug-in with WM_VSCROLL's wParam and lParam
  LM_PLUGINHSCROLL = 3180,  // sent by the plug-in with WM_HSCROLL's wParam and lParam
};

// One message of the saver window as the application receives it: a platform MSG without time
// and point. Seven little-endian 32-bit fields; the last three are always 0.
struct SaverInputRecord {
  uint32_t window;
  uint32_t message;
  uint32_t wParam;
  uint32_t lParam;
  uint32_t reserved[3];
};

static_assert(sizeof(SaverInputRecord) == 28, "SaverInputRecord is 28 bytes");
static_assert(offsetof(SaverInputRecord, window) == 0, "window at 0");
static_assert(offsetof(SaverInputRecord, message) == 4, "message at 4");
static_assert(offsetof(SaverInputRecord, wParam) == 8, "wParam at 8");
static_assert(offsetof(SaverInputRecord, lParam) == 12, "lParam at 12");
static_assert(offsetof(SaverInputRecord, reserved) == 16, "three zero fields from 16");

#endif

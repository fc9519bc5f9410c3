// The plug-in's decisions over the main application's answers, and the placeholder's place:
// plain computation, kept apart from the window and plug-in calls that gather the answers.
#ifndef NVR_PLUGIN_HANDOFF_H
#define NVR_PLUGIN_HANDOFF_H

#include <cstddef>
#include <cstdint>

// What a window change does with the page area.
enum HandOffAction : uint32_t {
  HANDOFF_START = 1,       // no application runs: start it with the window on its command line
  HANDOFF_SHOW_AGAIN = 2,  // ask the running application to show itself in the window
  HANDOFF_NOTHING = 3,     // engaged elsewhere: the window keeps the placeholder
};

// Whether the application must be asked if it is engaged: only when it runs and is not already
// shown inside the plug-in window.
uint32_t NeedsEngagedQuery(uint32_t appFound, uint32_t appInPluginWindow);

// The hand-off decision. engagedReply is the reply to the engaged query, read only when
// NeedsEngagedQuery holds; only its low 16 bits count here.
HandOffAction DecideHandOff(uint32_t appFound, uint32_t appInPluginWindow, uint32_t engagedReply);

// What counts as the engaged reply of an application that was found busy and is not asked (a
// query would time out): a window change posts "PluginShowAgain", which the application takes
// once it is free, and a paint shows the placeholder at once.
const uint32_t BUSY_ENGAGED_REPLY = 0x10000;

// How long a started application is given to show its window before a window change may start it
// again: the time the screen saver waits for it.
const uint32_t APP_APPEAR_LIMIT_MS = 20000;

// Whether a window change that finds no application may start it: not while an earlier start
// (startPending, made at startTick) is younger than APP_APPEAR_LIMIT_MS at now, unless the
// process started then has ended. Millisecond ticks wrap at 2^32.
uint32_t MayStartApplication(uint32_t startPending, uint32_t startTick, uint32_t now,
                             uint32_t processEnded);

// Whether a paint shows the placeholder: the application runs, is not inside this window, and
// its engaged reply is nonzero in all 32 bits.
uint32_t PaintsPlaceholder(uint32_t appFound, uint32_t appInPluginWindow, uint32_t engagedReply);

// Top-left corner of an image of width x height centred in a client rectangle; in a smaller
// rectangle it is cut off equally on both sides (signed division, truncated toward zero).
struct PlaceholderOrigin {
  int32_t x;
  int32_t y;
};
PlaceholderOrigin CentreImage(int32_t left, int32_t top, int32_t right, int32_t bottom,
                              int32_t width, int32_t height);

// Offset of the pixel rows inside a packed device-independent bitmap of size bytes (a 40-byte or
// larger info header, its colour table, its rows), or -1 when the header is not one this plug-in
// draws or the table or rows do not fit inside size.
int32_t PackedDibPixelOffset(const uint8_t* packed, size_t size);

#endif

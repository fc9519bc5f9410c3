// Where the full-screen saver lies on a system with one monitor or several, as plain
// computation: the rectangle it covers, where the primary monitor lies inside it (the splash
// is centred there, never across a seam), and whether a saver window is the full screen or a
// preview. The Win32 glue reads the system metrics and the window's place and acts on the answers.
#ifndef NVR_SAVER_HOST_SCREEN_AREA_H
#define NVR_SAVER_HOST_SCREEN_AREA_H

#include <cstdint>

// The system metrics that decide the full-screen rectangle. Systems that know a single monitor
// only answer 0 for the four virtual-screen metrics.
struct ScreenMetrics {
  int32_t virtualX, virtualY, virtualWidth, virtualHeight;  // every monitor together
  int32_t screenWidth, screenHeight;                        // the primary monitor, at (0, 0)
};

struct ScreenArea {
  int32_t x, y, width, height;
};

// The rectangle the full-screen saver covers: the virtual screen (which may begin at negative
// coordinates, with a monitor left of or above the primary one) where the system reports one,
// else the primary screen from (0, 0).
ScreenArea FullScreenArea(const ScreenMetrics& metrics);

// The primary monitor (screenWidth x screenHeight at screen point (0, 0)) in the client
// coordinates of a window whose client area of clientWidth x clientHeight begins at screen point
// (clientX, clientY), cut to that client area. The whole client area when the two do not meet.
ScreenArea PrimaryAreaInClient(int32_t clientX, int32_t clientY, int32_t clientWidth,
                               int32_t clientHeight, int32_t screenWidth, int32_t screenHeight);

// 1 when a saver window is a preview, 0 when it is the full screen. A client area of the
// desktop window's size is the full screen; so is a top-level window whose client area is the
// size the full-screen saver covers, whatever size the desktop window reports (with several
// monitors the desktop window may report the primary monitor alone). A child window of any
// other size is a preview.
uint32_t IsPreviewClient(int32_t clientWidth, int32_t clientHeight, int32_t desktopWidth,
                         int32_t desktopHeight, const ScreenArea& covered, uint32_t isChild);

#endif

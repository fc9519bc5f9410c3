#include "saver/host/screen_area.h"

#include <algorithm>

ScreenArea FullScreenArea(const ScreenMetrics& m) {
  if (m.virtualWidth > 0 && m.virtualHeight > 0)
    return {m.virtualX, m.virtualY, m.virtualWidth, m.virtualHeight};
  return {0, 0, m.screenWidth, m.screenHeight};
}

ScreenArea PrimaryAreaInClient(int32_t clientX, int32_t clientY, int32_t clientWidth,
                               int32_t clientHeight, int32_t screenWidth, int32_t screenHeight) {
  // 64-bit, so that no coordinate the system can report overflows on the way.
  int64_t left = std::max<int64_t>(0, -int64_t{clientX});
  int64_t top = std::max<int64_t>(0, -int64_t{clientY});
  int64_t right = std::min<int64_t>(clientWidth, int64_t{screenWidth} - clientX);
  int64_t bottom = std::min<int64_t>(clientHeight, int64_t{screenHeight} - clientY);
  if (left >= right || top >= bottom) return {0, 0, clientWidth, clientHeight};
  return {static_cast<int32_t>(left), static_cast<int32_t>(top),
          static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top)};
}

uint32_t IsPreviewClient(int32_t clientWidth, int32_t clientHeight, int32_t desktopWidth,
                         int32_t desktopHeight, const ScreenArea& covered, uint32_t isChild) {
  if (clientWidth == desktopWidth && clientHeight == desktopHeight) return 0;
  if (!isChild && clientWidth == covered.width && clientHeight == covered.height) return 0;
  return 1;
}

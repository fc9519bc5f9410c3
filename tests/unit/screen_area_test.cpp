// The full-screen rectangle, the primary monitor inside it and the preview test, as tables.
#include <gtest/gtest.h>

#include "saver/host/screen_area.h"

namespace {

std::string Show(const ScreenArea& a) {
  return std::to_string(a.x) + "," + std::to_string(a.y) + " " + std::to_string(a.width) + "x" +
         std::to_string(a.height);
}

TEST(ScreenArea, CoversTheVirtualScreenOrElseThePrimaryOne) {
  const struct { ScreenMetrics in; const char* area; } cases[] = {
      {{0, 0, 1024, 768, 1024, 768}, "0,0 1024x768"},        // one monitor: as before
      {{0, 0, 1824, 768, 1024, 768}, "0,0 1824x768"},        // second monitor to the right
      {{-800, 0, 1824, 768, 1024, 768}, "-800,0 1824x768"},  // to the left
      {{0, -600, 1024, 1368, 1024, 768}, "0,-600 1024x1368"},  // above
      {{0, 0, 0, 0, 640, 480}, "0,0 640x480"},               // a system of one monitor only
      {{5, 5, 0, 900, 640, 480}, "0,0 640x480"},             // a half answer is no answer
  };
  for (const auto& c : cases) EXPECT_EQ(c.area, Show(FullScreenArea(c.in))) << c.area;
}

TEST(ScreenArea, PrimaryMonitorInsideTheClientArea) {
  const struct { int32_t x, y, w, h, sw, sh; const char* area; } cases[] = {
      {0, 0, 1024, 768, 1024, 768, "0,0 1024x768"},        // one monitor
      {0, 0, 1824, 768, 1024, 768, "0,0 1024x768"},        // second to the right
      {-800, 0, 1824, 768, 1024, 768, "800,0 1024x768"},   // second to the left
      {0, -600, 1024, 1368, 1024, 768, "0,600 1024x768"},  // above
      {-10, -10, 500, 500, 1024, 768, "10,10 490x490"},    // cut to the client area
      {2000, 0, 300, 200, 1024, 768, "0,0 300x200"},       // apart: the whole client area
      {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, "0,0 2147483647x2147483647"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.area, Show(PrimaryAreaInClient(c.x, c.y, c.w, c.h, c.sw, c.sh))) << c.area;
}

TEST(ScreenArea, OnlyAChildOfAnotherSizeIsAPreview) {
  const ScreenArea one = {0, 0, 1024, 768}, two = {-800, 0, 1824, 768};
  const struct { int32_t w, h; ScreenArea covered; uint32_t child, preview; } cases[] = {
      {1024, 768, one, 0, 0},  // the full screen of one monitor
      {1024, 768, one, 1, 0},  // a child of the desktop's size, as before
      {1824, 768, two, 0, 0},  // several monitors: the desktop reports the primary only
      {1824, 768, two, 1, 1},  // a child that size is still a preview
      {152, 112, one, 1, 1},   // the preview area of the display settings
      {152, 112, two, 0, 1},   // a top-level window of another size
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.preview, IsPreviewClient(c.w, c.h, 1024, 768, c.covered, c.child))
        << c.w << "x" << c.h << " child " << c.child;
}

}  // namespace

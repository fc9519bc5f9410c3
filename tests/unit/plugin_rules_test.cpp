// The plug-in's hand-off decision, its placeholder rule and geometry, and the packed bitmap check.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "plugin/handoff.h"

namespace {

TEST(HandOff, DecisionTable) {
  // found, application inside this window, engaged reply -> asked?, action, placeholder painted?
  struct Row { uint32_t found, inside, reply, asked; HandOffAction action; uint32_t painted; } rows[] = {
      {0, 0, 0, 0, HANDOFF_START, 0},
      {0, 0, 1, 0, HANDOFF_START, 0},
      {1, 1, 1, 0, HANDOFF_SHOW_AGAIN, 0},  // not asked: shown in this window already
      {1, 0, 1, 1, HANDOFF_NOTHING, 1},
      {1, 0, 0xFFFF, 1, HANDOFF_NOTHING, 1},
      {1, 0, 0, 1, HANDOFF_SHOW_AGAIN, 0},
      // Only the low 16 bits count for the hand-off; all 32 for the paint.
      {1, 0, 0x10000, 1, HANDOFF_SHOW_AGAIN, 1},
      {1, 0, 0x10001, 1, HANDOFF_NOTHING, 1},
      // A busy application, not asked: shown here once it is free, the placeholder meanwhile.
      {1, 0, BUSY_ENGAGED_REPLY, 1, HANDOFF_SHOW_AGAIN, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(::testing::Message() << "found " << r.found << " inside " << r.inside
                                      << " reply 0x" << std::hex << r.reply);
    EXPECT_EQ(r.asked, NeedsEngagedQuery(r.found, r.inside));
    EXPECT_EQ(r.action, DecideHandOff(r.found, r.inside, r.reply));
    EXPECT_EQ(r.painted, PaintsPlaceholder(r.found, r.inside, r.reply));
  }
}

TEST(HandOff, OneStartUntilTheApplicationHadTimeToAppear) {
  // start pending, started at, now, its process ended -> may start again?
  struct Row { uint32_t pending, startTick, now, ended, mayStart; } rows[] = {
      {0, 0, 0, 0, 1},
      {1, 1000, 1000, 0, 0},
      {1, 1000, 20999, 0, 0},
      {1, 1000, 21000, 0, 1},
      {1, 1000, 1500, 1, 1},              // the started process has ended
      // Across the wrap of the tick count: 4096 ms before it, then 19999 and 20000 ms after the start.
      {1, 0xFFFFF000u, 19999 - 0x1000, 0, 0},
      {1, 0xFFFFF000u, 20000 - 0x1000, 0, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(::testing::Message() << "pending " << r.pending << " at " << r.startTick << " now "
                                      << r.now << " ended " << r.ended);
    EXPECT_EQ(r.mayStart, MayStartApplication(r.pending, r.startTick, r.now, r.ended));
  }
}

TEST(Placeholder, CentredAndCutEquallyInSmallerWindows) {
  struct Row { int32_t left, top, right, bottom, x, y; } rows[] = {
      {0, 0, 400, 200, -50, -35},  // cut on all four sides
      {0, 0, 501, 271, 0, 0},
      {0, 0, 499, 270, 0, 0},      // truncated toward zero, not to -1
      {0, 0, 502, 272, 1, 1},
      {10, 20, 510, 290, 0, 0},    // relative to the rectangle's own corner
      {0, 0, 0, 0, -250, -135},
  };
  for (const Row& r : rows) {
    PlaceholderOrigin at = CentreImage(r.left, r.top, r.right, r.bottom, 500, 270);
    EXPECT_EQ(r.x, at.x) << r.right << "x" << r.bottom;
    EXPECT_EQ(r.y, at.y) << r.right << "x" << r.bottom;
  }
}

// A packed bitmap as a resource holds it: info header, colour table, rows.
std::vector<uint8_t> Packed(int32_t width, int32_t height, uint16_t bits, uint32_t used,
                            uint32_t compression = 0, uint32_t headerSize = 40) {
  std::vector<uint8_t> data(headerSize, 0);
  auto put = [&](size_t at, uint32_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) data[at + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  put(0, headerSize, 4);
  put(4, static_cast<uint32_t>(width), 4);
  put(8, static_cast<uint32_t>(height), 4);
  put(12, 1, 2);
  put(14, bits, 2);
  put(16, compression, 4);
  put(32, used, 4);
  uint32_t entries = used ? used : (bits <= 8 ? 1u << bits : 0);
  uint32_t rows = static_cast<uint32_t>(height < 0 ? -height : height);
  data.resize(headerSize + 4 * entries + (width * bits + 31) / 32 * 4 * rows, 0);
  return data;
}

TEST(Placeholder, PixelRowsFollowTheHeaderAndTableWhenAllFits) {
  std::vector<uint8_t> logo = Packed(500, 270, 8, 255);
  EXPECT_EQ(1060, PackedDibPixelOffset(logo.data(), logo.size()));
  std::vector<uint8_t> full = Packed(3, -2, 4, 0);  // top-down, 16 entries, 4-byte rows
  EXPECT_EQ(40 + 64, PackedDibPixelOffset(full.data(), full.size()));
  std::vector<uint8_t> rgb = Packed(2, 2, 24, 0);
  EXPECT_EQ(40, PackedDibPixelOffset(rgb.data(), rgb.size()));
  std::vector<uint8_t> longer = Packed(1, 1, 8, 2, 0, 124);
  EXPECT_EQ(124 + 8, PackedDibPixelOffset(longer.data(), longer.size()));
}

TEST(Placeholder, UnsoundHeadersAreRefused) {
  std::vector<uint8_t> logo = Packed(500, 270, 8, 255);
  EXPECT_EQ(-1, PackedDibPixelOffset(logo.data(), logo.size() - 1));  // one row byte short
  EXPECT_EQ(-1, PackedDibPixelOffset(logo.data(), 39));
  EXPECT_EQ(-1, PackedDibPixelOffset(nullptr, 0));
  std::vector<uint8_t> table = Packed(1, 1, 8, 1);
  std::memcpy(&table[32], "\xff\xff\xff\xff", 4);  // a colour table larger than any resource
  EXPECT_EQ(-1, PackedDibPixelOffset(table.data(), table.size()));
  std::vector<uint8_t> bigHeader = Packed(1, 1, 8, 1);
  bigHeader[0] = 0xFF;  // header claims more bytes than there are
  EXPECT_EQ(-1, PackedDibPixelOffset(bigHeader.data(), bigHeader.size()));
  std::vector<uint8_t> rle = Packed(4, 4, 8, 1, 1);
  EXPECT_EQ(-1, PackedDibPixelOffset(rle.data(), rle.size()));
  std::vector<uint8_t> oddBits = Packed(4, 4, 8, 1);
  oddBits[14] = 7;
  EXPECT_EQ(-1, PackedDibPixelOffset(oddBits.data(), oddBits.size()));
  std::vector<uint8_t> wide = Packed(1, 1, 32, 0);
  std::memcpy(&wide[4], "\xff\xff\xff\x7f", 4);  // rows far past the data
  EXPECT_EQ(-1, PackedDibPixelOffset(wide.data(), wide.size()));
}

}  // namespace

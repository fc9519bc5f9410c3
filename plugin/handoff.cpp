#include "plugin/handoff.h"

uint32_t NeedsEngagedQuery(uint32_t appFound, uint32_t appInPluginWindow) {
  return appFound && !appInPluginWindow ? 1 : 0;
}

HandOffAction DecideHandOff(uint32_t appFound, uint32_t appInPluginWindow, uint32_t engagedReply) {
  if (!appFound) return HANDOFF_START;
  if (appInPluginWindow) return HANDOFF_SHOW_AGAIN;
  return (engagedReply & 0xFFFFu) != 0 ? HANDOFF_NOTHING : HANDOFF_SHOW_AGAIN;
}

uint32_t MayStartApplication(uint32_t startPending, uint32_t startTick, uint32_t now,
                             uint32_t processEnded) {
  if (!startPending || processEnded) return 1;
  return now - startTick >= APP_APPEAR_LIMIT_MS ? 1 : 0;
}

uint32_t PaintsPlaceholder(uint32_t appFound, uint32_t appInPluginWindow, uint32_t engagedReply) {
  return NeedsEngagedQuery(appFound, appInPluginWindow) && engagedReply != 0 ? 1 : 0;
}

PlaceholderOrigin CentreImage(int32_t left, int32_t top, int32_t right, int32_t bottom,
                              int32_t width, int32_t height) {
  // Widened: a rectangle from the platform may span the whole 32-bit range.
  int64_t x = (static_cast<int64_t>(right) - left - width) / 2;
  int64_t y = (static_cast<int64_t>(bottom) - top - height) / 2;
  return {static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

namespace {

uint32_t Read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

const uint32_t INFO_HEADER_SIZE = 40;
const uint32_t COMPRESSION_RGB = 0;

}  // namespace

int32_t PackedDibPixelOffset(const uint8_t* packed, size_t size) {
  if (!packed || size < INFO_HEADER_SIZE) return -1;
  uint32_t headerSize = Read32(packed);
  int32_t width = static_cast<int32_t>(Read32(packed + 4));
  int32_t height = static_cast<int32_t>(Read32(packed + 8));
  uint16_t bitCount = Read16(packed + 14);
  uint32_t compression = Read32(packed + 16);
  uint32_t colorsUsed = Read32(packed + 32);
  if (headerSize < INFO_HEADER_SIZE || headerSize > size) return -1;
  // Uncompressed rows only: their size follows from the header and can be checked.
  if (compression != COMPRESSION_RGB) return -1;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    return -1;
  if (width <= 0 || height == 0 || height == INT32_MIN) return -1;
  uint64_t entries = colorsUsed != 0 ? colorsUsed : (bitCount <= 8 ? 1u << bitCount : 0);
  uint64_t offset = static_cast<uint64_t>(headerSize) + 4 * entries;
  uint64_t stride = (static_cast<uint64_t>(width) * bitCount + 31) / 32 * 4;
  uint64_t rows = static_cast<uint64_t>(height < 0 ? -static_cast<int64_t>(height) : height);
  if (offset > size || stride * rows > size - offset) return -1;
  return static_cast<int32_t>(offset);
}

// Fuzzes the plug-in's check of a packed bitmap resource. The input sits in a buffer of exactly
// its size: when the check accepts it, every row byte the header describes is read, so a row or
// table that does not fit shows as an out-of-bounds read.
#include <cstdint>
#include <cstring>
#include <vector>

#include "plugin/handoff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> packed(data, data + size);
  int32_t offset = PackedDibPixelOffset(packed.data(), packed.size());
  if (offset < 0) return 0;
  int32_t width, height;
  uint16_t bits;
  std::memcpy(&width, &packed[4], 4);
  std::memcpy(&height, &packed[8], 4);
  std::memcpy(&bits, &packed[14], 2);
  uint64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
  uint64_t bytes = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4 * rows;
  volatile uint8_t sum = 0;
  for (uint64_t i = 0; i < bytes; ++i) sum = sum + packed.data()[offset + i];
  return 0;
}

// Fuzzes the bitmap reader over memory streams. Besides the sanitizers' checks it holds every
// returned block to the promise the bitmap step relies on: the block covers header, table and
// biSizeImage, and biSizeImage covers the rows the header describes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "saver/bridge/dib_reader.h"
#include "tests/unit/dib_memory.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckBlock(DibBlock block, bool withPixels) {
  auto* b = static_cast<dibmem::Block*>(block);
  Check(b->locks == 0);  // handed over unlocked
  Check(DibBlockIsSound(b->bytes, b->size, withPixels));
  DibInfoHeader h;
  std::memcpy(&h, b->bytes, sizeof h);
  Check(h.biSize == DIB_INFO_HEADER_SIZE);
  uint64_t table = DibColorTableSize(&h);
  Check(table == 4ull * h.biClrUsed || (h.biClrUsed == 0 && table == 0));
  if (withPixels) {
    Check(b->size == DIB_INFO_HEADER_SIZE + table + h.biSizeImage);
    if (h.biCompression == DIB_BI_RGB) Check(h.biSizeImage >= DibDescribedRowBytes(h));
  } else {
    Check(b->size == DIB_INFO_HEADER_SIZE + table);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  // The first byte picks where the stream starts and whether allocations fail.
  uint8_t control = data[0];
  dibmem::MemoryStream stream;
  stream.data = data + 1;
  stream.size = static_cast<uint32_t>(size - 1);
  stream.position = control & 0x0F;
  dibmem::MemoryAllocator allocator;
  allocator.limit = 2u << 20;  // bigger blocks only slow the search down
  if (control & 0x10) allocator.failAfter = (control >> 5) & 1;

  bool headersOnly = (control & 0x40) != 0;
  DibStream s = stream.AsStream();
  DibAllocator a = allocator.AsAllocator();
  DibBlock block = headersOnly ? ReadDibHeaders(s, a) : ReadDibStream(s, a);
  if (block) {
    CheckBlock(block, !headersOnly);
    Check(allocator.live.size() == 1);
  } else {
    Check(allocator.live.empty());
  }
  return 0;
}

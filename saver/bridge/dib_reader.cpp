#include "saver/bridge/dib_reader.h"

#include <cstring>

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t ColorsForBitCount(uint32_t bitCount) {
  switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

DibInfoHeader HeaderFromBytes(const uint8_t* p) {
  DibInfoHeader h;
  std::memcpy(&h, p, sizeof h);
  return h;
}

// The header as the bitmap step may safely be given it. Anything else is refused: a header the
// step would misread (planes, masks, unknown compression) could make it read outside the block.
bool HeaderIsAcceptable(const DibInfoHeader& h) {
  if (h.biSize != DIB_INFO_HEADER_SIZE) return false;
  if (h.biWidth <= 0) return false;
  if (h.biHeight == 0 || h.biHeight == INT32_MIN) return false;
  // A bit count is multiplied by the planes in some readers of the format: only 1 is unambiguous.
  if (h.biPlanes != 1) return false;
  switch (h.biBitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  switch (h.biCompression) {
    case DIB_BI_RGB: break;
    // Run-length images are bottom-up only, and only at their own depth.
    case DIB_BI_RLE8: if (h.biBitCount != 8 || h.biHeight < 0) return false; break;
    case DIB_BI_RLE4: if (h.biBitCount != 4 || h.biHeight < 0) return false; break;
    // Bit-field masks would be read from after the header, where this layout keeps no masks.
    default: return false;
  }
  if (h.biClrUsed > DIB_MAX_COLORS) return false;
  return DibDescribedRowBytes(h) <= DIB_MAX_BLOCK_SIZE;
}

}  // namespace

uint16_t DibColorCount(const void* headerBytes) {
  const uint8_t* p = static_cast<const uint8_t*>(headerBytes);
  if (Le32(p) == DIB_CORE_HEADER_SIZE) return ColorsForBitCount(Le16(p + 10));
  uint32_t used = Le32(p + 32);
  if (used != 0) return static_cast<uint16_t>(used);
  return ColorsForBitCount(Le16(p + 14));
}

uint16_t DibColorTableSize(const void* headerBytes) {
  const uint8_t* p = static_cast<const uint8_t*>(headerBytes);
  uint32_t entry = Le32(p) == DIB_CORE_HEADER_SIZE ? DIB_RGBTRIPLE_SIZE : DIB_RGBQUAD_SIZE;
  return static_cast<uint16_t>(DibColorCount(p) * entry);
}

uint64_t DibDescribedRowBytes(const DibInfoHeader& header) {
  int64_t width = header.biWidth < 0 ? -static_cast<int64_t>(header.biWidth) : header.biWidth;
  int64_t height = header.biHeight < 0 ? -static_cast<int64_t>(header.biHeight) : header.biHeight;
  uint64_t rowBytes = (static_cast<uint64_t>(width) * header.biBitCount + 31) / 32 * 4;
  // Both factors are below 2^49 and 2^32; cap the row first so the product cannot wrap.
  if (rowBytes > DIB_MAX_BLOCK_SIZE) return static_cast<uint64_t>(DIB_MAX_BLOCK_SIZE) + 1;
  return rowBytes * static_cast<uint64_t>(height);
}

DibBlock ReadDibHeaders(const DibStream& stream, const DibAllocator& allocator) {
  if (!stream.open) return nullptr;
  int32_t start = stream.seekCurrent(stream.context, 0);
  if (start < 0) return nullptr;

  uint8_t fileHeader[DIB_FILE_HEADER_SIZE];
  if (stream.read(stream.context, fileHeader, sizeof fileHeader) != sizeof fileHeader) return nullptr;
  uint32_t offBits = Le32(fileHeader + 10);
  if (Le16(fileHeader) != DIB_FILE_TYPE) {
    offBits = 0;
    if (stream.seekSet(stream.context, start) != start) return nullptr;
  }

  uint8_t buffer[DIB_INFO_HEADER_SIZE];
  if (stream.read(stream.context, buffer, sizeof buffer) != sizeof buffer) return nullptr;
  uint16_t count = DibColorCount(buffer);
  uint32_t headerSize = Le32(buffer);

  DibInfoHeader header;
  if (headerSize == DIB_CORE_HEADER_SIZE) {
    uint16_t width = Le16(buffer + 4), height = Le16(buffer + 6);
    uint16_t planes = Le16(buffer + 8), bitCount = Le16(buffer + 10);
    header = DibInfoHeader{};
    header.biSize = DIB_INFO_HEADER_SIZE;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = planes;
    header.biBitCount = bitCount;
    header.biCompression = DIB_BI_RGB;
    header.biClrUsed = count;
    header.biClrImportant = count;
    // Back to the first byte after the 12-byte core header.
    int32_t here = stream.seekCurrent(stream.context, 0);
    if (here < static_cast<int32_t>(DIB_INFO_HEADER_SIZE - DIB_CORE_HEADER_SIZE)) return nullptr;
    int32_t back = -static_cast<int32_t>(DIB_INFO_HEADER_SIZE - DIB_CORE_HEADER_SIZE);
    if (stream.seekCurrent(stream.context, back) != here + back) return nullptr;
  } else if (headerSize == DIB_INFO_HEADER_SIZE) {
    header = HeaderFromBytes(buffer);
  } else {
    return nullptr;
  }

  // Checked before any size is derived from the header, so no sum below can wrap.
  if (!HeaderIsAcceptable(header)) return nullptr;
  uint32_t described = static_cast<uint32_t>(DibDescribedRowBytes(header));
  if (header.biSizeImage == 0) header.biSizeImage = described;
  // Uncompressed rows are read by the bitmap step whatever biSizeImage says: the pixel area
  // gets room for all of them.
  if (header.biCompression == DIB_BI_RGB && header.biSizeImage < described) {
    header.biSizeImage = described;
  }
  if (header.biClrUsed == 0) header.biClrUsed = DibColorCount(&header);

  uint32_t tableBytes = static_cast<uint32_t>(count) * DIB_RGBQUAD_SIZE;
  if (static_cast<uint64_t>(header.biSize) + tableBytes + header.biSizeImage > DIB_MAX_BLOCK_SIZE) {
    return nullptr;
  }

  DibBlock block = allocator.allocate(allocator.context, header.biSize + tableBytes);
  if (!block) return nullptr;
  uint8_t* bytes = allocator.lock(allocator.context, block);
  if (!bytes) {
    allocator.release(allocator.context, block);
    return nullptr;
  }
  std::memcpy(bytes, &header, sizeof header);
  uint8_t* table = bytes + header.biSize;
  if (count != 0) {
    if (headerSize == DIB_CORE_HEADER_SIZE) {
      stream.read(stream.context, table, count * DIB_RGBTRIPLE_SIZE);
      // Widen in place from the last entry down: quad i is written only after every triple at or
      // below i has been taken, and quads above i start beyond triple i's last byte.
      for (int i = count - 1; i >= 0; --i) {
        uint8_t blue = table[3 * i], green = table[3 * i + 1], red = table[3 * i + 2];
        table[4 * i] = blue;
        table[4 * i + 1] = green;
        table[4 * i + 2] = red;
        table[4 * i + 3] = 0;
      }
    } else {
      stream.read(stream.context, table, tableBytes);
    }
  }
  allocator.unlock(allocator.context, block);

  if (offBits != 0) {
    int64_t target = static_cast<int64_t>(start) + offBits;
    if (target > INT32_MAX || stream.seekSet(stream.context, static_cast<int32_t>(target)) != target) {
      allocator.release(allocator.context, block);
      return nullptr;
    }
  }
  return block;
}

void ReadInChunks(const DibStream& stream, uint8_t* destination, uint32_t count) {
  uint32_t remaining = count;
  while (remaining > DIB_CHUNK_SIZE) {
    if (stream.read(stream.context, destination, DIB_CHUNK_SIZE) != DIB_CHUNK_SIZE) return;
    destination += DIB_CHUNK_SIZE;
    remaining -= DIB_CHUNK_SIZE;
  }
  if (remaining != 0) stream.read(stream.context, destination, remaining);
}

DibBlock ReadDibStream(const DibStream& stream, const DibAllocator& allocator) {
  DibBlock block = ReadDibHeaders(stream, allocator);
  if (!block) return nullptr;
  uint8_t* bytes = allocator.lock(allocator.context, block);
  if (!bytes) {
    allocator.release(allocator.context, block);
    return nullptr;
  }
  DibInfoHeader header = HeaderFromBytes(bytes);
  allocator.unlock(allocator.context, block);

  // ReadDibHeaders keeps this sum below DIB_MAX_BLOCK_SIZE.
  uint32_t pixelOffset = DibPixelOffset(header);
  uint32_t size = pixelOffset + header.biSizeImage;
  DibBlock grown = allocator.grow(allocator.context, block, size);
  if (!grown) {
    allocator.release(allocator.context, block);
    return nullptr;
  }
  bytes = allocator.lock(allocator.context, grown);
  if (!bytes) {
    allocator.release(allocator.context, grown);
    return nullptr;
  }
  ReadInChunks(stream, bytes + pixelOffset, header.biSizeImage);
  allocator.unlock(allocator.context, grown);
  return grown;
}

bool DibBlockIsSound(const uint8_t* block, uint32_t size, int withPixels) {
  if (!block || size < DIB_INFO_HEADER_SIZE) return false;
  DibInfoHeader header = HeaderFromBytes(block);
  // Acceptable implies biClrUsed fits 16 bits, so the table laid out from its low 16 bits is the
  // table the bitmap step reads.
  if (!HeaderIsAcceptable(header)) return false;
  uint64_t pixelOffset = DibPixelOffset(header);
  if (!withPixels) return pixelOffset <= size;
  if (header.biCompression == DIB_BI_RGB && header.biSizeImage < DibDescribedRowBytes(header)) {
    return false;
  }
  return pixelOffset + header.biSizeImage <= size;
}

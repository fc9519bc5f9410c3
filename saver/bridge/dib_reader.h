// Reading of Windows bitmap files into one packed block: a 40-byte information header, its colour
// table of RGBQUADs and the pixel bits. Plain logic over a byte stream and a block allocator, so
// that it runs (and is fuzzed) without the platform; the Win32 side supplies file and GlobalAlloc.
//
// Every block this code hands out is sound: its header says exactly how big the table and the
// pixel area are, the block holds both, and for uncompressed images the pixel area covers every
// row the header describes, so the bitmap step never reads past the end of the block.
#ifndef NVR_SAVER_BRIDGE_DIB_READER_H
#define NVR_SAVER_BRIDGE_DIB_READER_H

#include <cstddef>
#include <cstdint>

// Published bitmap-file structures, little-endian, no gaps.
struct DibFileHeader {
  uint16_t bfType;
  uint32_t bfSize;
  uint16_t bfReserved1;
  uint16_t bfReserved2;
  uint32_t bfOffBits;
};
enum : uint32_t { DIB_FILE_HEADER_SIZE = 14, DIB_FILE_TYPE = 0x4D42 /* "BM" */ };

struct DibInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(DibInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");
static_assert(offsetof(DibInfoHeader, biBitCount) == 14, "biBitCount at 14");
static_assert(offsetof(DibInfoHeader, biSizeImage) == 20, "biSizeImage at 20");
static_assert(offsetof(DibInfoHeader, biClrUsed) == 32, "biClrUsed at 32");

enum : uint32_t {
  DIB_INFO_HEADER_SIZE = 40,
  DIB_CORE_HEADER_SIZE = 12,
  DIB_RGBQUAD_SIZE = 4,
  DIB_RGBTRIPLE_SIZE = 3,
  DIB_CHUNK_SIZE = 0x8000,  // pixel data is read in pieces of at most this many bytes
};

enum : uint32_t { DIB_BI_RGB = 0, DIB_BI_RLE8 = 1, DIB_BI_RLE4 = 2 };

// The largest block handed out. Far above any screen-sized picture and far below 2^32, so no sum
// of header, table and pixel sizes can wrap.
enum : uint32_t { DIB_MAX_BLOCK_SIZE = 0x20000000 };
// The largest colour table: its byte count (4 per entry) must fit the 16-bit table size.
enum : uint32_t { DIB_MAX_COLORS = 16383 };

// PackedDib layout: DibInfoHeader (biSize 40) at 0; DibColorCount(header) RGBQUADs at 40; the
// pixel bits, biSizeImage bytes, at DibPixelOffset(header).

// A readable byte stream with a position. read returns how many bytes were delivered (fewer at the
// end); the seeks and tell return the new position, or -1 when it cannot be had.
struct DibStream {
  void* context;
  int open;  // 0: nothing could be opened; every read fails
  uint32_t (*read)(void* context, void* buffer, uint32_t count);
  int32_t (*seekSet)(void* context, int32_t position);
  int32_t (*seekCurrent)(void* context, int32_t offset);
};

// A movable memory block. allocate gives zero-filled bytes; grow keeps the old bytes, zero-fills
// the added ones, and on failure returns null with the old block still valid.
typedef void* DibBlock;
struct DibAllocator {
  void* context;
  DibBlock (*allocate)(void* context, uint32_t size);
  DibBlock (*grow)(void* context, DibBlock block, uint32_t size);
  uint8_t* (*lock)(void* context, DibBlock block);
  void (*unlock)(void* context, DibBlock block);
  void (*release)(void* context, DibBlock block);
};

// Colour-table entries of a header of either form (told apart by its first uint32: 12 = core).
// headerBytes holds at least 12 bytes for the core form, 40 otherwise.
uint16_t DibColorCount(const void* headerBytes);
// Bytes of that colour table in the file: 3 per entry for the core form, 4 otherwise.
uint16_t DibColorTableSize(const void* headerBytes);

// Bytes of the uncompressed rows a header describes (each row padded to 4 bytes, |height| rows);
// exceeds DIB_MAX_BLOCK_SIZE when they could not be held.
uint64_t DibDescribedRowBytes(const DibInfoHeader& header);

// Offset of the pixel bits in a packed block with this (40-byte) header.
inline uint32_t DibPixelOffset(const DibInfoHeader& header) {
  return header.biSize + DibColorTableSize(&header);
}

// Reads the headers and colour table from the stream's current position into a new block, and
// leaves the stream where the pixel bits begin. Null on failure or on a header refused as unsafe.
DibBlock ReadDibHeaders(const DibStream& stream, const DibAllocator& allocator);

// Reads count bytes to destination in chunks; stops at the first chunk that comes back short.
void ReadInChunks(const DibStream& stream, uint8_t* destination, uint32_t count);

// A whole packed bitmap from the stream: headers, table and pixel bits (missing bytes zero).
// The file-level ReadDibFile opens and closes the stream around this. Null on failure.
DibBlock ReadDibStream(const DibStream& stream, const DibAllocator& allocator);

// Whether size bytes at block form a packed bitmap that the bitmap step may use: a 40-byte header
// that this reader would accept, a table and a pixel area that fit in size, and for uncompressed
// images a pixel area that covers the described rows. withPixels 0 checks header and table only.
bool DibBlockIsSound(const uint8_t* block, uint32_t size, int withPixels);

#endif

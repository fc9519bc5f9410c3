// The bitmap reader on files built in memory: header forms, colour tables, where the pixels are
// taken from, and the headers it refuses because the block or the bitmap step could be overrun.
#include <gtest/gtest.h>

#include <vector>

#include "saver/bridge/dib_reader.h"
#include "tests/unit/dib_memory.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v) { b.push_back(v & 0xFF); b.push_back((v >> 8) & 0xFF); }
void Put32(Bytes& b, uint32_t v) { Put16(b, v & 0xFFFF); Put16(b, v >> 16); }

Bytes FileHeader(uint32_t offBits) {
  Bytes b;
  Put16(b, 0x4D42);
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, offBits);
  return b;
}

struct Info {
  int32_t width = 5, height = 3;
  uint16_t planes = 1, bitCount = 8;
  uint32_t compression = 0, sizeImage = 0, clrUsed = 0;
};

Bytes InfoHeader(const Info& i) {
  Bytes b;
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(i.width));
  Put32(b, static_cast<uint32_t>(i.height));
  Put16(b, i.planes);
  Put16(b, i.bitCount);
  Put32(b, i.compression);
  Put32(b, i.sizeImage);
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, i.clrUsed);
  Put32(b, 7);
  return b;
}

Bytes CoreHeader(uint16_t width, uint16_t height, uint16_t bitCount) {
  Bytes b;
  Put32(b, 12);
  Put16(b, width);
  Put16(b, height);
  Put16(b, 1);
  Put16(b, bitCount);
  return b;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// count entries whose bytes are (n, n+1, n+2[, n+3]), so misplaced entries show.
Bytes Table(uint32_t count, uint32_t entrySize) {
  Bytes b;
  for (uint32_t n = 0; n < count; ++n)
    for (uint32_t k = 0; k < entrySize; ++k) b.push_back(static_cast<uint8_t>(n + k));
  return b;
}

Bytes Pixels(uint32_t n, uint8_t first = 0x80) {
  Bytes b;
  for (uint32_t k = 0; k < n; ++k) b.push_back(static_cast<uint8_t>(first + k));
  return b;
}

// One read of a stream (from byte `start`) with the reader, the block's bytes copied out.
struct Loaded {
  bool ok = false;
  DibInfoHeader header{};
  Bytes block;
  int64_t streamPosition = 0;
  uint32_t largestRead = 0;
  size_t liveBlocks = 0;
  int locks = 0;
};

Loaded Load(const Bytes& file, bool headersOnly = false, uint32_t start = 0,
            int failAfter = -1) {
  dibmem::MemoryStream stream;
  stream.data = file.data();
  stream.size = static_cast<uint32_t>(file.size());
  stream.position = start;
  dibmem::MemoryAllocator allocator;
  allocator.failAfter = failAfter;
  DibStream s = stream.AsStream();
  DibAllocator a = allocator.AsAllocator();
  DibBlock block = headersOnly ? ReadDibHeaders(s, a) : ReadDibStream(s, a);
  Loaded out;
  out.streamPosition = stream.position;
  out.largestRead = stream.largestRead;
  out.liveBlocks = allocator.live.size();
  if (block) {
    auto* b = static_cast<dibmem::Block*>(block);
    out.ok = true;
    out.locks = b->locks;
    out.block.assign(b->bytes, b->bytes + b->size);
    std::memcpy(&out.header, b->bytes, sizeof out.header);
  }
  return out;
}

TEST(ReadDib, BareInfoHeaderLoadsFromTheFirstByteWithPixelsAfterTheTable) {
  Info info;  // 5 x 3 at 8 bits, biClrUsed 16: rows of 8 bytes
  info.clrUsed = 16;
  Bytes file = Join({InfoHeader(info), Table(16, 4), Pixels(24)});
  Loaded got = Load(file);
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(0, got.locks);
  EXPECT_EQ(24u, got.header.biSizeImage);
  EXPECT_EQ(16u, got.header.biClrUsed);
  EXPECT_EQ(7u, got.header.biClrImportant);
  ASSERT_EQ(40u + 64 + 24, got.block.size());
  EXPECT_EQ(Table(16, 4), Bytes(got.block.begin() + 40, got.block.begin() + 104));
  EXPECT_EQ(Pixels(24), Bytes(got.block.begin() + 104, got.block.end()));
}

TEST(ReadDib, PixelOffsetFollowsTheFileHeader) {
  Info info;
  info.clrUsed = 16;
  Bytes head = Join({InfoHeader(info), Table(16, 4)});
  // bfOffBits 0: the pixels follow the table.
  Loaded zero = Load(Join({FileHeader(0), head, Pixels(24)}));
  ASSERT_TRUE(zero.ok);
  EXPECT_EQ(Pixels(24), Bytes(zero.block.begin() + 104, zero.block.end()));
  // bfOffBits beyond the table, counted from the file header, which starts at byte 3 here: the
  // 6 bytes in between are skipped.
  Bytes junk = {0xEE, 0xEE, 0xEE};
  Bytes file = Join({junk, FileHeader(14 + 104 + 6), head, Bytes(6, 0xEE), Pixels(24)});
  Loaded skipped = Load(file, false, 3);
  ASSERT_TRUE(skipped.ok);
  EXPECT_EQ(Pixels(24), Bytes(skipped.block.begin() + 104, skipped.block.end()));
  // Headers only: the block ends after the table and the stream waits at the pixels.
  Loaded headers = Load(file, true, 3);
  ASSERT_TRUE(headers.ok);
  EXPECT_EQ(104u, headers.block.size());
  EXPECT_EQ(static_cast<int64_t>(3 + 14 + 104 + 6), headers.streamPosition);
}

TEST(ReadDib, CoreHeaderIsWidenedToTheInfoForm) {
  Bytes file = Join({FileHeader(0), CoreHeader(5, 3, 8), Table(256, 3), Pixels(24)});
  Loaded got = Load(file);
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(40u, got.header.biSize);
  EXPECT_EQ(5, got.header.biWidth);
  EXPECT_EQ(3, got.header.biHeight);
  EXPECT_EQ(1, got.header.biPlanes);
  EXPECT_EQ(8, got.header.biBitCount);
  EXPECT_EQ(0u, got.header.biCompression);
  EXPECT_EQ(24u, got.header.biSizeImage);
  EXPECT_EQ(256u, got.header.biClrUsed);
  EXPECT_EQ(256u, got.header.biClrImportant);
  ASSERT_EQ(40u + 1024 + 24, got.block.size());
  // Each 3-byte entry becomes 4 bytes, the fourth zero.
  Bytes widened;
  for (uint32_t n = 0; n < 256; ++n)
    widened.insert(widened.end(), {uint8_t(n), uint8_t(n + 1), uint8_t(n + 2), 0});
  EXPECT_EQ(widened, Bytes(got.block.begin() + 40, got.block.begin() + 1064));
  EXPECT_EQ(Pixels(24), Bytes(got.block.begin() + 1064, got.block.end()));
  // A large core image (65535 wide) stays positive and unsigned.
  Loaded wide = Load(Join({CoreHeader(65535, 1, 24), Bytes(28, 0)}), true);
  ASSERT_TRUE(wide.ok);
  EXPECT_EQ(65535, wide.header.biWidth);
  EXPECT_EQ(1, wide.header.biHeight);
}

// A 5 x 3 image with the given bit count and biClrUsed: the table that follows is kept, and
// the pixels after it.
TEST(ReadDib, ColourCountsFollowBitCountAndClrUsed) {
  const struct { uint16_t bits; uint32_t clrUsed, colours, pixels; } cases[] = {
      {24, 0, 0, 48}, {24, 16, 16, 48}, {1, 0, 2, 12}, {4, 0, 16, 12}, {8, 0, 256, 12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, biClrUsed " << c.clrUsed);
    Info info;
    info.bitCount = c.bits;
    info.clrUsed = c.clrUsed;
    Loaded got = Load(Join({InfoHeader(info), Table(c.colours, 4), Pixels(c.pixels)}));
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(c.colours, got.header.biClrUsed);
    size_t pixelsAt = 40 + 4 * c.colours;
    ASSERT_GE(got.block.size(), pixelsAt + c.pixels);
    EXPECT_EQ(Table(c.colours, 4), Bytes(got.block.begin() + 40, got.block.begin() + pixelsAt));
    EXPECT_EQ(Pixels(c.pixels),
              Bytes(got.block.begin() + pixelsAt, got.block.begin() + pixelsAt + c.pixels));
  }
  // The counting rules on raw headers: core form by bit count, info form by biClrUsed's low bits.
  Bytes core = CoreHeader(1, 1, 4);
  EXPECT_EQ(16, DibColorCount(core.data()));
  EXPECT_EQ(48, DibColorTableSize(core.data()));
  Info many;
  many.clrUsed = 0x10003;
  Bytes raw = InfoHeader(many);
  EXPECT_EQ(3, DibColorCount(raw.data()));
  EXPECT_EQ(12, DibColorTableSize(raw.data()));
}

// The image size is the rows' bytes (each row rounded to 32 bits, the height's magnitude), also
// where a smaller one is stored; run-length data is shorter than its rows by nature, and its
// stored size is kept.
TEST(ReadDib, ImageSizeCoversTheRows) {
  auto with = [](auto change) { Info i; change(i); return i; };
  const struct { const char* what; Info info; uint32_t colours, pixels; bool headersOnly;
                 uint32_t sizeImage; } cases[] = {
      {"5 x 3 at 8 bits", Info{}, 256, 0, true, 24},
      {"33 x 2 at 1 bit", with([](Info& i) { i.width = 33; i.height = 2; i.bitCount = 1; }),
       2, 0, true, 16},
      {"height -3", with([](Info& i) { i.height = -3; }), 256, 24, false, 24},
      {"stored size 4", with([](Info& i) { i.sizeImage = 4; }), 256, 24, false, 24},
      {"RLE8, stored size 4", with([](Info& i) { i.sizeImage = 4; i.compression = DIB_BI_RLE8; }),
       256, 4, false, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Loaded got = Load(Join({InfoHeader(c.info), Table(c.colours, 4), Pixels(c.pixels)}),
                      c.headersOnly);
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(c.info.height, got.header.biHeight);
    EXPECT_EQ(c.sizeImage, got.header.biSizeImage);
    size_t pixelsAt = 40 + 4 * c.colours;
    ASSERT_EQ(pixelsAt + (c.headersOnly ? 0 : c.sizeImage), got.block.size());
    EXPECT_EQ(Pixels(c.pixels), Bytes(got.block.begin() + pixelsAt, got.block.end()));
  }
}

TEST(ReadDib, ShortPixelDataLeavesZeros) {
  Info info;
  info.bitCount = 24;  // rows of 16 bytes, 48 in all; the file gives 20
  Loaded got = Load(Join({InfoHeader(info), Pixels(20)}));
  ASSERT_TRUE(got.ok);
  ASSERT_EQ(88u, got.block.size());
  EXPECT_EQ(Pixels(20), Bytes(got.block.begin() + 40, got.block.begin() + 60));
  EXPECT_EQ(Bytes(28, 0), Bytes(got.block.begin() + 60, got.block.end()));
  // A short colour table is no failure either: the missing entries are zero.
  Info pal;
  Loaded table = Load(Join({InfoHeader(pal), Table(3, 4)}));
  ASSERT_TRUE(table.ok);
  EXPECT_EQ(Bytes(1024 - 12 + 24, 0), Bytes(table.block.begin() + 52, table.block.end()));
}

TEST(ReadDib, LargePixelAreasAreReadInChunks) {
  Info info;
  info.width = 1000;
  info.height = 100;
  info.bitCount = 24;  // 300000 bytes
  Bytes pixels(300000);
  for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = static_cast<uint8_t>(k * 7);
  Loaded got = Load(Join({FileHeader(54), InfoHeader(info), pixels}));
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(static_cast<uint32_t>(DIB_CHUNK_SIZE), got.largestRead);
  EXPECT_EQ(pixels, Bytes(got.block.begin() + 40, got.block.end()));
}

TEST(ReadInChunks, StopsAtTheFirstShortChunk) {
  Bytes source(40000, 0x11);
  dibmem::MemoryStream stream;
  stream.data = source.data();
  stream.size = static_cast<uint32_t>(source.size());
  Bytes destination(100000, 0xAA);
  ReadInChunks(stream.AsStream(), destination.data(), 100000);
  // 32768, then 7232 of the next 32768; the third chunk is never asked for.
  EXPECT_EQ(40000, stream.position);
  EXPECT_EQ(0x11, destination[39999]);
  EXPECT_EQ(0xAA, destination[40000]);
  ReadInChunks(stream.AsStream(), destination.data(), 0);
  EXPECT_EQ(40000, stream.position);
}

// Short files, other header forms, bad offsets, headers whose block or bitmap step could be
// overrun, and allocations that fail: nothing is returned and no block is left behind.
TEST(ReadDib, RefusedFilesLeaveNothingBehind) {
  auto file = [](const Info& info) { return Join({InfoHeader(info), Table(256, 4), Pixels(24)}); };
  auto bad = [&file](auto change) { Info i; change(i); return file(i); };
  auto sized = [](uint8_t size) {
    Bytes b = InfoHeader(Info{});
    b[0] = size;
    b.resize(200, 0);
    return b;
  };
  const struct { const char* what; Bytes file; int failAfter = -1; } cases[] = {
      {"2 x 2 at 24 bits in core form, 16 pixel bytes", Join({CoreHeader(2, 2, 24), Pixels(16)})},
      {"a file header alone", Bytes{0x42, 0x4D, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"39 bytes of info header", Join({FileHeader(0), Bytes(39, 0)})},
      {"header size 108", sized(108)},
      {"header size 124", sized(124)},
      {"header size 0", sized(0)},
      {"header size 41", sized(41)},
      {"offset past the last stream position", Join({FileHeader(0xFFFFFFF0u), file(Info{})})},
      {"image size near 2^32", bad([](Info& i) { i.sizeImage = 0xFFFFFFF0u; })},
      {"image size over the block limit", bad([](Info& i) { i.sizeImage = DIB_MAX_BLOCK_SIZE; })},
      {"rows beyond the block limit", bad([](Info& i) { i.width = 0x7FFFFFFF; i.bitCount = 32; })},
      {"rows times height over the limit", bad([](Info& i) { i.width = 65536; i.height = 65536; })},
      {"height of -2^31", bad([](Info& i) { i.height = INT32_MIN; })},
      {"zero height", bad([](Info& i) { i.height = 0; })},
      {"zero width", bad([](Info& i) { i.width = 0; })},
      {"negative width", bad([](Info& i) { i.width = -5; })},
      {"16384 colours", bad([](Info& i) { i.clrUsed = 16384; })},
      {"colours cut to 16 bits", bad([](Info& i) { i.clrUsed = 0x10010; })},
      {"two planes", bad([](Info& i) { i.planes = 2; })},
      {"no planes", bad([](Info& i) { i.planes = 0; })},
      {"2 bits", bad([](Info& i) { i.bitCount = 2; })},
      {"0 bits", bad([](Info& i) { i.bitCount = 0; })},
      {"bit-field masks", bad([](Info& i) { i.bitCount = 16; i.compression = 3; })},
      {"unknown compression", bad([](Info& i) { i.compression = 4; })},
      {"RLE8 at 4 bits", bad([](Info& i) { i.bitCount = 4; i.compression = DIB_BI_RLE8; })},
      {"top-down RLE4",
       bad([](Info& i) { i.bitCount = 4; i.height = -3; i.compression = DIB_BI_RLE4; })},
      {"no header block", file(Info{}), 0},
      {"no block to grow into", file(Info{}), 1},
  };
  for (const auto& c : cases) {
    Loaded got = Load(c.file, false, 0, c.failAfter);
    EXPECT_FALSE(got.ok) << c.what;
    EXPECT_EQ(0u, got.liveBlocks) << c.what;
  }
  // 16383 colours is the largest table whose byte count fits 16 bits.
  Info most;
  most.bitCount = 24;
  most.clrUsed = DIB_MAX_COLORS;
  Loaded got = Load(Join({InfoHeader(most), Table(DIB_MAX_COLORS, 4), Pixels(48)}));
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(40u + 4 * DIB_MAX_COLORS + 48, got.block.size());
  EXPECT_EQ(Pixels(48), Bytes(got.block.end() - 48, got.block.end()));
  // Nothing is read from a stream that is not open.
  dibmem::MemoryStream stream;
  dibmem::MemoryAllocator allocator;
  EXPECT_EQ(nullptr, ReadDibStream(stream.AsStream(0), allocator.AsAllocator()));
}

TEST(DibBlockIsSound, ChecksEveryAreaAgainstTheBlockSize) {
  Loaded got = Load(Join({InfoHeader(Info{}), Table(256, 4), Pixels(24)}));
  ASSERT_TRUE(got.ok);
  uint32_t size = static_cast<uint32_t>(got.block.size());
  EXPECT_TRUE(DibBlockIsSound(got.block.data(), size, 1));
  EXPECT_FALSE(DibBlockIsSound(got.block.data(), size - 1, 1));
  EXPECT_TRUE(DibBlockIsSound(got.block.data(), 40 + 1024, 0));
  EXPECT_FALSE(DibBlockIsSound(got.block.data(), 40 + 1023, 0));
  got.block[20] = 23;  // biSizeImage below the 24 bytes of rows
  EXPECT_FALSE(DibBlockIsSound(got.block.data(), size, 1));
}

}  // namespace

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
  for (uint32_t n = 0; n < 256; ++n) {
    const uint8_t* q = &got.block[40 + 4 * n];
    ASSERT_EQ(static_cast<uint8_t>(n), q[0]) << "entry " << n;
    ASSERT_EQ(static_cast<uint8_t>(n + 1), q[1]) << "entry " << n;
    ASSERT_EQ(static_cast<uint8_t>(n + 2), q[2]) << "entry " << n;
    ASSERT_EQ(0, q[3]) << "entry " << n;
  }
  EXPECT_EQ(Pixels(24), Bytes(got.block.begin() + 1064, got.block.end()));
  // A large core image (65535 wide) stays positive and unsigned.
  Loaded wide = Load(Join({CoreHeader(65535, 1, 24), Bytes(28, 0)}), true);
  ASSERT_TRUE(wide.ok);
  EXPECT_EQ(65535, wide.header.biWidth);
  EXPECT_EQ(1, wide.header.biHeight);
}

TEST(ReadDib, ShortFilesFail) {
  // 2 x 2 at 24 bits in core form: only 16 pixel bytes after the 12-byte header.
  EXPECT_FALSE(Load(Join({CoreHeader(2, 2, 24), Pixels(16)})).ok);
  EXPECT_FALSE(Load(Bytes{0x42, 0x4D, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).ok);
  EXPECT_FALSE(Load(Join({FileHeader(0), Bytes(39, 0)})).ok);
}

TEST(ReadDib, ColourCountsFollowBitCountAndClrUsed) {
  Info rgb;
  rgb.bitCount = 24;
  Loaded none = Load(Join({InfoHeader(rgb), Pixels(48)}));
  ASSERT_TRUE(none.ok);
  EXPECT_EQ(0u, none.header.biClrUsed);
  EXPECT_EQ(40u + 48, none.block.size());
  EXPECT_EQ(Pixels(48), Bytes(none.block.begin() + 40, none.block.end()));

  rgb.clrUsed = 16;
  Loaded kept = Load(Join({InfoHeader(rgb), Table(16, 4), Pixels(48)}));
  ASSERT_TRUE(kept.ok);
  EXPECT_EQ(Table(16, 4), Bytes(kept.block.begin() + 40, kept.block.begin() + 104));
  EXPECT_EQ(Pixels(48), Bytes(kept.block.begin() + 104, kept.block.end()));

  for (uint16_t bits : {uint16_t(1), uint16_t(4), uint16_t(8)}) {
    Info pal;
    pal.bitCount = bits;
    uint32_t colours = 1u << bits;
    Loaded got = Load(Join({InfoHeader(pal), Table(colours, 4), Pixels(12)}));
    ASSERT_TRUE(got.ok) << bits;
    EXPECT_EQ(colours, got.header.biClrUsed) << bits;
    EXPECT_EQ(Table(colours, 4), Bytes(got.block.begin() + 40, got.block.begin() + 40 + 4 * colours));
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

TEST(ReadDib, DefaultImageSizeRoundsRowsToWords) {
  Info info;  // 5 x 3 at 8 bits
  Loaded got = Load(Join({InfoHeader(info), Table(256, 4)}), true);
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(24u, got.header.biSizeImage);
  info.width = 33;
  info.height = 2;
  info.bitCount = 1;
  got = Load(Join({InfoHeader(info), Table(2, 4)}), true);
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(16u, got.header.biSizeImage);
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

TEST(ReadDib, NegativeHeightIsSizedFromItsMagnitude) {
  Info info;
  info.height = -3;
  Loaded got = Load(Join({InfoHeader(info), Table(256, 4), Pixels(24)}));
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(-3, got.header.biHeight);
  EXPECT_EQ(24u, got.header.biSizeImage);
  EXPECT_EQ(40u + 1024 + 24, got.block.size());
}

TEST(ReadDib, StoredImageSizeBelowTheRowsGrowsToTheRows) {
  Info info;
  info.sizeImage = 4;  // the rows need 24
  Loaded got = Load(Join({InfoHeader(info), Table(256, 4), Pixels(24)}));
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(24u, got.header.biSizeImage);
  EXPECT_EQ(Pixels(24), Bytes(got.block.end() - 24, got.block.end()));
  // Run-length data is shorter than its rows by nature: its stored size is kept.
  info.compression = DIB_BI_RLE8;
  got = Load(Join({InfoHeader(info), Table(256, 4), Pixels(4)}));
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(4u, got.header.biSizeImage);
  EXPECT_EQ(40u + 1024 + 4, got.block.size());
}

TEST(ReadDib, HeadersThatCouldOverrunAreRefused) {
  struct Case { const char* what; Info info; };
  auto with = [](auto change) { Info i; change(i); return i; };
  Case cases[] = {
      {"image size near 2^32", with([](Info& i) { i.sizeImage = 0xFFFFFFF0u; })},
      {"image size over the block limit", with([](Info& i) { i.sizeImage = DIB_MAX_BLOCK_SIZE; })},
      {"rows beyond the block limit", with([](Info& i) { i.width = 0x7FFFFFFF; i.bitCount = 32; })},
      {"rows times height beyond the limit", with([](Info& i) { i.width = 65536; i.height = 65536; })},
      {"height of -2^31", with([](Info& i) { i.height = INT32_MIN; })},
      {"zero height", with([](Info& i) { i.height = 0; })},
      {"zero width", with([](Info& i) { i.width = 0; })},
      {"negative width", with([](Info& i) { i.width = -5; })},
      {"16384 colours", with([](Info& i) { i.clrUsed = 16384; })},
      {"colours cut to 16 bits", with([](Info& i) { i.clrUsed = 0x10010; })},
      {"two planes", with([](Info& i) { i.planes = 2; })},
      {"no planes", with([](Info& i) { i.planes = 0; })},
      {"2 bits", with([](Info& i) { i.bitCount = 2; })},
      {"0 bits", with([](Info& i) { i.bitCount = 0; })},
      {"bit-field masks", with([](Info& i) { i.bitCount = 16; i.compression = 3; })},
      {"unknown compression", with([](Info& i) { i.compression = 4; })},
      {"RLE8 at 4 bits", with([](Info& i) { i.bitCount = 4; i.compression = DIB_BI_RLE8; })},
      {"top-down RLE4", with([](Info& i) { i.bitCount = 4; i.height = -3; i.compression = DIB_BI_RLE4; })},
  };
  for (const Case& c : cases) {
    Loaded got = Load(Join({InfoHeader(c.info), Table(256, 4), Pixels(24)}));
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
}

TEST(ReadDib, OtherHeaderFormsAndBadOffsetsFail) {
  for (uint32_t size : {108u, 124u, 0u, 41u}) {
    Bytes file = InfoHeader(Info{});
    file[0] = static_cast<uint8_t>(size);
    file.resize(200, 0);
    EXPECT_FALSE(Load(file).ok) << size;
  }
  // An offset past the last position a stream can have.
  Bytes file = Join({FileHeader(0xFFFFFFF0u), InfoHeader(Info{}), Table(256, 4), Pixels(24)});
  Loaded got = Load(file);
  EXPECT_FALSE(got.ok);
  EXPECT_EQ(0u, got.liveBlocks);
  // Nothing is read from a stream that is not open.
  dibmem::MemoryStream stream;
  dibmem::MemoryAllocator allocator;
  EXPECT_EQ(nullptr, ReadDibStream(stream.AsStream(0), allocator.AsAllocator()));
}

TEST(ReadDib, AllocationFailuresLeaveNothingBehind) {
  Bytes file = Join({InfoHeader(Info{}), Table(256, 4), Pixels(24)});
  Loaded noHeaderBlock = Load(file, false, 0, 0);
  EXPECT_FALSE(noHeaderBlock.ok);
  EXPECT_EQ(0u, noHeaderBlock.liveBlocks);
  Loaded noGrow = Load(file, false, 0, 1);
  EXPECT_FALSE(noGrow.ok);
  EXPECT_EQ(0u, noGrow.liveBlocks);
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

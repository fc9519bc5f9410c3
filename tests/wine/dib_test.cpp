// The bitmap reader and the device-bitmap step against files written by a third party, and the
// platform resources they must give back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "harness.h"
#include "saver/bridge/dib_win.h"

namespace {

using namespace harness;

struct ImageFile {
  std::string name;
  int width, height;
};

std::vector<ImageFile> ImageIndex() {
  std::vector<ImageFile> files;
  std::ifstream index(BinPath("images\\index.txt"));
  ImageFile f;
  while (index >> f.name >> f.width >> f.height) files.push_back(f);
  return files;
}

TEST(ReadDibFile, ImageMagickFilesGiveExactlyTheirPixels) {
  std::vector<ImageFile> files = ImageIndex();
  ASSERT_GE(files.size(), 10u) << "images\\index.txt missing or short";
  for (const ImageFile& f : files) {
    std::string base = BinPath(("images\\" + f.name).c_str());
    HGLOBAL block = ReadDibFile((base + ".bmp").c_str());
    ASSERT_NE(nullptr, block) << f.name;
    HBITMAP bitmap = MakeDeviceBitmap(block, nullptr);
    GlobalFree(block);
    ASSERT_NE(nullptr, bitmap) << f.name;
    std::vector<unsigned char> got = BitmapRgb(bitmap, f.width, f.height);
    DeleteObject(bitmap);
    std::vector<unsigned char> expected = ReadWholeFile(base + ".rgb");
    ASSERT_EQ(static_cast<size_t>(f.width) * f.height * 3, expected.size()) << f.name;
    long at = FirstDifference(got, expected);
    EXPECT_EQ(-1, at) << f.name << ": first different pixel at x " << at % f.width << " y "
                      << at / f.width;
    // The saver's own loader, band by band where it can, gives the same pixels.
    bitmap = LoadDeviceBitmap((base + ".bmp").c_str(), nullptr);
    ASSERT_NE(nullptr, bitmap) << f.name;
    EXPECT_EQ(-1, FirstDifference(BitmapRgb(bitmap, f.width, f.height), expected)) << f.name << ", in bands";
    DeleteObject(bitmap);
  }
}

// Pixels of a file through ReadDibFile and MakeDeviceBitmap, checked against the saver's own
// loader; empty on failure.
std::vector<unsigned char> LoadedRgb(const std::vector<unsigned char>& file, int w, int h) {
  std::string path = BinPath("images\\scratch_pixels.bmp");
  std::vector<unsigned char> rgb;
  if (!WriteWholeFile(path, file)) return rgb;
  HGLOBAL block = ReadDibFile(path.c_str());
  HBITMAP bitmap = block ? MakeDeviceBitmap(block, nullptr) : nullptr;
  if (block) GlobalFree(block);
  HBITMAP banded = LoadDeviceBitmap(path.c_str(), nullptr);
  DeleteFileA(path.c_str());
  EXPECT_EQ(bitmap != nullptr, banded != nullptr) << "the saver's loader";
  if (bitmap) rgb = BitmapRgb(bitmap, w, h);
  if (banded) {
    EXPECT_EQ(-1, FirstDifference(BitmapRgb(banded, w, h), rgb)) << "the saver's loader";
  }
  DeleteObject(bitmap);
  DeleteObject(banded);
  return rgb;
}

TEST(ReadDibFile, TopDownAndUndersizedImagesGiveTheirPixels) {
  const int w = 29, h = 13;
  const size_t offBits = 54, row = (w * 3 + 3) & ~3;
  std::vector<unsigned char> expected = PatternPixels(w, h);
  // Rows stored top row first, announced by a negative height.
  std::vector<unsigned char> file = PatternBitmapFile(w, h);
  std::vector<unsigned char> topDown = file;
  for (int y = 0; y < h; ++y)
    std::copy(file.begin() + offBits + (h - 1 - y) * row, file.begin() + offBits + (h - y) * row,
              topDown.begin() + offBits + y * row);
  LONG negative = -h;
  memcpy(&topDown[22], &negative, 4);
  EXPECT_EQ(-1, FirstDifference(LoadedRgb(topDown, w, h), expected)) << "top-down";
  // A stored image size far below the rows: the rows are read all the same.
  std::vector<unsigned char> undersized = file;
  DWORD four = 4;
  memcpy(&undersized[34], &four, 4);
  EXPECT_EQ(-1, FirstDifference(LoadedRgb(undersized, w, h), expected)) << "undersized";
  // Rows enough for several bands of the saver's loader, the last one short.
  const int tallW = 1001, tallH = 203;
  EXPECT_EQ(-1, FirstDifference(LoadedRgb(PatternBitmapFile(tallW, tallH), tallW, tallH),
                                PatternPixels(tallW, tallH))) << "several bands";
}

TEST(ReadDibFile, FailuresGiveNullAndLeaveNoFileOpen) {
  std::string dir = BinPath("images");
  EXPECT_EQ(nullptr, ReadDibFile((dir + "\\no-such-file.bmp").c_str()));
  std::vector<unsigned char> good = ReadWholeFile(dir + "\\bmp3_24.bmp");
  ASSERT_FALSE(good.empty());
  std::string scratch = dir + "\\scratch.bmp";
  // Too short for the headers: refused.
  ASSERT_TRUE(WriteWholeFile(scratch, {good.begin(), good.begin() + 40}));
  EXPECT_EQ(nullptr, ReadDibFile(scratch.c_str()));
  EXPECT_EQ(nullptr, LoadDeviceBitmap(scratch.c_str(), nullptr));
  EXPECT_TRUE(DeleteFileA(scratch.c_str())) << "the file was left open: " << GetLastError();
  // Pixels cut short: loaded, and the file is closed again as well.
  ASSERT_TRUE(WriteWholeFile(scratch, {good.begin(), good.begin() + 100}));
  HGLOBAL block = ReadDibFile(scratch.c_str());
  EXPECT_NE(nullptr, block);
  if (block) GlobalFree(block);
  HBITMAP bitmap = LoadDeviceBitmap(scratch.c_str(), nullptr);
  EXPECT_NE(nullptr, bitmap);
  DeleteObject(bitmap);
  EXPECT_TRUE(DeleteFileA(scratch.c_str())) << "the file was left open: " << GetLastError();
  // Its missing rows read as zeros either way.
  LONG width = 0, height = 0;
  memcpy(&width, &good[18], 4);
  memcpy(&height, &good[22], 4);
  EXPECT_FALSE(LoadedRgb({good.begin(), good.begin() + 100}, width, height).empty());
}

TEST(MakeDeviceBitmap, RestoresTheCursorWhateverTheOutcome) {
  HCURSOR before = LoadCursorA(nullptr, IDC_CROSS);
  SetCursor(before);
  HGLOBAL block = ReadDibFile(BinPath("images\\bmp3_8.bmp").c_str());
  ASSERT_NE(nullptr, block);

  HBITMAP bitmap = MakeDeviceBitmap(block, nullptr);
  EXPECT_NE(nullptr, bitmap);
  EXPECT_EQ(before, GetCursor());
  DeleteObject(bitmap);

  // Under a palette: the same pixels on a true-colour screen.
  struct { LOGPALETTE head; PALETTEENTRY more[1]; } pal = {{0x300, 2, {{255, 0, 0, 0}}}, {{0, 0, 255, 0}}};
  HPALETTE palette = CreatePalette(&pal.head);
  ASSERT_NE(nullptr, palette);
  bitmap = MakeDeviceBitmap(block, palette);
  EXPECT_NE(nullptr, bitmap);
  EXPECT_EQ(before, GetCursor());
  std::vector<unsigned char> expected =
      ReadWholeFile(BinPath("images\\bmp3_8.rgb"));
  EXPECT_EQ(-1, FirstDifference(BitmapRgb(bitmap, 37, 23), expected));
  DeleteObject(bitmap);
  DeleteObject(palette);

  EXPECT_EQ(nullptr, MakeDeviceBitmap(nullptr, nullptr));
  EXPECT_EQ(before, GetCursor());
  GlobalFree(block);
}

TEST(MakeDeviceBitmap, RefusesABlockSmallerThanItsHeaderSays) {
  HCURSOR before = LoadCursorA(nullptr, IDC_CROSS);
  SetCursor(before);
  // 100 x 100 at 24 bits wants 30000 pixel bytes; the block has 60.
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 100);
  ASSERT_NE(nullptr, block);
  BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
  header->biSize = 40;
  header->biWidth = 100;
  header->biHeight = 100;
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biSizeImage = 30000;
  GlobalUnlock(block);
  EXPECT_EQ(nullptr, MakeDeviceBitmap(block, nullptr));
  EXPECT_EQ(before, GetCursor());
  // The block was borrowed, not changed or freed.
  header = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
  ASSERT_NE(nullptr, header);
  EXPECT_EQ(30000u, header->biSizeImage);
  GlobalUnlock(block);
  GlobalFree(block);
}

}  // namespace

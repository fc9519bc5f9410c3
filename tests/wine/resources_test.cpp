// The saver's resources, read from outside: the built program is loaded as a data file, as the
// system's Display Properties reads it, and its dialog template, strings, icon, cursor and
// version are checked byte by byte. Runs against the program of this build and, when present,
// against the shipped 32-bit file in dist/.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace {

std::vector<std::string> SaverFiles() {
  std::vector<std::string> files{harness::BinPath("nvrss32.scr")};
  // build/<preset>/bin -> the repository's dist folder
  std::string shipped = harness::BinDir() + "\\..\\..\\..\\dist\\nvrss32.scr";
  if (GetFileAttributesA(shipped.c_str()) != INVALID_FILE_ATTRIBUTES) files.push_back(shipped);
  return files;
}

// A program loaded as data only: its resources can be read, none of its code runs.
struct DataModule {
  HMODULE module;
  explicit DataModule(const std::string& path)
      : module(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~DataModule() {
    if (module) FreeLibrary(module);
  }
  // The bytes of one resource; empty when it is missing.
  std::vector<BYTE> Resource(LPCSTR type, WORD id) const {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(loaded));
    DWORD size = SizeofResource(module, found);
    if (!bytes) return {};
    return std::vector<BYTE>(bytes, bytes + size);
  }
};

// Reads the little-endian fields of a resource, never past its end: a short resource gives
// zeros and sets failed.
struct Reader {
  const std::vector<BYTE>& bytes;
  size_t at = 0;
  bool failed = false;
  explicit Reader(const std::vector<BYTE>& b) : bytes(b) {}
  DWORD Take(size_t size) {
    if (at + size > bytes.size()) {
      failed = true;
      at = bytes.size();
      return 0;
    }
    DWORD value = 0;
    for (size_t i = 0; i < size; ++i) value |= static_cast<DWORD>(bytes[at + i]) << (8 * i);
    at += size;
    return value;
  }
  WORD Word() { return static_cast<WORD>(Take(2)); }
  DWORD Dword() { return Take(4); }
  short Short() { return static_cast<short>(Take(2)); }
  void AlignDword() { at = (at + 3) & ~static_cast<size_t>(3); }
  // A zero-terminated UTF-16 text, returned as ASCII ('?' for anything above 0x7F).
  std::string Text() {
    std::string text;
    for (WORD c = Word(); c != 0 && !failed; c = Word()) text += c < 0x80 ? char(c) : '?';
    return text;
  }
  // A name or an ordinal: 0xFFFF and a number, or a text. Ordinals come out as "#n".
  std::string NameOrOrdinal() {
    if (at + 2 <= bytes.size() && bytes[at] == 0xFF && bytes[at + 1] == 0xFF) {
      Word();
      return "#" + std::to_string(Word());
    }
    return Text();
  }
};

struct DialogItem {
  DWORD style, exStyle;
  short x, y, cx, cy;
  WORD id;
  std::string className, text;
};

TEST(SaverResources, DialogTemplateIsAsTabled) {
  for (const std::string& file : SaverFiles()) {
    SCOPED_TRACE(file);
    DataModule saver(file);
    ASSERT_NE(nullptr, saver.module) << "error " << GetLastError();
    std::vector<BYTE> bytes = saver.Resource(RT_DIALOG, 2003);
    ASSERT_FALSE(bytes.empty());
    Reader in(bytes);
    DWORD style = in.Dword(), exStyle = in.Dword();
    WORD count = in.Word();
    short x = in.Short(), y = in.Short(), cx = in.Short(), cy = in.Short();
    EXPECT_EQ(0x90C800C0u, style) << std::hex << "got 0x" << style;
    EXPECT_EQ(0u, exStyle);
    EXPECT_EQ(34, x);
    EXPECT_EQ(32, y);
    EXPECT_EQ(201, cx);
    EXPECT_EQ(90, cy);
    EXPECT_EQ("", in.NameOrOrdinal()) << "menu";
    EXPECT_EQ("", in.NameOrOrdinal()) << "class";
    EXPECT_EQ("NVR Glowpane", in.Text());
    EXPECT_EQ(8, in.Word()) << "font size";
    EXPECT_EQ("Helv", in.Text());
    ASSERT_EQ(5, count);

    const DialogItem expected[] = {
        {0x50030001, 0, 25, 68, 67, 16, 1, "BUTTON", "OK"},
        {0x50010000, 0, 108, 68, 67, 16, 2, "BUTTON", "Cancel"},
        {0x50000007, 0, 5, 10, 191, 51, 0xFFFF, "BUTTON", "&Selecting Content"},
        {0x50000009, 0, 15, 25, 178, 10, 113, "BUTTON", "Hold down \"Alt\" key and click with mouse"},
        {0x50000009, 0, 15, 40, 173, 10, 114, "BUTTON", "Simply click with mouse"},
    };
    for (const DialogItem& want : expected) {
      SCOPED_TRACE(want.text);
      in.AlignDword();
      DialogItem got;
      got.style = in.Dword();
      got.exStyle = in.Dword();
      got.x = in.Short();
      got.y = in.Short();
      got.cx = in.Short();
      got.cy = in.Short();
      got.id = in.Word();
      got.className = in.NameOrOrdinal();
      got.text = in.NameOrOrdinal();
      WORD extra = in.Word();
      in.Take(extra);
      // The button class may be written as its predefined ordinal or by name.
      if (got.className == "#128" || lstrcmpiA(got.className.c_str(), "Button") == 0)
        got.className = "BUTTON";
      EXPECT_EQ(want.style, got.style) << std::hex << "got 0x" << got.style;
      EXPECT_EQ(want.exStyle, got.exStyle);
      EXPECT_EQ(want.x, got.x);
      EXPECT_EQ(want.y, got.y);
      EXPECT_EQ(want.cx, got.cx);
      EXPECT_EQ(want.cy, got.cy);
      EXPECT_EQ(want.id, got.id);
      EXPECT_EQ(want.className, got.className);
      EXPECT_EQ(want.text, got.text);
    }
    EXPECT_FALSE(in.failed) << "the template ends early";
  }
}

TEST(SaverResources, StringTableHoldsTheTradeMarkSign) {
  for (const std::string& file : SaverFiles()) {
    SCOPED_TRACE(file);
    DataModule saver(file);
    ASSERT_NE(nullptr, saver.module) << "error " << GetLastError();
    WCHAR wide[64];
    for (UINT id : {1u, 100u}) {
      ASSERT_EQ(13, LoadStringW(saver.module, id, wide, 64)) << "entry " << id;
      EXPECT_EQ(0, lstrcmpW(L"NVR Glowpane\x2122", wide)) << "entry " << id;
    }
    // The ANSI form: the sign becomes the code page's own byte for it.
    ASSERT_EQ(1252u, GetACP());
    char text[64];
    ASSERT_EQ(13, LoadStringA(saver.module, 1, text, sizeof text));
    EXPECT_EQ(0, memcmp("NVR Glowpane\x99", text, 14)) << "got " << text;
    // The profile key and file name fit the buffers the dialog reads them into.
    char key[22], profile[13];
    EXPECT_EQ(11, LoadStringA(saver.module, 1000, key, sizeof key));
    EXPECT_STREQ("PWProtected", key);
    EXPECT_EQ(11, LoadStringA(saver.module, 1001, profile, sizeof profile));
    EXPECT_STREQ("control.ini", profile);
  }
}

TEST(SaverResources, IconIsOne32By32ImageIn16Colours) {
  for (const std::string& file : SaverFiles()) {
    SCOPED_TRACE(file);
    DataModule saver(file);
    ASSERT_NE(nullptr, saver.module) << "error " << GetLastError();
    std::vector<BYTE> group = saver.Resource(RT_GROUP_ICON, 100);
    ASSERT_FALSE(group.empty());
    Reader dir(group);
    EXPECT_EQ(0, dir.Word());
    EXPECT_EQ(1, dir.Word()) << "resource type: icon";
    ASSERT_EQ(1, dir.Word()) << "images";
    BYTE width = BYTE(dir.Take(1)), height = BYTE(dir.Take(1)), colours = BYTE(dir.Take(1));
    dir.Take(1);
    dir.Word();  // planes
    WORD bitCount = dir.Word();
    dir.Dword();  // size
    WORD imageId = dir.Word();
    ASSERT_FALSE(dir.failed);
    EXPECT_EQ(32, width);
    EXPECT_EQ(32, height);
    EXPECT_EQ(16, colours);
    EXPECT_EQ(4, bitCount);

    std::vector<BYTE> image = saver.Resource(RT_ICON, imageId);
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER) + 16 * 4 + 32 * 16 + 32 * 4);
    BITMAPINFOHEADER header;
    memcpy(&header, image.data(), sizeof header);
    EXPECT_EQ(40u, header.biSize);
    EXPECT_EQ(32, header.biWidth);
    EXPECT_EQ(64, header.biHeight) << "colour and mask images";
    EXPECT_EQ(1, header.biPlanes);
    EXPECT_EQ(4, header.biBitCount);
    EXPECT_TRUE(header.biClrUsed == 0 || header.biClrUsed == 16) << header.biClrUsed;
  }
}

TEST(SaverResources, PointingHandCursorHasItsHotSpotAtTheFingerTip) {
  for (const std::string& file : SaverFiles()) {
    SCOPED_TRACE(file);
    DataModule saver(file);
    ASSERT_NE(nullptr, saver.module) << "error " << GetLastError();
    std::vector<BYTE> group = saver.Resource(RT_GROUP_CURSOR, 224);
    ASSERT_FALSE(group.empty()) << "no cursor group 224";
    Reader dir(group);
    dir.Word();
    EXPECT_EQ(2, dir.Word()) << "resource type: cursor";
    ASSERT_GE(dir.Word(), 1) << "images";
    dir.Word();  // width
    dir.Word();  // height: twice the cursor's, colour and mask
    dir.Word();  // planes
    dir.Word();  // bits per pixel
    dir.Dword();
    WORD imageId = dir.Word();
    ASSERT_FALSE(dir.failed);
    std::vector<BYTE> image = saver.Resource(RT_CURSOR, imageId);
    Reader in(image);
    WORD hotX = in.Word(), hotY = in.Word();
    ASSERT_FALSE(in.failed);
    EXPECT_EQ(6, hotX);
    EXPECT_EQ(0, hotY);
  }
}

// The version block names the saver; a template that lost its strings would still link.
TEST(SaverResources, VersionResourceNamesTheSaver) {
  for (const std::string& file : SaverFiles()) {
    SCOPED_TRACE(file);
    DataModule saver(file);
    ASSERT_NE(nullptr, saver.module) << "error " << GetLastError();
    std::vector<BYTE> block = saver.Resource(RT_VERSION, 1);
    ASSERT_FALSE(block.empty());
    auto contains = [&block](const std::wstring& text) {
      std::vector<BYTE> pattern(reinterpret_cast<const BYTE*>(text.c_str()),
                                reinterpret_cast<const BYTE*>(text.c_str() + text.size() + 1));
      return std::search(block.begin(), block.end(), pattern.begin(), pattern.end()) != block.end();
    };
    // VS_FIXEDFILEINFO starts with its signature, after the key "VS_VERSION_INFO".
    const BYTE signature[] = {0xBD, 0x04, 0xEF, 0xFE};
    auto fixed = std::search(block.begin(), block.end(), signature, signature + 4);
    ASSERT_NE(block.end(), fixed);
    VS_FIXEDFILEINFO info;
    ASSERT_GE(size_t(block.end() - fixed), sizeof info);
    memcpy(&info, &*fixed, sizeof info);
    EXPECT_EQ(DWORD(VFT_APP), info.dwFileType);
    EXPECT_EQ(DWORD(VOS__WINDOWS32), info.dwFileOS);
    EXPECT_TRUE(contains(L"OriginalFilename"));
    EXPECT_TRUE(contains(L"nvrss32.scr"));
    EXPECT_TRUE(contains(L"NVR Glowpane screen saver"));
  }
}

}  // namespace

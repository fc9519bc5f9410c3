// The saver's resources, read from outside: the built program is loaded as a data file, as the
// system's Display Properties reads it, and its dialog template, strings, icon, cursor and
// version are checked byte by byte. Runs against the program of this build and, when present,
// against the shipped 32-bit file in dist/.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

namespace {

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

// Runs check on the program of this build and, when present, on the shipped file in dist/.
void ForEachSaver(const std::function<void(const DataModule&)>& check) {
  std::vector<std::string> files{harness::BinPath("nvrss32.scr")};
  // build/<preset>/bin -> the repository's dist folder
  std::string shipped = harness::BinDir() + "\\..\\..\\..\\dist\\nvrss32.scr";
  if (GetFileAttributesA(shipped.c_str()) != INVALID_FILE_ATTRIBUTES) files.push_back(shipped);
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    DataModule saver(file);
    ASSERT_NE(nullptr, saver.module) << "error " << GetLastError();
    check(saver);
  }
}

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

// A dialog or one of its controls, written out whole so that a failure shows every field (the
// operands of << are read in order).
std::string DialogItem(Reader& in, bool isControl) {
  std::ostringstream item;
  item << std::hex << std::uppercase << "style 0x" << in.Dword() << " ex 0x" << in.Dword()
       << std::dec;
  WORD count = isControl ? 0 : in.Word();
  item << " at " << in.Short() << "," << in.Short() << " size " << in.Short() << "x" << in.Short();
  if (isControl) {
    item << " id " << in.Word();
    std::string className = in.NameOrOrdinal();
    // The button class may be written as its predefined ordinal or by name.
    if (className == "#128" || lstrcmpiA(className.c_str(), "Button") == 0) className = "BUTTON";
    item << " " << className << " \"" << in.NameOrOrdinal() << "\"";
    in.Take(in.Word());  // creation data
  } else {
    item << " menu \"" << in.NameOrOrdinal() << "\" class \"" << in.NameOrOrdinal() << "\" \""
         << in.Text() << "\" font " << in.Word() << " " << in.Text() << ", " << count
         << " controls";
  }
  return item.str();
}

TEST(SaverResources, DialogTemplateIsAsTabled) {
  ForEachSaver([](const DataModule& saver) {
    std::vector<BYTE> bytes = saver.Resource(RT_DIALOG, 2003);
    ASSERT_FALSE(bytes.empty());
    Reader in(bytes);
    EXPECT_EQ("style 0x90C800C0 ex 0x0 at 34,32 size 201x90 menu \"\" class \"\" \"NVR Glowpane\" "
              "font 8 Helv, 5 controls",
              DialogItem(in, false));
    for (const char* control : {
             "style 0x50030001 ex 0x0 at 25,68 size 67x16 id 1 BUTTON \"OK\"",
             "style 0x50010000 ex 0x0 at 108,68 size 67x16 id 2 BUTTON \"Cancel\"",
             "style 0x50000007 ex 0x0 at 5,10 size 191x51 id 65535 BUTTON \"&Selecting Content\"",
             "style 0x50000009 ex 0x0 at 15,25 size 178x10 id 113 BUTTON "
             "\"Hold down \"Alt\" key and click with mouse\"",
             "style 0x50000009 ex 0x0 at 15,40 size 173x10 id 114 BUTTON "
             "\"Simply click with mouse\"",
         }) {
      in.AlignDword();
      EXPECT_EQ(control, DialogItem(in, true));
    }
    EXPECT_FALSE(in.failed) << "the template ends early";
  });
}

TEST(SaverResources, StringTableHoldsTheTradeMarkSign) {
  ForEachSaver([](const DataModule& saver) {
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
  });
}

TEST(SaverResources, IconIsOne32By32ImageIn16Colours) {
  ForEachSaver([](const DataModule& saver) {
    std::vector<BYTE> group = saver.Resource(RT_GROUP_ICON, 100);
    Reader dir(group);
    std::ostringstream head, entry;
    head << dir.Word() << " type " << dir.Word() << ", " << dir.Word() << " image";
    entry << dir.Take(1) << "x" << dir.Take(1) << ", " << dir.Take(1) << " colours";
    dir.Take(1 + 2);  // reserved, planes
    entry << ", " << dir.Word() << " bits";
    dir.Dword();  // size
    WORD imageId = dir.Word();
    ASSERT_FALSE(dir.failed) << "no icon group 100 or a short one";
    EXPECT_EQ("0 type 1, 1 image", head.str());
    EXPECT_EQ("32x32, 16 colours, 4 bits", entry.str());

    std::vector<BYTE> image = saver.Resource(RT_ICON, imageId);
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER) + 16 * 4 + 32 * 16 + 32 * 4);
    BITMAPINFOHEADER h;
    memcpy(&h, image.data(), sizeof h);
    // Twice the icon's height: the colour and the mask images.
    std::ostringstream got;
    got << "size " << h.biSize << ", " << h.biWidth << "x" << h.biHeight << ", " << h.biPlanes
        << " plane, " << h.biBitCount << " bits";
    EXPECT_EQ("size 40, 32x64, 1 plane, 4 bits", got.str());
    EXPECT_TRUE(h.biClrUsed == 0 || h.biClrUsed == 16) << h.biClrUsed;
  });
}

TEST(SaverResources, PointingHandCursorHasItsHotSpotAtTheFingerTip) {
  ForEachSaver([](const DataModule& saver) {
    std::vector<BYTE> group = saver.Resource(RT_GROUP_CURSOR, 224);
    ASSERT_FALSE(group.empty()) << "no cursor group 224";
    Reader dir(group);
    dir.Word();
    EXPECT_EQ(2, dir.Word()) << "resource type: cursor";
    ASSERT_GE(dir.Word(), 1) << "images";
    dir.Take(4 * 2 + 4);  // width, height (twice the cursor's), planes, bits, size
    WORD imageId = dir.Word();
    ASSERT_FALSE(dir.failed);
    std::vector<BYTE> image = saver.Resource(RT_CURSOR, imageId);
    Reader in(image);
    WORD hotX = in.Word(), hotY = in.Word();
    ASSERT_FALSE(in.failed);
    EXPECT_EQ(6, hotX);
    EXPECT_EQ(0, hotY);
  });
}

// The version block names the saver; a template that lost its strings would still link.
TEST(SaverResources, VersionResourceNamesTheSaver) {
  ForEachSaver([](const DataModule& saver) {
    std::vector<BYTE> block = saver.Resource(RT_VERSION, 1);
    ASSERT_FALSE(block.empty());
    // VS_FIXEDFILEINFO starts with its signature, after the key "VS_VERSION_INFO".
    const BYTE signature[] = {0xBD, 0x04, 0xEF, 0xFE};
    auto fixed = std::search(block.begin(), block.end(), signature, signature + 4);
    ASSERT_NE(block.end(), fixed);
    VS_FIXEDFILEINFO info;
    ASSERT_GE(size_t(block.end() - fixed), sizeof info);
    memcpy(&info, &*fixed, sizeof info);
    EXPECT_EQ(DWORD(VFT_APP), info.dwFileType);
    EXPECT_EQ(DWORD(VOS__WINDOWS32), info.dwFileOS);
    for (std::wstring text : {L"OriginalFilename", L"nvrss32.scr", L"NVR Glowpane screen saver"}) {
      const BYTE* from = reinterpret_cast<const BYTE*>(text.c_str());
      const BYTE* to = reinterpret_cast<const BYTE*>(text.c_str() + text.size() + 1);
      EXPECT_NE(block.end(), std::search(block.begin(), block.end(), from, to))
          << "no \"" << std::string(text.begin(), text.end()) << "\"";
    }
  });
}

}  // namespace

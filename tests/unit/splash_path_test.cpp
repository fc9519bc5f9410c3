// Path splitting and composing as the splash location uses them, with a double-byte code page
// playing the system's ANSI code page where it matters.
#include <gtest/gtest.h>

#include <string>

#include "saver/bridge/splash_path.h"

namespace {

// Lead bytes of code page 932.
int Cp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

struct Split {
  std::string drive, directory;
  int whole;
};

Split SplitOf(const std::string& path, LeadBytePredicate lead = nullptr) {
  char drive[DRIVE_SIZE], directory[DIRECTORY_SIZE];
  int whole = SplitPath(path.c_str(), drive, sizeof drive, directory, sizeof directory, lead);
  return Split{drive, directory, whole};
}

std::string PathOf(const char* drive, const char* directory, const char* name, const char* ext,
                   LeadBytePredicate lead = nullptr) {
  char out[PATH_SIZE];
  if (!MakePath(out, sizeof out, drive, directory, name, ext, lead)) return "<too long>";
  return out;
}

// Drive and directory up to the last separator, cut at a character boundary when too long
// (whole is then 0). 0x95 0x5C is one character of code page 932 whose second byte equals '\\'.
TEST(SplitPath, DriveAndDirectoryUpToTheLastSeparator) {
  const std::string a254(254, 'a');
  const struct { std::string path; LeadBytePredicate lead; const char* drive; std::string directory;
                 int whole; } cases[] = {
      {"c:\\nvr\\nvr.exe", nullptr, "c:", "\\nvr\\", 1},
      // Forward slashes count; arguments with a separator move the directory along.
      {"d:/apps/nvr/nvr.exe -x c:\\tmp\\y", nullptr, "d:", "/apps/nvr/nvr.exe -x c:\\tmp\\", 1},
      // A drive alone, a drive with a bare name, no separator at all, any first character.
      {"c:", nullptr, "c:", "", 1},
      {"c:nvr.exe", nullptr, "c:", "", 1},
      {"nvr.exe", nullptr, "", "", 1},
      {"5:\\a", nullptr, "5:", "\\", 1},
      {"", nullptr, "", "", 1},
      // Double-byte characters ending in a backslash are no separators; without the code page
      // the same bytes split at the trail byte; a lead byte at the very end takes nothing.
      {"c:\\nvr\\\x95\x5C.exe", Cp932Lead, "c:", "\\nvr\\", 1},
      {"c:\\\x95\x5C\\nvr.exe", Cp932Lead, "c:", "\\\x95\x5C\\", 1},
      {"c:\\nvr\\\x95\x5C.exe", nullptr, "c:", "\\nvr\\\x95\\", 1},
      {"c:\\a\\\x95", Cp932Lead, "c:", "\\a\\", 1},
      // Long directories: 255 bytes fit whole; a double-byte character that would straddle the
      // limit is left out.
      {"c:\\" + std::string(300, 'a') + "\\nvr.exe", nullptr, "c:", "\\" + a254, 0},
      {"c:" + a254 + "\x95\x5C\\x", Cp932Lead, "c:", a254, 0},
      {"c:" + a254 + "\\x", nullptr, "c:", a254 + "\\", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("path \"" + c.path + (c.lead ? "\", code page 932" : "\""));
    Split got = SplitOf(c.path, c.lead);
    EXPECT_EQ(c.drive, got.drive);
    EXPECT_EQ(c.directory, got.directory);
    EXPECT_EQ(c.whole, got.whole);
  }
}

TEST(MakePath, ComposesTheGivenParts) {
  const std::string longName(259, 'n'), longDirectory(250, 'd');
  const struct { const char *drive, *directory; std::string name; const char* ext;
                 LeadBytePredicate lead; std::string path; } cases[] = {
      {"c:", "\\nvr\\", "nvr", "cfg", nullptr, "c:\\nvr\\nvr.cfg"},
      {"c:", "\\nvr\\Images\\", "splash", "bmp", nullptr, "c:\\nvr\\Images\\splash.bmp"},
      {"c:", "/a/Images\\", "x", "bmp", nullptr, "c:/a/Images\\x.bmp"},
      {"", "", "nvr", "cfg", nullptr, "nvr.cfg"},
      {"c:", "", "nvr", "cfg", nullptr, "c:nvr.cfg"},
      {nullptr, "Images\\", "splash", "bmp", nullptr, "Images\\splash.bmp"},
      // A separator is added where the directory lacks one; the extension's dot is not doubled.
      {"c:", "\\nvr", "x", ".bmp", nullptr, "c:\\nvr\\x.bmp"},
      {"c:", "\\nvr/", "x", nullptr, nullptr, "c:\\nvr/x"},
      {"c:", "\\nvr\\", "x", "", nullptr, "c:\\nvr\\x"},
      // The extension is always added, even to a name that already has it, or to no name.
      {"", "Images\\", "splash.bmp", "bmp", nullptr, "Images\\splash.bmp.bmp"},
      {"", "Images\\", "", "bmp", nullptr, "Images\\.bmp"},
      // A trail byte that equals '\\' is no final separator.
      {"c:", "\\\x95\x5C", "x", "bmp", Cp932Lead, "c:\\\x95\x5C\\x.bmp"},
      {"c:", "\\\x95\x5C", "x", "bmp", nullptr, "c:\\\x95\x5Cx.bmp"},
      // Paths that do not fit are refused whole.
      {"c:", longDirectory.c_str(), "splash", "bmp", nullptr, "<too long>"},  // 2 + 251 + 10
      {nullptr, nullptr, longName, "b", nullptr, "<too long>"},
      {nullptr, nullptr, longName, nullptr, nullptr, longName},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("name \"" + c.name + "\"");
    EXPECT_EQ(c.path, PathOf(c.drive, c.directory, c.name.c_str(), c.ext, c.lead));
  }
}

TEST(MakePath, ABufferTooSmallGetsAnEmptyText) {
  char small[4] = "zzz";
  EXPECT_EQ(0, MakePath(small, sizeof small, "c:", "\\", "a", nullptr, nullptr));
  EXPECT_STREQ("", small);
  EXPECT_EQ(1, MakePath(small, sizeof small, "c:", "\\", nullptr, nullptr, nullptr));
  EXPECT_STREQ("c:\\", small);
}

TEST(AppendPath, AppendsOnlyWhatFits) {
  char buffer[12] = "\\nvr\\";
  EXPECT_EQ(1, AppendPath(buffer, sizeof buffer, "Images"));
  EXPECT_STREQ("\\nvr\\Images", buffer);
  EXPECT_EQ(0, AppendPath(buffer, sizeof buffer, "\\"));
  EXPECT_STREQ("\\nvr\\Images", buffer);
}

}  // namespace

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

TEST(SplitPath, DriveAndDirectoryUpToTheLastSeparator) {
  Split s = SplitOf("c:\\nvr\\nvr.exe");
  EXPECT_EQ("c:", s.drive);
  EXPECT_EQ("\\nvr\\", s.directory);
  EXPECT_EQ(1, s.whole);
  // Forward slashes count; arguments with a separator move the directory along.
  s = SplitOf("d:/apps/nvr/nvr.exe -x c:\\tmp\\y");
  EXPECT_EQ("d:", s.drive);
  EXPECT_EQ("/apps/nvr/nvr.exe -x c:\\tmp\\", s.directory);
  // A drive alone, a drive with a bare name, no separator at all, any first character.
  EXPECT_EQ("c:", SplitOf("c:").drive);
  EXPECT_EQ("", SplitOf("c:").directory);
  s = SplitOf("c:nvr.exe");
  EXPECT_EQ("c:", s.drive);
  EXPECT_EQ("", s.directory);
  s = SplitOf("nvr.exe");
  EXPECT_EQ("", s.drive);
  EXPECT_EQ("", s.directory);
  EXPECT_EQ("5:", SplitOf("5:\\a").drive);
  EXPECT_EQ("", SplitOf("").drive);
}

TEST(SplitPath, DoubleByteCharactersEndingInBackslashAreNoSeparators) {
  // 0x95 0x5C is one character whose second byte equals '\\'.
  Split s = SplitOf("c:\\nvr\\\x95\x5C.exe", Cp932Lead);
  EXPECT_EQ("\\nvr\\", s.directory);
  s = SplitOf("c:\\\x95\x5C\\nvr.exe", Cp932Lead);
  EXPECT_EQ("\\\x95\x5C\\", s.directory);
  // Without the code page, the same bytes split at the trail byte.
  EXPECT_EQ("\\nvr\\\x95\\", SplitOf("c:\\nvr\\\x95\x5C.exe").directory);
  // A lead byte at the very end takes nothing with it.
  EXPECT_EQ("\\a\\", SplitOf("c:\\a\\\x95", Cp932Lead).directory);
}

TEST(SplitPath, LongDirectoriesAreCutAtACharacterBoundaryAndReported) {
  std::string deep = "c:\\" + std::string(300, 'a') + "\\nvr.exe";
  Split s = SplitOf(deep);
  EXPECT_EQ(0, s.whole);
  EXPECT_EQ(255u, s.directory.size());
  // 254 bytes, then a double-byte character that would straddle the limit: it is left out.
  std::string dbcs = "c:" + std::string(254, 'a') + "\x95\x5C\\x";
  s = SplitOf(dbcs, Cp932Lead);
  EXPECT_EQ(0, s.whole);
  EXPECT_EQ(std::string(254, 'a'), s.directory);
  // Exactly 255 bytes fit whole.
  s = SplitOf("c:" + std::string(254, 'a') + "\\x");
  EXPECT_EQ(1, s.whole);
  EXPECT_EQ(255u, s.directory.size());
}

TEST(MakePath, ComposesTheGivenParts) {
  EXPECT_EQ("c:\\nvr\\nvr.cfg", PathOf("c:", "\\nvr\\", "nvr", "cfg"));
  EXPECT_EQ("c:\\nvr\\Images\\splash.bmp", PathOf("c:", "\\nvr\\Images\\", "splash", "bmp"));
  EXPECT_EQ("c:/a/Images\\x.bmp", PathOf("c:", "/a/Images\\", "x", "bmp"));
  EXPECT_EQ("nvr.cfg", PathOf("", "", "nvr", "cfg"));
  EXPECT_EQ("c:nvr.cfg", PathOf("c:", "", "nvr", "cfg"));
  EXPECT_EQ("Images\\splash.bmp", PathOf(nullptr, "Images\\", "splash", "bmp"));
  // A separator is added where the directory lacks one; the extension's dot is not doubled.
  EXPECT_EQ("c:\\nvr\\x.bmp", PathOf("c:", "\\nvr", "x", ".bmp"));
  EXPECT_EQ("c:\\nvr/x", PathOf("c:", "\\nvr/", "x", nullptr));
  EXPECT_EQ("c:\\nvr\\x", PathOf("c:", "\\nvr\\", "x", ""));
  // The extension is always added, even to a name that already has it, or to no name.
  EXPECT_EQ("Images\\splash.bmp.bmp", PathOf("", "Images\\", "splash.bmp", "bmp"));
  EXPECT_EQ("Images\\.bmp", PathOf("", "Images\\", "", "bmp"));
}

TEST(MakePath, TrailByteBackslashIsNoFinalSeparator) {
  EXPECT_EQ("c:\\\x95\x5C\\x.bmp", PathOf("c:", "\\\x95\x5C", "x", "bmp", Cp932Lead));
  EXPECT_EQ("c:\\\x95\x5Cx.bmp", PathOf("c:", "\\\x95\x5C", "x", "bmp"));
}

TEST(MakePath, PathsThatDoNotFitAreRefusedWhole) {
  std::string dir(250, 'd');
  EXPECT_EQ("<too long>", PathOf("c:", dir.c_str(), "splash", "bmp"));  // 2 + 251 + 10 bytes
  std::string name(259, 'n');
  EXPECT_EQ("<too long>", PathOf(nullptr, nullptr, name.c_str(), "b"));
  EXPECT_EQ(name, PathOf(nullptr, nullptr, name.c_str(), nullptr));
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

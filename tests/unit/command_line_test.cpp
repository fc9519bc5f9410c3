#include <gtest/gtest.h>

#include <string>

#include "saver/host/command_line.h"

namespace {

const char* NextByte(const char* text) { return *text ? text + 1 : text; }

// A double-byte code page where 0x81 to 0x9F lead: the byte after a lead belongs to it,
// whatever its value, except the terminating NUL.
const char* NextDoubleByte(const char* text) {
  unsigned char c = static_cast<unsigned char>(*text);
  if (!c) return text;
  if (c >= 0x81 && c <= 0x9F && text[1]) return text + 2;
  return text + 1;
}

// A stepping function that ignores the end of the text: the removal must not follow it there.
const char* NextTwoBytesBlindly(const char* text) { return text + 2; }

std::string TailOf(const char* line, NextCharProc next = NextByte) {
  return SkipProgramName(line, next);
}

TEST(SkipProgramName, PlainName) {
  EXPECT_EQ("/s", TailOf("nvrss32.scr /s"));
  EXPECT_EQ("/p 1234", TailOf("nvrss32.scr   /p 1234"));
  EXPECT_EQ("", TailOf("nvrss32.scr"));
  EXPECT_EQ("", TailOf("nvrss32.scr \t "));
  EXPECT_EQ("", TailOf(""));
}

TEST(SkipProgramName, QuotedNameWithSpacesIsRemovedWhole) {
  EXPECT_EQ("/c", TailOf("\"C:\\my savers\\nvrss32.scr\" /c"));
  // The closing quote need not be followed by a blank.
  EXPECT_EQ("/s", TailOf("\"a b\"/s"));
  EXPECT_EQ("", TailOf("\"\""));
}

TEST(SkipProgramName, UnterminatedQuoteMakesTheWholeLineTheName) {
  EXPECT_EQ("", TailOf("\"C:\\my savers\\nvrss32.scr /s"));
}

TEST(SkipProgramName, BytesAboveOneTwentySevenBelongToTheName) {
  EXPECT_EQ("/s", TailOf("caf\xE9\xFF.scr /s"));
}

TEST(SkipProgramName, BlanksAfterTheNameAreEveryByteUpToThirtyTwo) {
  EXPECT_EQ("/s \x01", TailOf("x.scr \x01\x1F\t\n /s \x01"));
}

TEST(SkipProgramName, DoubleByteCharactersAreSteppedWhole) {
  // A trail byte that looks like a blank or a quote does not end the name.
  EXPECT_EQ("/s", TailOf("a\x81 b.scr /s", NextDoubleByte));
  EXPECT_EQ("/s", TailOf("\"a\x81\"b\" /s", NextDoubleByte));
  // A lead byte at the very end.
  EXPECT_EQ("", TailOf("ab\x81", NextDoubleByte));
}

TEST(SkipProgramName, StepsNeverLeaveTheText) {
  // Stepping two bytes from the last byte of the name would jump the terminating NUL.
  char line[] = {'a', 'b', 'c', '\0', '/', 's', '\0'};
  EXPECT_EQ(line + 3, SkipProgramName(line, NextTwoBytesBlindly));
  char quoted[] = {'"', 'a', 'b', '\0', '/', 's', '\0'};
  EXPECT_EQ(quoted + 3, SkipProgramName(quoted, NextTwoBytesBlindly));
}

TEST(ParseWindowHandle, LeadingDigitsOnly) {
  EXPECT_EQ(1234u, ParseWindowHandle("1234"));
  EXPECT_EQ(1234u, ParseWindowHandle("1234:56"));
  EXPECT_EQ(12u, ParseWindowHandle("12 34"));
  EXPECT_EQ(7u, ParseWindowHandle("007"));
  EXPECT_EQ(0u, ParseWindowHandle(""));
  EXPECT_EQ(0u, ParseWindowHandle(":1234"));
  EXPECT_EQ(0u, ParseWindowHandle(" 1234"));
  EXPECT_EQ(0u, ParseWindowHandle("+5"));
  EXPECT_EQ(0u, ParseWindowHandle("-5"));
  EXPECT_EQ(0u, ParseWindowHandle("0x10"));
  EXPECT_EQ(3u, ParseWindowHandle("3\xB2"));  // a superscript two is no digit
}

TEST(ParseWindowHandle, WrapsModuloTwoToTheThirtyTwo) {
  EXPECT_EQ(4294967295u, ParseWindowHandle("4294967295"));
  EXPECT_EQ(0u, ParseWindowHandle("4294967296"));
  EXPECT_EQ(1234u, ParseWindowHandle("4294968530"));
  // 99999999999 mod 2^32
  EXPECT_EQ(1215752191u, ParseWindowHandle("99999999999"));
}

struct TailCase {
  const char* tail;
  CommandMode mode;
  uint32_t handle;
};

void ExpectTails(const TailCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    CommandRequest got = ParseCommandTail(cases[i].tail);
    EXPECT_EQ(cases[i].mode, got.mode) << "tail \"" << cases[i].tail << "\"";
    EXPECT_EQ(cases[i].handle, got.handle) << "tail \"" << cases[i].tail << "\"";
  }
}

TEST(ParseCommandTail, ConfigurationWithoutOwner) {
  const TailCase cases[] = {
      {"", COMMAND_CONFIG_NO_OWNER, 0},
      {"/", COMMAND_CONFIG_NO_OWNER, 0},
      {"-", COMMAND_CONFIG_NO_OWNER, 0},
      {"   ", COMMAND_CONFIG_NO_OWNER, 0},
      {" -/ -//", COMMAND_CONFIG_NO_OWNER, 0},
  };
  ExpectTails(cases, sizeof cases / sizeof cases[0]);
}

TEST(ParseCommandTail, FullScreen) {
  const TailCase cases[] = {
      {"/s", COMMAND_RUN_SAVER, 0},
      {"-S", COMMAND_RUN_SAVER, 0},
      {"  s", COMMAND_RUN_SAVER, 0},
      {"/save", COMMAND_RUN_SAVER, 0},
      {"/s /p 1234", COMMAND_RUN_SAVER, 0},
  };
  ExpectTails(cases, sizeof cases / sizeof cases[0]);
}

TEST(ParseCommandTail, PreviewHandle) {
  const TailCase cases[] = {
      {"/p 1234", COMMAND_PREVIEW, 1234},
      {"/p1234", COMMAND_PREVIEW, 1234},
      {"/P    1234", COMMAND_PREVIEW, 1234},
      {"/l 1234", COMMAND_PREVIEW, 1234},
      {"-L1234", COMMAND_PREVIEW, 1234},
      {"/p:1234", COMMAND_PREVIEW, 0},
      {"/p", COMMAND_PREVIEW, 0},
      {"/p 0", COMMAND_PREVIEW, 0},
      {"/p\t1234", COMMAND_PREVIEW, 0},   // only spaces are skipped
      {"/p -1234", COMMAND_PREVIEW, 0},
      {"/p 12 /a 34", COMMAND_PREVIEW, 12},
  };
  ExpectTails(cases, sizeof cases / sizeof cases[0]);
}

TEST(ParseCommandTail, ConfigurationOwnedByTheForegroundWindow) {
  const TailCase cases[] = {
      {"/c", COMMAND_CONFIG_FOREGROUND, 0},
      {"-C", COMMAND_CONFIG_FOREGROUND, 0},
      {"/c:1234", COMMAND_CONFIG_FOREGROUND, 0},
  };
  ExpectTails(cases, sizeof cases / sizeof cases[0]);
}

TEST(ParseCommandTail, PasswordChange) {
  const TailCase cases[] = {
      {"/a 1234", COMMAND_CHANGE_PASSWORD, 1234},
      {"-A1234", COMMAND_CHANGE_PASSWORD, 1234},
      {"/a", COMMAND_CHANGE_PASSWORD, 0},
      {"/a:1234", COMMAND_CHANGE_PASSWORD, 0},
      {"/a 99", COMMAND_CHANGE_PASSWORD, 99},
  };
  ExpectTails(cases, sizeof cases / sizeof cases[0]);
}

TEST(ParseCommandTail, AnyOtherByteIsUnusable) {
  const TailCase cases[] = {
      {"/x", COMMAND_UNUSABLE, 0},
      {"/?", COMMAND_UNUSABLE, 0},
      {"12", COMMAND_UNUSABLE, 0},
      {"/\t", COMMAND_UNUSABLE, 0},   // a tab is no separator
      {"\ts", COMMAND_UNUSABLE, 0},
      {"/\xD3", COMMAND_UNUSABLE, 0},
      {"+s", COMMAND_UNUSABLE, 0},
  };
  ExpectTails(cases, sizeof cases / sizeof cases[0]);
}

}  // namespace

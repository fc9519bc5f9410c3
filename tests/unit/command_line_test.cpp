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

TEST(SkipProgramName, RemovesTheNameAndTheBlanksAfterIt) {
  const struct { const char* line; NextCharProc next; const char* tail; } cases[] = {
      {"nvrss32.scr /s", NextByte, "/s"},
      {"nvrss32.scr   /p 1234", NextByte, "/p 1234"},
      {"nvrss32.scr", NextByte, ""},
      {"nvrss32.scr \t ", NextByte, ""},
      {"", NextByte, ""},
      // A quoted name with spaces goes whole; the closing quote need not be followed by a blank.
      {"\"C:\\my savers\\nvrss32.scr\" /c", NextByte, "/c"},
      {"\"a b\"/s", NextByte, "/s"},
      {"\"\"", NextByte, ""},
      // An unterminated quote makes the whole line the name.
      {"\"C:\\my savers\\nvrss32.scr /s", NextByte, ""},
      // Bytes above 127 belong to the name; blanks are every byte up to 32.
      {"caf\xE9\xFF.scr /s", NextByte, "/s"},
      {"x.scr \x01\x1F\t\n /s \x01", NextByte, "/s \x01"},
      // Double-byte characters are stepped whole: a trail byte that looks like a blank or a
      // quote does not end the name, and a lead byte may end the text.
      {"a\x81 b.scr /s", NextDoubleByte, "/s"},
      {"\"a\x81\"b\" /s", NextDoubleByte, "/s"},
      {"ab\x81", NextDoubleByte, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.tail, std::string(SkipProgramName(c.line, c.next))) << "line \"" << c.line << "\"";
}

TEST(SkipProgramName, StepsNeverLeaveTheText) {
  // Stepping two bytes from the last byte of the name would jump the terminating NUL.
  char line[] = {'a', 'b', 'c', '\0', '/', 's', '\0'};
  EXPECT_EQ(line + 3, SkipProgramName(line, NextTwoBytesBlindly));
  char quoted[] = {'"', 'a', 'b', '\0', '/', 's', '\0'};
  EXPECT_EQ(quoted + 3, SkipProgramName(quoted, NextTwoBytesBlindly));
}

// Leading digits only, wrapping modulo 2^32.
TEST(ParseWindowHandle, LeadingDigitsModuloTwoToTheThirtyTwo) {
  const struct { const char* text; uint32_t handle; } cases[] = {
      {"1234", 1234}, {"1234:56", 1234}, {"12 34", 12}, {"007", 7}, {"", 0}, {":1234", 0},
      {" 1234", 0}, {"+5", 0}, {"-5", 0}, {"0x10", 0},
      {"3\xB2", 3},  // a superscript two is no digit
      {"4294967295", 4294967295u}, {"4294967296", 0}, {"4294968530", 1234},
      {"99999999999", 1215752191u},  // 99999999999 mod 2^32
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.handle, ParseWindowHandle(c.text)) << "text \"" << c.text << "\"";
}

TEST(ParseCommandTail, ModeAndHandleFollowTheFirstLetter) {
  const struct { const char* tail; CommandMode mode; uint32_t handle; } cases[] = {
      {"", COMMAND_CONFIG_NO_OWNER, 0},
      {"/", COMMAND_CONFIG_NO_OWNER, 0},
      {"-", COMMAND_CONFIG_NO_OWNER, 0},
      {"   ", COMMAND_CONFIG_NO_OWNER, 0},
      {" -/ -//", COMMAND_CONFIG_NO_OWNER, 0},

      {"/s", COMMAND_RUN_SAVER, 0},
      {"-S", COMMAND_RUN_SAVER, 0},
      {"  s", COMMAND_RUN_SAVER, 0},
      {"/save", COMMAND_RUN_SAVER, 0},
      {"/s /p 1234", COMMAND_RUN_SAVER, 0},

      {"/p 1234", COMMAND_PREVIEW, 1234},
      {"/p1234", COMMAND_PREVIEW, 1234},
      {"/P    1234", COMMAND_PREVIEW, 1234},
      {"/l 1234", COMMAND_PREVIEW, 1234},
      {"-L1234", COMMAND_PREVIEW, 1234},
      {"/p:1234", COMMAND_PREVIEW, 0},
      {"/p", COMMAND_PREVIEW, 0},
      {"/p 0", COMMAND_PREVIEW, 0},
      {"/p\t1234", COMMAND_PREVIEW, 0},  // only spaces are skipped
      {"/p -1234", COMMAND_PREVIEW, 0},
      {"/p 12 /a 34", COMMAND_PREVIEW, 12},

      {"/c", COMMAND_CONFIG_FOREGROUND, 0},
      {"-C", COMMAND_CONFIG_FOREGROUND, 0},
      {"/c:1234", COMMAND_CONFIG_FOREGROUND, 0},

      {"/a 1234", COMMAND_CHANGE_PASSWORD, 1234},
      {"-A1234", COMMAND_CHANGE_PASSWORD, 1234},
      {"/a", COMMAND_CHANGE_PASSWORD, 0},
      {"/a:1234", COMMAND_CHANGE_PASSWORD, 0},
      {"/a 99", COMMAND_CHANGE_PASSWORD, 99},

      {"/x", COMMAND_UNUSABLE, 0},
      {"/?", COMMAND_UNUSABLE, 0},
      {"12", COMMAND_UNUSABLE, 0},
      {"/\t", COMMAND_UNUSABLE, 0},  // a tab is no separator
      {"\ts", COMMAND_UNUSABLE, 0},
      {"/\xD3", COMMAND_UNUSABLE, 0},
      {"+s", COMMAND_UNUSABLE, 0},
  };
  for (const auto& c : cases) {
    CommandRequest got = ParseCommandTail(c.tail);
    EXPECT_EQ(c.mode, got.mode) << "tail \"" << c.tail << "\"";
    EXPECT_EQ(c.handle, got.handle) << "tail \"" << c.tail << "\"";
  }
}

}  // namespace

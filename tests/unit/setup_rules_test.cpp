// The setup program's decisions: its command line and folder, the record of what to undo, the
// current screen saver, where the files go, what waits for the restart, and the exit code.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "installer/setup_command.h"
#include "installer/setup_files.h"
#include "installer/setup_record.h"

namespace {

// A double-byte code page where 0x81 to 0x9F lead: a trail byte may be '\\' or '|'.
int IsLead(unsigned char c) { return c >= 0x81 && c <= 0x9F; }

TEST(SetupCommand, Grammar) {
  const std::string longFolder = "/S /D=C:\\" + std::string(SETUP_PATH_SIZE, 'x');
  struct Row { std::string tail; int parsed; uint32_t flags; const char* folder; } rows[] = {
      {"", 1, 0, ""},
      {"/S", 1, SETUP_SILENT, ""},
      {"/s", 1, 0, ""},  // exactly so, as before
      {"/SILENT /S2 -S S", 1, 0, ""},
      {"\t/S  /NOCURRENT ", 1, SETUP_SILENT | SETUP_NO_CURRENT, ""},
      {"/nocurrent", 1, SETUP_NO_CURRENT, ""},
      {"/NOCURRENTLY /NOCURREN", 1, 0, ""},
      {"\"/NOCURRENT /S\" x", 1, 0, ""},  // one quoted word, unknown
      {"\"unclosed /S", 1, 0, ""},
      {"/S /D=C:\\Program Files\\x y", 1, SETUP_SILENT | SETUP_FOLDER, "C:\\Program Files\\x y"},
      // Everything after /D= is the folder, blanks at its end cut.
      {"/D=C:\\a /NOCURRENT /S \t ", 1, SETUP_FOLDER, "C:\\a /NOCURRENT /S"},
      {"/D=\"C:\\a b\"", 1, SETUP_FOLDER, "\"C:\\a b\""},
      {"/D=", 1, SETUP_FOLDER, ""},
      {"x/D=C:\\a /d=C:\\b", 1, 0, ""},  // only as a word of its own, in capitals
      {"/S _?=C:\\Nuvora NVR", 1, SETUP_SILENT | SETUP_IN_PLACE, "C:\\Nuvora NVR"},
      {"_?=C:\\a /D=C:\\b", 1, SETUP_IN_PLACE, "C:\\a /D=C:\\b"},
      {longFolder, 0, SETUP_SILENT, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.tail);
    SetupCommand command;
    std::memset(&command, 0x55, sizeof command);
    EXPECT_EQ(r.parsed, ParseSetupCommand(r.tail.c_str(), &command));
    EXPECT_EQ(r.flags, command.flags);
    EXPECT_STREQ(r.folder, command.folder);
  }
}

TEST(SetupCommand, InstallFolder) {
  const std::string longest = "C:\\" + std::string(SETUP_FOLDER_MAX - 3, 'x');
  struct Row { std::string folder; IsLeadByteProc lead; const char* out; } rows[] = {
      {"C:\\Nuvora NVR", nullptr, "C:\\Nuvora NVR"},
      {"c:/a/b\\/ \t", nullptr, "c:/a/b"},
      {"\\\\server\\share\\nvr\\", nullptr, "\\\\server\\share\\nvr"},
      {longest, nullptr, longest.c_str()},
      {longest + "y", nullptr, ""},
      // Roots, relative folders and names the system refuses.
      {"C:\\", nullptr, ""}, {"C:", nullptr, ""}, {"C:nvr", nullptr, ""}, {"nvr", nullptr, ""},
      {"\\nvr", nullptr, ""}, {"\\\\server\\share\\", nullptr, ""}, {"\\\\server", nullptr, ""},
      {"\\\\\\share\\x", nullptr, ""}, {"", nullptr, ""},
      {"C:\\a*b", nullptr, ""}, {"C:\\a?", nullptr, ""}, {"C:\\\"a\"", nullptr, ""},
      {"C:\\a<b>", nullptr, ""}, {"C:\\a|b", nullptr, ""}, {"C:\\a:b", nullptr, ""},
      {"C:\\a\x01" "b", nullptr, ""},
      // A trail byte that looks like '|' or '\\' is part of its character.
      {"C:\\\x81|", IsLead, "C:\\\x81|"},
      {"C:\\\x81|", nullptr, ""},
      {"C:\\a\x81\\\\", IsLead, "C:\\a\x81\\"},
      {"C:\\a\x81\\\\", nullptr, "C:\\a\x81"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.folder);
    char out[SETUP_PATH_SIZE];
    EXPECT_EQ(r.out[0] != '\0', CheckInstallFolder(r.folder.c_str(), r.lead, out, sizeof out));
    EXPECT_STREQ(r.out, out);
  }
}

TEST(SetupCommand, FolderOffered) {
  struct Row { const char* tail; const char* recorded; const char* programFiles; const char* out; } rows[] = {
      {"/S", "", "C:\\Program Files", "C:\\Program Files\\Nuvora NVR"},
      {"/S", "", "C:\\Program Files\\", "C:\\Program Files\\Nuvora NVR"},
      {"/S", "D:\\Earlier", "C:\\Program Files", "D:\\Earlier"},
      {"/S", "relative", "C:\\Program Files", "C:\\Program Files\\Nuvora NVR"},
      {"/D=E:\\Mine\\", "D:\\Earlier", "C:\\Program Files", "E:\\Mine"},
      {"/D=E:", "D:\\Earlier", "C:\\Program Files", ""},  // named, unusable: no fall-back
      {"", "", "", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.tail);
    SetupCommand command;
    ParseSetupCommand(r.tail, &command);
    char out[SETUP_PATH_SIZE];
    EXPECT_EQ(r.out[0] != '\0', ChooseInstallFolder(&command, r.recorded, r.programFiles, nullptr, out, sizeof out));
    EXPECT_STREQ(r.out, out);
  }
}

}  // namespace

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

// A registry value as the registry hands it over.
struct Value {
  std::string name;
  uint32_t type;
  std::vector<unsigned char> data;
};

Value Text(const std::string& name, const std::string& text, uint32_t type = RECORD_STRING) {
  std::vector<unsigned char> data(text.begin(), text.end());
  data.push_back(0);
  return {name, type, data};
}

Value Number(const std::string& name, uint32_t n) {
  return {name, RECORD_DWORD, {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
                               static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24)}};
}

std::string Show(const Value& v) {
  if (v.type == RECORD_DWORD) return v.name + "=" + std::to_string(v.data[0] | v.data[1] << 8);
  return v.name + "=" + std::string(v.data.begin(), v.data.end() - 1);
}

std::string Show(const RecordValues& values) {
  std::string out;
  for (uint32_t i = 0; i < values.count; ++i) {
    const RecordValue& v = values.values[i];
    out += std::string(v.name) + "=" + (v.type == RECORD_DWORD ? std::to_string(v.number) : v.text) + "\n";
  }
  for (uint32_t i = 0; i < values.absentCount; ++i) out += std::string("-") + values.absent[i] + "\n";
  return out;
}

// The uninstall key as the earlier setup left it after an install on the 95 family, in the order
// it wrote the values: read, written back, the same.
TEST(SetupRecord, EarlierSetupsKeyReadAndWrittenTheSame) {
  const std::vector<Value> key = {
      Text("DisplayName", "NVR Glowpane screen saver and browser plug-in"),
      Text("DisplayVersion", "1.4.522"), Text("Publisher", "Nuvora"),
      Text("InstallLocation", "C:\\Program Files\\Nuvora NVR"),
      Text("DisplayIcon", "C:\\WINDOWS\\SYSTEM\\nvrss32.scr,0"),
      Text("UninstallString", "\"C:\\Program Files\\Nuvora NVR\\uninstall.exe\""),
      Text("QuietUninstallString", "\"C:\\Program Files\\Nuvora NVR\\uninstall.exe\" /S"),
      Number("NoModify", 1), Number("NoRepair", 1),
      Text("SaverSetIn", "system.ini"), Text("SaverWritten", "C:\\WINDOWS\\SYSTEM\\NVRSS32.SCR"),
      Number("SaverWasActive", 0), Text("PreviousSaver", "C:\\WINDOWS\\SYSTEM\\PREVIOUS.SCR"),
      Number("MadePluginsRoot", 1),
  };
  UninstallRecord record;
  ClearRecord(&record);
  std::string taken;
  for (const Value& v : key)
    if (TakeRecordValue(&record, v.name.c_str(), v.type, v.data.data(), static_cast<uint32_t>(v.data.size())))
      taken += v.name + " ";
  EXPECT_EQ("InstallLocation SaverSetIn SaverWritten SaverWasActive PreviousSaver MadePluginsRoot ", taken);
  EXPECT_EQ(SAVER_IN_SYSTEM_INI, record.saverPlace);
  RecordValues values;
  ASSERT_EQ(1, RecordToValues(&record, "C:\\WINDOWS\\SYSTEM\\nvrss32.scr", &values));
  std::string expected;
  for (const Value& v : key) expected += Show(v) + "\n";
  EXPECT_EQ(expected, Show(values));
}

TEST(SetupRecord, ValuesOfOtherTypesOrSizesAreAbsent) {
  const std::string tooLong(SETUP_PATH_SIZE, 'x');
  Value unterminated = Text("InstallLocation", "C:\\Unterminated");
  unterminated.data.pop_back();
  // value -> taken?, flags it leaves, the saver's place, whether screen saving was on
  struct Row { Value value; int taken; uint32_t has; SaverPlace place; uint32_t wasActive; } rows[] = {
      {unterminated, 1, RECORD_FOLDER, SAVER_IN_REGISTRY, 0},
      {Text("InstallLocation", "C:\\Expand", RECORD_EXPAND_STRING), 1, RECORD_FOLDER, SAVER_IN_REGISTRY, 0},
      {Text("InstallLocation", tooLong), 0, 0, SAVER_IN_REGISTRY, 0},
      {Number("InstallLocation", 7), 0, 0, SAVER_IN_REGISTRY, 0},
      {Text("SAVERSETIN", "System.INI"), 1, RECORD_SAVER_SET, SAVER_IN_SYSTEM_INI, 0},
      {Text("SaverSetIn", "win.ini"), 1, RECORD_SAVER_SET, SAVER_IN_REGISTRY, 0},
      {Text("SaverSetIn", tooLong), 1, RECORD_SAVER_SET, SAVER_IN_REGISTRY, 0},
      {Number("SaverSetIn", 1), 0, 0, SAVER_IN_REGISTRY, 0},
      {Number("SaverWasActive", 7), 1, RECORD_SAVER_WAS_ACTIVE, SAVER_IN_REGISTRY, 7},
      {{"SaverWasActive", RECORD_DWORD, {1, 0, 0}}, 0, 0, SAVER_IN_REGISTRY, 0},
      {Text("SaverWasActive", "1"), 0, 0, SAVER_IN_REGISTRY, 0},
      {Number("MadePluginsRoot", 2), 1, 0, SAVER_IN_REGISTRY, 0},
      {Text("PreviousSaver", ""), 1, RECORD_PREVIOUS_SAVER, SAVER_IN_REGISTRY, 0},
      {Text("DisplayName", "x"), 0, 0, SAVER_IN_REGISTRY, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.value.name + " type " + std::to_string(r.value.type));
    UninstallRecord record;
    ClearRecord(&record);
    EXPECT_EQ(r.taken, TakeRecordValue(&record, r.value.name.c_str(), r.value.type, r.value.data.data(),
                                       static_cast<uint32_t>(r.value.data.size())));
    EXPECT_EQ(r.has, record.has);
    EXPECT_EQ(r.place, record.saverPlace);
    EXPECT_EQ(r.wasActive, record.saverWasActive);
  }
}

TEST(SetupRecord, CopiesKeepTheirFirstRecordAndTheRecordIsBounded) {
  UninstallRecord record;
  ClearRecord(&record);
  Value made = Text("", "C:\\Later\\Plugins");
  EXPECT_EQ(1, TakeRecordCopy(&record, "C:\\Later\\Plugins\\NPNVR.DLL", RECORD_STRING, made.data.data(), 17));
  // The same copy again, as a second install finds its folder there: the first record stands.
  Value none = Text("", "");
  EXPECT_EQ(0, TakeRecordCopy(&record, "c:\\later\\plugins\\npnvr.dll", RECORD_STRING, none.data.data(), 1));
  EXPECT_EQ(0, TakeRecordCopy(&record, "C:\\Other\\NPNVR.DLL", RECORD_DWORD, none.data.data(), 1));
  EXPECT_EQ(0, TakeRecordCopy(&record, "", RECORD_STRING, none.data.data(), 1));
  ASSERT_EQ(1u, record.copyCount);
  EXPECT_STREQ("C:\\Later\\Plugins", record.copies[0].madeFolder);
  EXPECT_EQ(0u, record.has);
  for (uint32_t i = 1; i < SETUP_COPIES_MAX; ++i) {
    std::string name = "C:\\B" + std::to_string(i) + "\\Plugins\\NPNVR.DLL";
    EXPECT_EQ(1, TakeRecordCopy(&record, name.c_str(), RECORD_STRING, nullptr, 0));
  }
  EXPECT_EQ(0, TakeRecordCopy(&record, "C:\\One\\More", RECORD_STRING, none.data.data(), 1));
  EXPECT_EQ(SETUP_COPIES_MAX, record.copyCount);
  EXPECT_EQ(RECORD_COPIES_LEFT_OUT, record.has);
}

TEST(SetupRecord, ValuesWrittenForEachState) {
  // A record without saver values, its folder at the limit of what fits.
  UninstallRecord record;
  ClearRecord(&record);
  record.has = RECORD_FOLDER;
  std::strcpy(record.folder, "C:\\N");
  RecordValues values;
  ASSERT_EQ(1, RecordToValues(&record, "C:\\WINDOWS\\system32\\nvrss32.scr", &values));
  EXPECT_EQ("DisplayName=NVR Glowpane screen saver and browser plug-in\nDisplayVersion=1.4.522\n"
            "Publisher=Nuvora\nInstallLocation=C:\\N\nDisplayIcon=C:\\WINDOWS\\system32\\nvrss32.scr,0\n"
            "UninstallString=\"C:\\N\\uninstall.exe\"\nQuietUninstallString=\"C:\\N\\uninstall.exe\" /S\n"
            "NoModify=1\nNoRepair=1\n-SaverSetIn\n-SaverWritten\n-SaverWasActive\n-PreviousSaver\n"
            "-MadePluginsRoot\n",
            Show(values));
  // No folder, or one whose uninstaller's path does not fit: nothing to write.
  record.has = 0;
  EXPECT_EQ(0, RecordToValues(&record, "s", &values));
  EXPECT_EQ(0u, values.count);
  record.has = RECORD_FOLDER;
  std::memset(record.folder, 'x', SETUP_PATH_SIZE - 10);
  record.folder[SETUP_PATH_SIZE - 10] = '\0';
  EXPECT_EQ(0, RecordToValues(&record, "s", &values));
}

// The family's place holds current; ours is what setup writes there.
TEST(SetupRecord, MakingOursCurrent) {
  const char* ours = "C:\\WINDOWS\\SYSTEM\\NVRSS32.SCR";
  const std::string tooLong(SETUP_PATH_SIZE, 'x');
  // recorded before, options, NT, current, screen saving -> steps, flags after, place, previous, was active
  struct Row {
    uint32_t recorded; uint32_t flags; uint32_t nt; const char* current; uint32_t on;
    uint32_t steps; uint32_t has; SaverPlace place; const char* previous; uint32_t wasActive;
  } rows[] = {
      // Another saver current: recorded, and ours written and switched on.
      {0, 0, 0, "C:\\WINDOWS\\SYSTEM\\PREVIOUS.SCR", 0, CURRENT_WRITE | CURRENT_TURN_ON,
       RECORD_SAVER_SET | RECORD_SAVER_WAS_ACTIVE | RECORD_PREVIOUS_SAVER, SAVER_IN_SYSTEM_INI,
       "C:\\WINDOWS\\SYSTEM\\PREVIOUS.SCR", 0},
      {0, 0, 1, nullptr, 1, CURRENT_WRITE | CURRENT_TURN_ON, RECORD_SAVER_SET | RECORD_SAVER_WAS_ACTIVE,
       SAVER_IN_REGISTRY, "", 1},
      {0, 0, 1, "", 1, CURRENT_WRITE | CURRENT_TURN_ON,
       RECORD_SAVER_SET | RECORD_SAVER_WAS_ACTIVE | RECORD_PREVIOUS_SAVER, SAVER_IN_REGISTRY, "", 1},
      // A record of another saver made current since: replaced, its previous saver dropped.
      {1, 0, 0, nullptr, 1, CURRENT_WRITE | CURRENT_TURN_ON, RECORD_SAVER_SET | RECORD_SAVER_WAS_ACTIVE,
       SAVER_IN_SYSTEM_INI, "", 1},
      // Ours current already (compared in any case): the user's choices stand.
      {0, 0, 0, "c:\\windows\\system\\nvrss32.scr", 1, 0, RECORD_SAVER_SET | RECORD_SAVER_WAS_ACTIVE,
       SAVER_IN_SYSTEM_INI, "", 1},
      {1, 0, 1, ours, 1, 0, RECORD_SAVER_SET | RECORD_SAVER_WAS_ACTIVE | RECORD_PREVIOUS_SAVER,
       SAVER_IN_SYSTEM_INI, "C:\\OLD.SCR", 0},
      // Left alone: asked so, or what was current could not be given back whole.
      {0, SETUP_NO_CURRENT, 0, "C:\\WINDOWS\\SYSTEM\\PREVIOUS.SCR", 0, 0, 0, SAVER_IN_REGISTRY, "", 0},
      {1, SETUP_NO_CURRENT | SETUP_SILENT, 1, nullptr, 1, 0,
       RECORD_SAVER_SET | RECORD_SAVER_WAS_ACTIVE | RECORD_PREVIOUS_SAVER, SAVER_IN_SYSTEM_INI, "C:\\OLD.SCR", 0},
      {0, 0, 0, tooLong.c_str(), 0, 0, 0, SAVER_IN_REGISTRY, "", 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(::testing::Message() << "recorded " << r.recorded << " flags " << r.flags << " nt " << r.nt
                                      << " current " << (r.current ? r.current : "(none)"));
    UninstallRecord record;
    ClearRecord(&record);
    if (r.recorded) {  // an earlier install on the 95 family, with screen saving off then
      record.has = RECORD_SAVER_SET | RECORD_SAVER_WAS_ACTIVE | RECORD_PREVIOUS_SAVER;
      record.saverPlace = SAVER_IN_SYSTEM_INI;
      std::strcpy(record.saverWritten, ours);
      std::strcpy(record.previousSaver, "C:\\OLD.SCR");
    }
    EXPECT_EQ(r.steps, DecideMakeCurrent(&record, r.flags, r.nt, r.current, ours, r.on));
    EXPECT_EQ(r.has, record.has);
    EXPECT_EQ(r.place, record.saverPlace);
    EXPECT_STREQ(r.previous, record.previousSaver);
    EXPECT_EQ(r.wasActive, record.saverWasActive);
    EXPECT_STREQ(record.has & RECORD_SAVER_SET ? ours : "", record.saverWritten);
  }
}

TEST(SetupRecord, GivingBack) {
  // recorded flags, current now -> what is given back, previous, screen saving set?
  struct Row { uint32_t has; const char* current; GiveBackSaver saver; const char* previous; uint32_t setActive; } rows[] = {
      {RECORD_SAVER_SET | RECORD_PREVIOUS_SAVER | RECORD_SAVER_WAS_ACTIVE, "C:\\NT\\NVRSS32.SCR",
       GIVE_BACK_PREVIOUS, "C:\\NT\\PREV.SCR", 1},
      {RECORD_SAVER_SET | RECORD_SAVER_WAS_ACTIVE, "c:\\nt\\nvrss32.scr", GIVE_BACK_REMOVE_SETTING, nullptr, 1},
      {RECORD_SAVER_SET, "C:\\NT\\NVRSS32.SCR", GIVE_BACK_REMOVE_SETTING, nullptr, 0},
      // Another saver chosen since, or none: the user's choice stands.
      {RECORD_SAVER_SET | RECORD_PREVIOUS_SAVER | RECORD_SAVER_WAS_ACTIVE, "C:\\NT\\OTHER.SCR",
       GIVE_BACK_NOTHING, nullptr, 0},
      {RECORD_SAVER_SET | RECORD_PREVIOUS_SAVER | RECORD_SAVER_WAS_ACTIVE, nullptr, GIVE_BACK_NOTHING, nullptr, 0},
      // Never made current, or hidden during a move.
      {RECORD_PREVIOUS_SAVER | RECORD_SAVER_WAS_ACTIVE, "C:\\NT\\NVRSS32.SCR", GIVE_BACK_NOTHING, nullptr, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(::testing::Message() << "has " << r.has << " current " << (r.current ? r.current : "(none)"));
    UninstallRecord record;
    ClearRecord(&record);
    record.has = r.has;
    record.saverPlace = SAVER_IN_SYSTEM_INI;
    std::strcpy(record.saverWritten, "C:\\NT\\NVRSS32.SCR");
    std::strcpy(record.previousSaver, "C:\\NT\\PREV.SCR");
    record.saverWasActive = 1;
    GiveBack back = DecideGiveBack(&record, r.current);
    EXPECT_EQ(r.saver, back.saver);
    EXPECT_EQ(SAVER_IN_SYSTEM_INI, back.place);
    EXPECT_STREQ(r.previous ? r.previous : "(none)", back.previous ? back.previous : "(none)");
    EXPECT_EQ(r.setActive, back.setActive);
    EXPECT_EQ(r.setActive, back.active);
  }
}

TEST(SetupRecord, MoveHandsOnWhatWasCurrentBefore) {
  UninstallRecord earlier;
  ClearRecord(&earlier);
  earlier.has = RECORD_FOLDER | RECORD_SAVER_SET | RECORD_SAVER_WAS_ACTIVE | RECORD_MADE_PLUGINS_ROOT;
  std::strcpy(earlier.folder, "C:\\nvr-setup-test");
  std::strcpy(earlier.saverWritten, "C:\\WINDOWS\\SYSTEM32\\NVRSS32.SCR");
  std::strcpy(earlier.previousSaver, "stale, not recorded");
  earlier.saverWasActive = 1;
  EXPECT_EQ(0, NeedsMove(&earlier, "c:\\NVR-SETUP-TEST"));
  EXPECT_EQ(1, NeedsMove(&earlier, "C:\\nvr-setup-other"));
  UninstallRecord next;
  ClearRecord(&next);
  next.has = RECORD_FOLDER | RECORD_PREVIOUS_SAVER;
  HandOnRecord(&earlier, &next);
  EXPECT_EQ(RECORD_FOLDER | RECORD_SAVER_SET | RECORD_SAVER_WAS_ACTIVE, next.has);
  EXPECT_STREQ(earlier.saverWritten, next.saverWritten);
  EXPECT_EQ(1u, next.saverWasActive);
  // Nothing made current by the earlier one: nothing to hand on, and none elsewhere to move.
  earlier.has = RECORD_PREVIOUS_SAVER | RECORD_SAVER_WAS_ACTIVE;
  HandOnRecord(&earlier, &next);
  EXPECT_EQ(RECORD_FOLDER, next.has);
  EXPECT_EQ(0, NeedsMove(&earlier, "C:\\nvr-setup-other"));
  char command[SETUP_PATH_SIZE];
  ASSERT_EQ(1, EarlierUninstallCommand("C:\\nvr setup", command, sizeof command));
  EXPECT_STREQ("\"C:\\nvr setup\\uninstall.exe\" /S _?=C:\\nvr setup", command);
  EXPECT_EQ(0, EarlierUninstallCommand("C:\\nvr setup", command, 40));
  EXPECT_STREQ("", command);
}

TEST(SetupFiles, SaverInTheNativeSystemFolder) {
  // WOW64, windows folder, system folder -> recorded, reached at
  struct Row { uint32_t wow64; const char* windows; const char* system; const char* recorded; const char* reach; } rows[] = {
      {0, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\SYSTEM\\nvrss32.scr", "C:\\WINDOWS\\SYSTEM\\nvrss32.scr"},
      {1, "C:\\Windows", "C:\\Windows\\system32", "C:\\Windows\\system32\\nvrss32.scr",
       "C:\\Windows\\Sysnative\\nvrss32.scr"},
      {1, "C:\\", "C:\\system32\\", "C:\\system32\\nvrss32.scr", "C:\\Sysnative\\nvrss32.scr"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.system);
    SaverFile saver;
    ASSERT_EQ(1, PlaceSaver(r.wow64, r.windows, r.system, nullptr, &saver));
    EXPECT_STREQ(r.recorded, saver.recorded);
    EXPECT_STREQ(r.reach, saver.reach);
    EXPECT_EQ(r.wow64, saver.wow64);
  }
  SaverFile saver;
  const std::string tooLong = "C:\\" + std::string(SETUP_PATH_SIZE - 14, 'x');
  EXPECT_EQ(0, PlaceSaver(0, "C:\\W", tooLong.c_str(), nullptr, &saver));
  EXPECT_EQ(0, PlaceSaver(1, tooLong.c_str(), "C:\\W\\system32", nullptr, &saver));
}

std::string Copies(const PluginPlan& plan) {
  std::string out;
  for (uint32_t i = 0; i < plan.count; ++i) out += std::string(plan.copy[i]) + "\n";
  return out + "left out " + std::to_string(plan.leftOut);
}

TEST(SetupFiles, PlugInBesideEachBrowser) {
  const std::string tooLong = "C:\\" + std::string(SETUP_PATH_SIZE - 24, 'x');
  struct Row { std::vector<BrowserEntry> browsers; std::string copies; } rows[] = {
      {{}, "C:\\Nuvora NVR\\Plugins\\NPNVR.DLL\nleft out 0"},
      // Stale entries (no folder, or an empty name) are passed over.
      {{{"C:\\Gone", 0}, {"", 1}, {nullptr, 1}}, "C:\\Nuvora NVR\\Plugins\\NPNVR.DLL\nleft out 0"},
      {{{"C:\\Nav\\Program", 1}, {"C:\\Gone", 0}, {"D:\\Later\\", 1}},
       "C:\\Nav\\Program\\Plugins\\NPNVR.DLL\nD:\\Later\\Plugins\\NPNVR.DLL\nleft out 0"},
      // Two versions of one browser in one folder: one copy.
      {{{"C:\\Later", 1}, {"c:\\later\\", 1}, {"C:\\LATER", 1}}, "C:\\Later\\Plugins\\NPNVR.DLL\nleft out 0"},
      // Too long for the copy's replacement: left out; with no other, the program folder's.
      {{{tooLong.c_str(), 1}}, "C:\\Nuvora NVR\\Plugins\\NPNVR.DLL\nleft out 1"},
      {{{tooLong.c_str(), 1}, {"C:\\Nav", 1}}, "C:\\Nav\\Plugins\\NPNVR.DLL\nleft out 1"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.copies);
    PluginPlan plan;
    PlanPluginCopies(r.browsers.data(), static_cast<uint32_t>(r.browsers.size()), "C:\\Nuvora NVR", nullptr, &plan);
    EXPECT_EQ(r.copies, Copies(plan));
    for (uint32_t i = 0; i < plan.count; ++i)
      EXPECT_EQ(std::string(plan.folder[i]) + "\\NPNVR.DLL", plan.copy[i]);
  }
  std::vector<std::string> folders;
  std::vector<BrowserEntry> many;
  for (uint32_t i = 0; i < SETUP_COPIES_MAX + 2; ++i) folders.push_back("C:\\B" + std::to_string(i));
  for (const std::string& f : folders) many.push_back({f.c_str(), 1});
  PluginPlan plan;
  PlanPluginCopies(many.data(), static_cast<uint32_t>(many.size()), "C:\\N", nullptr, &plan);
  EXPECT_EQ(SETUP_COPIES_MAX, plan.count);
  EXPECT_EQ(2u, plan.leftOut);
}

// As the platform lists them: "delete PATH" or "FROM -> TO", one a line.
std::string Scheduled(const RestartPlan& plan) {
  std::string out;
  for (uint32_t i = 0; i < plan.count; ++i) {
    const RestartOp& op = plan.ops[i];
    out += op.to[0] ? std::string(op.from) + " -> " + op.to + "\n" : "delete " + std::string(op.from) + "\n";
  }
  return out;
}

const char SAVER[] = "C:\\windows\\system32\\nvrss32.scr";

TEST(SetupFiles, RestartOperationsOfAnInstall) {
  PluginPlan plan;
  BrowserEntry browsers[] = {{"C:\\Nav", 1}, {"C:\\Later", 1}};
  PlanPluginCopies(browsers, 2, "C:\\N", nullptr, &plan);
  // saver held, its deletion left by the earlier uninstaller, copies held -> scheduled
  struct Row { uint32_t held, pending, copies; const char* scheduled; } rows[] = {
      {0, 0, 0, ""},
      {1, 0, 0, "C:\\windows\\system32\\nvrss32.scr.new -> C:\\windows\\system32\\nvrss32.scr\n"},
      {0, 1, 0, "C:\\windows\\system32\\nvrss32.scr.new -> C:\\windows\\system32\\nvrss32.scr\n"},
      {1, 0, 3,
       "C:\\windows\\system32\\nvrss32.scr.new -> C:\\windows\\system32\\nvrss32.scr\n"
       "C:\\Nav\\Plugins\\NPNVR.DLL.new -> C:\\Nav\\Plugins\\NPNVR.DLL\n"
       "C:\\Later\\Plugins\\NPNVR.DLL.new -> C:\\Later\\Plugins\\NPNVR.DLL\n"},
      // Bits beyond the plan's copies name nothing.
      {0, 0, 0xFFFFFFFEu, "C:\\Later\\Plugins\\NPNVR.DLL.new -> C:\\Later\\Plugins\\NPNVR.DLL\n"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.held << r.pending << " copies " << r.copies);
    RestartPlan restart;
    EXPECT_EQ(1, PlanInstallRestart(SAVER, r.held, r.pending, &plan, r.copies, &restart));
    EXPECT_EQ(r.scheduled, Scheduled(restart));
  }
}

TEST(SetupFiles, RestartOperationsOfAnUninstall) {
  UninstallRecord record;
  ClearRecord(&record);
  Value made = Text("", "C:\\Later\\Plugins");
  TakeRecordCopy(&record, "C:\\Nav\\Plugins\\NPNVR.DLL", RECORD_STRING, nullptr, 0);
  TakeRecordCopy(&record, "C:\\Later\\Plugins\\NPNVR.DLL", RECORD_STRING, made.data.data(), 17);
  // saver held, copies held, folder kept -> scheduled
  struct Row { uint32_t held, copies, kept; const char* scheduled; } rows[] = {
      {0, 0, 1, ""},  // kept for another reason: nothing waits, so neither does the folder
      {1, 0, 0, "delete C:\\windows\\system32\\nvrss32.scr\n"},
      {1, 0, 1, "delete C:\\windows\\system32\\nvrss32.scr\ndelete C:\\nvr-setup-test\\\n"},
      {1, 1, 0, "delete C:\\windows\\system32\\nvrss32.scr\ndelete C:\\Nav\\Plugins\\NPNVR.DLL\n"},
      {0, 2, 1, "delete C:\\Later\\Plugins\\NPNVR.DLL\ndelete C:\\Later\\Plugins\\\ndelete C:\\nvr-setup-test\\\n"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.held << " copies " << r.copies << " kept " << r.kept);
    RestartPlan restart;
    EXPECT_EQ(1, PlanUninstallRestart(SAVER, r.held, &record, r.copies, "C:\\nvr-setup-test", r.kept, &restart));
    EXPECT_EQ(r.scheduled, Scheduled(restart));
  }
  // A path with no room for ".new" or a folder's '\\' cannot be scheduled.
  const std::string full(SETUP_PATH_SIZE - 2, 'x');
  RestartPlan restart;
  EXPECT_EQ(0, PlanInstallRestart(full.c_str(), 1, 0, nullptr, 0, &restart));
  EXPECT_EQ(0u, restart.count);
  EXPECT_EQ(0, PlanUninstallRestart(SAVER, 1, &record, 0, (full + "x").c_str(), 1, &restart));
  EXPECT_EQ(1u, restart.count);
}

TEST(SetupFiles, WininitLines) {
  struct Row { const char* from; const char* to; const char* line; } rows[] = {
      {"C:\\WINDOWS\\SYSTEM\\NVRSS32.SCR", nullptr, "NUL=C:\\WINDOWS\\SYSTEM\\NVRSS32.SCR\r\n"},
      {"C:\\PROGRA~1\\NUVORA~1\\", "", "NUL=C:\\PROGRA~1\\NUVORA~1\\\r\n"},
      {"C:\\WINDOWS\\SYSTEM\\NVRSS32.NEW", "C:\\WINDOWS\\SYSTEM\\NVRSS32.SCR",
       "C:\\WINDOWS\\SYSTEM\\NVRSS32.SCR=C:\\WINDOWS\\SYSTEM\\NVRSS32.NEW\r\n"},
      {"", nullptr, ""}, {nullptr, "C:\\X", ""}, {"C:\\A=B", nullptr, ""}, {"C:\\A", "C:\\B\r\nx=", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.line);
    char line[2 * SETUP_PATH_SIZE + 8];
    EXPECT_EQ(r.line[0] != '\0', WininitLine(r.from, r.to, line, sizeof line));
    EXPECT_STREQ(r.line, line);
  }
  char line[12];
  EXPECT_EQ(0, WininitLine("C:\\AB.SCR", nullptr, line, sizeof line));  // the line ends cannot be cut
}

TEST(SetupFiles, RenameSectionOfWininit) {
  const char* lines = "NUL=C:\\A\r\n";
  struct Row { std::string text; std::string result; } rows[] = {
      {"", "[rename]\r\nNUL=C:\\A\r\n"},
      {"[other]\r\nx=1", "[other]\r\nx=1\r\n[rename]\r\nNUL=C:\\A\r\n"},
      // After the earlier lines, before the next section.
      {"[Rename]\r\nNUL=C:\\OLD\r\n\r\n [x]\r\n", "[Rename]\r\nNUL=C:\\OLD\r\n\r\nNUL=C:\\A\r\n [x]\r\n"},
      {"[x]\n[rename]\nC:\\B=C:\\C", "[x]\n[rename]\nC:\\B=C:\\C\r\nNUL=C:\\A\r\n"},
      {"[renamed]\r\n", "[renamed]\r\n[rename]\r\nNUL=C:\\A\r\n"},
      {std::string("[rename]\r\n\0[x]\r\n", 16), std::string("[rename]\r\n\0[x]\r\nNUL=C:\\A\r\n", 26)},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    char out[128];
    uint32_t length = 99;
    ASSERT_EQ(1, AddRenameLines(r.text.data(), static_cast<uint32_t>(r.text.size()), lines, out, sizeof out, &length));
    EXPECT_EQ(r.result, std::string(out, length));
    EXPECT_EQ('\0', out[length]);
  }
  char out[20];
  uint32_t length = 99;
  EXPECT_EQ(0, AddRenameLines("[rename]\r\n", 10, lines, out, sizeof out, &length));
  EXPECT_EQ(0u, length);
  EXPECT_STREQ("", out);
}

TEST(SetupFiles, ExitCode) {
  struct Row { uint32_t failed, cancelled, ops, earlier, code; } rows[] = {
      {0, 0, 0, 0, 0}, {0, 0, 2, 0, 3010}, {0, 0, 0, 3010, 3010}, {0, 0, 0, 2, 0},
      {0, 1, 1, 0, 1}, {1, 1, 1, 3010, 2},
  };
  for (const Row& r : rows)
    EXPECT_EQ(r.code, SetupExitCode(r.failed, r.cancelled, r.ops, r.earlier))
        << r.failed << r.cancelled << r.ops << " " << r.earlier;
}

}  // namespace

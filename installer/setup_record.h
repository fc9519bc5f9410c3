// The record of what to undo, kept under the uninstall key exactly as earlier setups wrote it,
// and the decisions about the current screen saver built on it: what an install records and
// changes, what a move to another folder hands on, and what an uninstall gives back.
//
// Under SETUP_UNINSTALL_KEY (HKLM):
//   DisplayName, DisplayVersion, Publisher, DisplayIcon ("<saver>,0"), InstallLocation,
//   UninstallString ("\"<folder>\uninstall.exe\""), QuietUninstallString (the same and " /S"):
//                     strings, the entry in Add/Remove Programs;
//   NoModify, NoRepair: DWORD 1;
//   SaverSetIn      string "system.ini" or "registry": where we made ours current;
//   SaverWritten    string: what we wrote there (the saver's short path);
//   PreviousSaver   string: what was current before; absent when nothing was;
//   SaverWasActive  DWORD: whether screen saving was on before;
//   MadePluginsRoot DWORD 1: SETUP_PLUGINS_ROOT was made by us.
// Under SETUP_COPIES_KEY: one string per copy of the plug-in, named by its path; data the
// plug-in folder made for it, or "" when the folder was there before.
#ifndef NVR_INSTALLER_SETUP_RECORD_H
#define NVR_INSTALLER_SETUP_RECORD_H

#include <cstdint>

#include "installer/setup_text.h"

constexpr char SETUP_UNINSTALL_KEY[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NuvoraNVR";
constexpr char SETUP_COPIES_KEY[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NuvoraNVR\\PluginCopies";
constexpr char SETUP_PLUGINS_ROOT[] = "Software\\MozillaPlugins";
// Where later browsers of the family find the plug-in: written by the install, removed whole.
constexpr char SETUP_PLUGIN_KEY[] = "Software\\MozillaPlugins\\@nuvora.com/NPNVR";
// Hidden from an earlier installation's uninstaller, that one gives nothing back.
constexpr char SETUP_SAVER_SET_IN[] = "SaverSetIn";

enum : uint32_t {
  RECORD_STRING = 1,        // REG_SZ
  RECORD_EXPAND_STRING = 2, // REG_EXPAND_SZ: read as a string, as earlier setups did
  RECORD_DWORD = 4,         // REG_DWORD
};

enum : uint32_t {
  SETUP_COPIES_MAX = 32,  // copies of the plug-in: one bit each in a 32-bit set
  RECORD_VALUES_MAX = 16,
};

enum SaverPlace : uint32_t {
  SAVER_IN_REGISTRY,    // HKCU "Control Panel\Desktop" SCRNSAVE.EXE: the NT family
  SAVER_IN_SYSTEM_INI,  // system.ini [boot] SCRNSAVE.EXE: the 95 family
};

enum : uint32_t {
  RECORD_FOLDER = 1u << 0,             // InstallLocation
  RECORD_SAVER_SET = 1u << 1,          // SaverSetIn: we made ours current
  RECORD_PREVIOUS_SAVER = 1u << 2,     // PreviousSaver
  RECORD_SAVER_WAS_ACTIVE = 1u << 3,   // SaverWasActive
  RECORD_MADE_PLUGINS_ROOT = 1u << 4,  // MadePluginsRoot is 1
  RECORD_COPIES_LEFT_OUT = 1u << 5,    // copies beyond SETUP_COPIES_MAX, or too long: not kept
};

struct PluginCopy {
  char path[SETUP_PATH_SIZE];        // the copy of the plug-in
  char madeFolder[SETUP_PATH_SIZE];  // the plug-in folder made for it, or ""
};

struct UninstallRecord {
  uint32_t has;  // RECORD_* flags
  char folder[SETUP_PATH_SIZE];
  SaverPlace saverPlace;
  char saverWritten[SETUP_PATH_SIZE];
  char previousSaver[SETUP_PATH_SIZE];
  uint32_t saverWasActive;
  uint32_t copyCount;
  PluginCopy copies[SETUP_COPIES_MAX];
};

void ClearRecord(UninstallRecord* record);

// One value read from the uninstall key, with its type and its size bytes of data. Returns 1
// when it belongs to the record and was taken; 0 for any other value, a value of another type
// (then absent, as before) or one too long to hold.
int TakeRecordValue(UninstallRecord* record, const char* name, uint32_t type,
                    const unsigned char* data, uint32_t size);

// One value read from the copies key. A copy recorded already (names compare in any case) keeps
// its first record: that one knows whether the folder was made. Returns 1 when taken, 0 when
// not (wrong type, too long, the record full: then RECORD_COPIES_LEFT_OUT is set).
int TakeRecordCopy(UninstallRecord* record, const char* name, uint32_t type,
                   const unsigned char* data, uint32_t size);

struct RecordValue {
  const char* name;
  uint32_t type;     // RECORD_STRING or RECORD_DWORD
  const char* text;  // for a string
  uint32_t number;   // for a DWORD
};

// The uninstall key's values as they are to be written, and the record's values to delete there.
// The copies are written from record->copies to SETUP_COPIES_KEY.
struct RecordValues {
  uint32_t count;
  RecordValue values[RECORD_VALUES_MAX];
  uint32_t absentCount;
  const char* absent[RECORD_VALUES_MAX];
  char displayIcon[SETUP_PATH_SIZE + 2];
  char uninstallString[SETUP_PATH_SIZE + 2];
  char quietUninstallString[SETUP_PATH_SIZE + 5];
};

// The values of record, the entry in Add/Remove Programs among them; saver is the saver's path
// as recorded (see PlaceSaver). The record must name its folder. Returns 1; 0 when the folder is
// missing or a composed value does not fit (out then holds no values).
int RecordToValues(const UninstallRecord* record, const char* saver, RecordValues* out);

// A move: the installation recorded in another folder than folder (names compared in any case)
// is removed first, by its own uninstaller.
int NeedsMove(const UninstallRecord* earlier, const char* folder);

// What passes from the earlier installation's record to this one's, over its uninstall: what it
// found current before it made ours current. The glue deletes SETUP_SAVER_SET_IN before running
// that uninstaller, so that it gives nothing back, and writes the handed-on values after it.
void HandOnRecord(const UninstallRecord* earlier, UninstallRecord* next);

// The earlier installation's uninstaller, run in its own folder so that it can be waited for:
// "\"<folder>\uninstall.exe\" /S _?=<folder>". 1 when it fits; 0 with "" in out.
int EarlierUninstallCommand(const char* folder, char* out, uint32_t outSize);

enum : uint32_t {
  CURRENT_WRITE = 1u << 0,    // write ours where the family keeps the current saver
  CURRENT_TURN_ON = 1u << 1,  // and switch screen saving on, saved and announced
};

// Making ours the current screen saver. current is what the family's place holds now (null when
// it holds nothing), ours what would be written there, screenSaving whether screen saving is on.
// Ours current already, the record stays (or is begun, without a previous saver, when there is
// none) and screen saving as the user set it. Otherwise the record takes what was current and
// ours is written and switched on. With SETUP_NO_CURRENT in flags, or a current saver too long
// to record whole, nothing is done. Returns the CURRENT_* steps; updates record.
uint32_t DecideMakeCurrent(UninstallRecord* record, uint32_t flags, uint32_t isNt,
                           const char* current, const char* ours, uint32_t screenSaving);

enum GiveBackSaver : uint32_t {
  GIVE_BACK_NOTHING,         // ours is no longer current, or was never made so
  GIVE_BACK_REMOVE_SETTING,  // nothing was current before: the setting goes
  GIVE_BACK_PREVIOUS,        // the previous saver is written back
};

struct GiveBack {
  GiveBackSaver saver;
  SaverPlace place;        // where, as recorded
  const char* previous;    // for GIVE_BACK_PREVIOUS: points into the record
  uint32_t setActive;      // 1: screen saving is set to active
  uint32_t active;         // with setActive: the recorded state; else 0
};

// What an uninstall gives back. current is what the recorded place holds now (null when it
// holds nothing). Only while it is ours, as recorded, is anything given back.
GiveBack DecideGiveBack(const UninstallRecord* record, const char* current);

#endif

#include "installer/setup_record.h"

#include <cstring>

#include "installer/setup_command.h"

namespace {

constexpr char DISPLAY_NAME[] = "NVR Glowpane screen saver and browser plug-in";
constexpr char DISPLAY_VERSION[] = "1.4.522";
constexpr char PUBLISHER[] = "Nuvora";
constexpr char IN_SYSTEM_INI[] = "system.ini";
constexpr char IN_REGISTRY[] = "registry";

bool IsString(uint32_t type) { return type == RECORD_STRING || type == RECORD_EXPAND_STRING; }

// A DWORD as the registry hands it over: exactly four bytes, least significant first.
bool TakeNumber(uint32_t type, const unsigned char* data, uint32_t size, uint32_t* number) {
  if (type != RECORD_DWORD || size != 4) return false;
  *number = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
  return true;
}

// A string value into field, with flag set in record->has when it fits.
int TakeString(UninstallRecord* record, uint32_t flag, char* field, uint32_t type,
               const unsigned char* data, uint32_t size) {
  if (!IsString(type) || !CopyData(field, SETUP_PATH_SIZE, data, size)) return 0;
  record->has |= flag;
  return 1;
}

}  // namespace

void ClearRecord(UninstallRecord* record) { std::memset(record, 0, sizeof *record); }

int TakeRecordValue(UninstallRecord* record, const char* name, uint32_t type,
                    const unsigned char* data, uint32_t size) {
  if (SameText(name, "InstallLocation"))
    return TakeString(record, RECORD_FOLDER, record->folder, type, data, size);
  // No flag of its own: absent or unreadable, it compares as "", as it did before.
  if (SameText(name, "SaverWritten"))
    return IsString(type) && CopyData(record->saverWritten, SETUP_PATH_SIZE, data, size);
  if (SameText(name, "PreviousSaver"))
    return TakeString(record, RECORD_PREVIOUS_SAVER, record->previousSaver, type, data, size);
  if (SameText(name, SETUP_SAVER_SET_IN)) {
    char place[16];
    if (!IsString(type)) return 0;
    // As earlier setups compared it: "system.ini" in any case, anything else is the registry.
    bool ini = CopyData(place, sizeof place, data, size) && SameText(place, IN_SYSTEM_INI);
    record->saverPlace = ini ? SAVER_IN_SYSTEM_INI : SAVER_IN_REGISTRY;
    record->has |= RECORD_SAVER_SET;
    return 1;
  }
  uint32_t number = 0;
  if (SameText(name, "SaverWasActive")) {
    if (!TakeNumber(type, data, size, &number)) return 0;
    record->saverWasActive = number;
    record->has |= RECORD_SAVER_WAS_ACTIVE;
    return 1;
  }
  if (SameText(name, "MadePluginsRoot")) {
    if (!TakeNumber(type, data, size, &number)) return 0;
    if (number == 1) record->has |= RECORD_MADE_PLUGINS_ROOT;
    return 1;
  }
  return 0;
}

int TakeRecordCopy(UninstallRecord* record, const char* name, uint32_t type,
                   const unsigned char* data, uint32_t size) {
  if (!IsString(type) || !name[0]) return 0;
  for (uint32_t i = 0; i < record->copyCount; ++i)
    if (SameText(record->copies[i].path, name)) return 0;
  PluginCopy* copy = &record->copies[record->copyCount];
  if (record->copyCount >= SETUP_COPIES_MAX || !CopyText(copy->path, sizeof copy->path, name) ||
      !CopyData(copy->madeFolder, sizeof copy->madeFolder, data, size)) {
    record->has |= RECORD_COPIES_LEFT_OUT;
    return 0;
  }
  ++record->copyCount;
  return 1;
}

namespace {

void Put(RecordValues* out, const char* name, const char* text) {
  out->values[out->count++] = {name, RECORD_STRING, text, 0};
}

void PutNumber(RecordValues* out, const char* name, uint32_t number) {
  out->values[out->count++] = {name, RECORD_DWORD, nullptr, number};
}

}  // namespace

int RecordToValues(const UninstallRecord* record, const char* saver, RecordValues* out) {
  out->count = 0;
  out->absentCount = 0;
  char uninstaller[SETUP_PATH_SIZE];
  if (!(record->has & RECORD_FOLDER) || !record->folder[0] ||
      !JoinPath(uninstaller, sizeof uninstaller, record->folder, "uninstall.exe") ||
      !CopyText(out->displayIcon, sizeof out->displayIcon, saver) ||
      !AppendText(out->displayIcon, sizeof out->displayIcon, ",0") ||
      !CopyText(out->uninstallString, sizeof out->uninstallString, "\"") ||
      !AppendText(out->uninstallString, sizeof out->uninstallString, uninstaller) ||
      !AppendText(out->uninstallString, sizeof out->uninstallString, "\"") ||
      !CopyText(out->quietUninstallString, sizeof out->quietUninstallString, out->uninstallString) ||
      !AppendText(out->quietUninstallString, sizeof out->quietUninstallString, " /S")) {
    return 0;
  }
  // In the order earlier setups wrote them.
  Put(out, "DisplayName", DISPLAY_NAME);
  Put(out, "DisplayVersion", DISPLAY_VERSION);
  Put(out, "Publisher", PUBLISHER);
  Put(out, "InstallLocation", record->folder);
  Put(out, "DisplayIcon", out->displayIcon);
  Put(out, "UninstallString", out->uninstallString);
  Put(out, "QuietUninstallString", out->quietUninstallString);
  PutNumber(out, "NoModify", 1);
  PutNumber(out, "NoRepair", 1);
  if (record->has & RECORD_SAVER_SET) {
    Put(out, SETUP_SAVER_SET_IN,
        record->saverPlace == SAVER_IN_SYSTEM_INI ? IN_SYSTEM_INI : IN_REGISTRY);
    Put(out, "SaverWritten", record->saverWritten);
  } else {
    out->absent[out->absentCount++] = SETUP_SAVER_SET_IN;
    out->absent[out->absentCount++] = "SaverWritten";
  }
  if (record->has & RECORD_SAVER_WAS_ACTIVE) PutNumber(out, "SaverWasActive", record->saverWasActive);
  else out->absent[out->absentCount++] = "SaverWasActive";
  if (record->has & RECORD_PREVIOUS_SAVER) Put(out, "PreviousSaver", record->previousSaver);
  else out->absent[out->absentCount++] = "PreviousSaver";
  if (record->has & RECORD_MADE_PLUGINS_ROOT) PutNumber(out, "MadePluginsRoot", 1);
  else out->absent[out->absentCount++] = "MadePluginsRoot";
  return 1;
}

int NeedsMove(const UninstallRecord* earlier, const char* folder) {
  return (earlier->has & RECORD_FOLDER) && earlier->folder[0] && !SameText(earlier->folder, folder);
}

void HandOnRecord(const UninstallRecord* earlier, UninstallRecord* next) {
  const uint32_t saverPart = RECORD_SAVER_SET | RECORD_PREVIOUS_SAVER | RECORD_SAVER_WAS_ACTIVE;
  next->has &= ~saverPart;
  // Without SaverSetIn the earlier uninstaller gives nothing back anyway: nothing to hand on.
  if (!(earlier->has & RECORD_SAVER_SET)) return;
  next->has |= earlier->has & saverPart;
  next->saverPlace = earlier->saverPlace;
  std::memcpy(next->saverWritten, earlier->saverWritten, sizeof next->saverWritten);
  std::memcpy(next->previousSaver, earlier->previousSaver, sizeof next->previousSaver);
  next->saverWasActive = earlier->saverWasActive;
}

int EarlierUninstallCommand(const char* folder, char* out, uint32_t outSize) {
  if (CopyText(out, outSize, "\"") && AppendText(out, outSize, folder) &&
      AppendText(out, outSize, "\\uninstall.exe\" /S _?=") && AppendText(out, outSize, folder)) {
    return 1;
  }
  if (outSize) out[0] = '\0';
  return 0;
}

uint32_t DecideMakeCurrent(UninstallRecord* record, uint32_t flags, uint32_t isNt,
                           const char* current, const char* ours, uint32_t screenSaving) {
  if (flags & SETUP_NO_CURRENT) return 0;
  char written[SETUP_PATH_SIZE];
  char previous[SETUP_PATH_SIZE];
  previous[0] = '\0';
  // What cannot be recorded whole could not be given back: then nothing is changed.
  if (!CopyText(written, sizeof written, ours) ||
      (current && !CopyText(previous, sizeof previous, current))) {
    return 0;
  }
  bool oursAlready = current && SameText(current, ours);
  if (oursAlready && (record->has & RECORD_SAVER_SET)) return 0;
  record->has |= RECORD_SAVER_SET | RECORD_SAVER_WAS_ACTIVE;
  record->saverPlace = isNt ? SAVER_IN_REGISTRY : SAVER_IN_SYSTEM_INI;
  std::memcpy(record->saverWritten, written, sizeof written);
  record->saverWasActive = screenSaving;
  // Ours current already (chosen by hand): the record begins, and the user's choices stand.
  if (oursAlready) return 0;
  if (current) {
    std::memcpy(record->previousSaver, previous, sizeof previous);
    record->has |= RECORD_PREVIOUS_SAVER;
  } else {
    record->previousSaver[0] = '\0';
    record->has &= ~RECORD_PREVIOUS_SAVER;
  }
  return CURRENT_WRITE | CURRENT_TURN_ON;
}

GiveBack DecideGiveBack(const UninstallRecord* record, const char* current) {
  GiveBack back = {GIVE_BACK_NOTHING, record->saverPlace, nullptr, 0, 0};
  if (!(record->has & RECORD_SAVER_SET) || !current || !SameText(current, record->saverWritten))
    return back;
  if (record->has & RECORD_PREVIOUS_SAVER) {
    back.saver = GIVE_BACK_PREVIOUS;
    back.previous = record->previousSaver;
  } else {
    back.saver = GIVE_BACK_REMOVE_SETTING;
  }
  back.setActive = (record->has & RECORD_SAVER_WAS_ACTIVE) != 0;
  if (back.setActive) back.active = record->saverWasActive;
  return back;
}

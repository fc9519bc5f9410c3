// The setup program's readers over arbitrary bytes: the command tail and the folder check, the
// uninstall record read value by value and written back, and the [rename] lines added to
// WININIT.INI. Every string stays terminated inside its buffer, and what is written back reads
// back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "installer/setup_command.h"
#include "installer/setup_files.h"
#include "installer/setup_record.h"

namespace {

int IsLead(unsigned char c) { return c >= 0x81 && c <= 0x9F; }

void Terminated(const char* text, size_t size) {
  if (!memchr(text, 0, size)) abort();
}

// The input as pieces: one byte of length (and, for values, one of type), then the bytes.
struct Reader {
  const uint8_t* data;
  size_t size;
  bool Take(size_t n, const uint8_t** out) {
    if (n > size) return false;
    *out = data;
    data += n;
    size -= n;
    return true;
  }
};

void Record(Reader reader) {
  static const char* const names[] = {"InstallLocation", "SaverSetIn", "SaverWritten",
                                      "PreviousSaver", "SaverWasActive", "MadePluginsRoot"};
  UninstallRecord record;
  ClearRecord(&record);
  const uint8_t* head;
  const uint8_t* bytes;
  while (reader.Take(3, &head) && reader.Take(head[2], &bytes)) {
    uint32_t type = head[1] % 5;
    std::vector<char> name(bytes, bytes + head[2]);
    name.push_back('\0');
    if (head[0] & 0x80) TakeRecordCopy(&record, name.data(), type, bytes, head[2]);
    else TakeRecordValue(&record, names[head[0] % 6], type, bytes, head[2]);
  }
  if (record.copyCount > SETUP_COPIES_MAX) abort();
  RecordValues values;
  if (!RecordToValues(&record, "C:\\W\\nvrss32.scr", &values)) return;
  UninstallRecord again;
  ClearRecord(&again);
  for (uint32_t i = 0; i < values.count; ++i) {
    const RecordValue& v = values.values[i];
    unsigned char number[4] = {static_cast<unsigned char>(v.number), static_cast<unsigned char>(v.number >> 8),
                              static_cast<unsigned char>(v.number >> 16),
                              static_cast<unsigned char>(v.number >> 24)};
    const unsigned char* data = v.type == RECORD_DWORD ? number : reinterpret_cast<const unsigned char*>(v.text);
    uint32_t size = v.type == RECORD_DWORD ? 4 : static_cast<uint32_t>(strlen(v.text) + 1);
    TakeRecordValue(&again, v.name, v.type, data, size);
  }
  const uint32_t kept = RECORD_FOLDER | RECORD_SAVER_SET | RECORD_PREVIOUS_SAVER |
                        RECORD_SAVER_WAS_ACTIVE | RECORD_MADE_PLUGINS_ROOT;
  if ((again.has & kept) != (record.has & kept) || strcmp(again.folder, record.folder) ||
      ((record.has & RECORD_SAVER_SET) && strcmp(again.saverWritten, record.saverWritten)) || again.saverPlace != record.saverPlace || again.saverWasActive != record.saverWasActive) {
    abort();
  }
  RestartPlan plan;
  PlanUninstallRestart("C:\\W\\nvrss32.scr", 1, &record, 0xFFFFFFFFu, record.folder, 1, &plan);
  if (plan.count > SETUP_RESTART_MAX) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  SetupCommand command;
  ParseSetupCommand(text.data(), &command);
  Terminated(command.folder, sizeof command.folder);
  char folder[SETUP_PATH_SIZE];
  ChooseInstallFolder(&command, text.data(), "C:\\Program Files", IsLead, folder, sizeof folder);
  Terminated(folder, sizeof folder);
  char out[1024];
  uint32_t length = 0;
  if (AddRenameLines(text.data(), static_cast<uint32_t>(size), "NUL=C:\\A\r\n", out, sizeof out, &length) &&
      (length >= sizeof out || out[length] != '\0')) {
    abort();
  }
  Record({data, size});
  return 0;
}

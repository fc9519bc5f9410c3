// What the setup program reads and writes of the system: the family and the view it runs in,
// registry values, profile files, files, and the operations left for the restart.
#include <windows.h>

#include <cstring>

#include "installer/payload_codec.h"
#include "installer/setup_win.h"

namespace {

constexpr char DESKTOP_KEY[] = "Control Panel\\Desktop";
constexpr char SAVER_VALUE[] = "SCRNSAVE.EXE";
constexpr char SYSTEM_INI[] = "system.ini";
// Larger than any deliverable we ship, far below what a damaged resource could claim.
constexpr uint32_t EXPANDED_MAX = 4u << 20;
// The longest WININIT.INI we rewrite: the 95 family's own limit for the file is 64 KB.
constexpr uint32_t WININIT_MAX = 64u << 10;

}  // namespace

void Report(const SetupRun* run, const char* first, const char* second) {
  if (!run->report) return;
  char line[2 * SETUP_PATH_SIZE];
  if (!CopyText(line, sizeof line, first) || !AppendText(line, sizeof line, second ? second : ""))
    return;
  run->report(run->sink, line);
}

SetupRun* BeginWork(void* context, WizardReportProc report, void* sink, WizardOutcome* outcome) {
  SetupRun* run = static_cast<SetupRun*>(context);
  run->report = report;
  run->sink = sink;
  outcome->waiting[0] = '\0';
  return run;
}

int IsLeadAnsi(unsigned char byte) { return IsDBCSLeadByte(byte); }

uint32_t IsNtFamily() {
  OSVERSIONINFOA version;
  version.dwOSVersionInfoSize = sizeof version;
  return !GetVersionExA(&version) || version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

uint32_t IsWow64() {
  typedef BOOL(WINAPI * IsWow64Proc)(HANDLE, BOOL*);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  IsWow64Proc isWow64 =
      kernel ? reinterpret_cast<IsWow64Proc>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")))
             : nullptr;
  BOOL wow64 = FALSE;
  return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

void FolderOf(const char* path, char* out, uint32_t outSize) {
  out[0] = '\0';
  const char* last = nullptr;
  for (const char* p = path; *p; p = CharNextA(p))
    if (*p == '\\') last = p;
  if (!last || static_cast<uint32_t>(last - path) >= outSize) return;
  uint32_t n = static_cast<uint32_t>(last - path);
  for (uint32_t i = 0; i < n; ++i) out[i] = path[i];
  out[n] = '\0';
}

int FindSaverPlace(SaverFile* out) {
  char system[SETUP_PATH_SIZE];
  char windows[SETUP_PATH_SIZE];
  UINT s = GetSystemDirectoryA(system, sizeof system);
  if (!s || s >= sizeof system) return 0;
  // The folder above the system folder, where Sysnative is: GetWindowsDirectoryA may name a
  // user's own folder instead, on a terminal server.
  FolderOf(system, windows, sizeof windows);
  return PlaceSaver(IsWow64(), windows, system, IsLeadAnsi, out);
}

int ReadRegText(HKEY root, const char* key, const char* name, char* out, uint32_t outSize) {
  out[0] = '\0';
  HKEY k;
  if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return 0;
  unsigned char data[SETUP_PATH_SIZE];
  DWORD type = 0, size = sizeof data;
  LONG r = RegQueryValueExA(k, name, nullptr, &type, data, &size);
  RegCloseKey(k);
  return r == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) &&
         CopyData(out, outSize, data, size);
}

namespace {

int WriteRegValue(HKEY root, const char* key, const char* name, DWORD type, const void* data,
                  DWORD size) {
  HKEY k;
  DWORD disposition;
  if (RegCreateKeyExA(root, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &k,
                      &disposition) != ERROR_SUCCESS) {
    return 0;
  }
  LONG r = RegSetValueExA(k, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(k);
  return r == ERROR_SUCCESS;
}

}  // namespace

int WriteRegText(HKEY root, const char* key, const char* name, const char* text) {
  return WriteRegValue(root, key, name, REG_SZ, text, lstrlenA(text) + 1);
}

int WriteRegNumber(HKEY root, const char* key, const char* name, uint32_t number) {
  DWORD value = number;
  return WriteRegValue(root, key, name, REG_DWORD, &value, sizeof value);
}

void DeleteRegValue(HKEY root, const char* key, const char* name) {
  HKEY k;
  if (RegOpenKeyExA(root, key, 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return;
  RegDeleteValueA(k, name);
  RegCloseKey(k);
}

// Subkeys first: NT deletes only a key without subkeys.
void DeleteRegTree(HKEY root, const char* key) {
  HKEY k;
  if (RegOpenKeyExA(root, key, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
  char sub[SETUP_PATH_SIZE];
  while (RegEnumKeyA(k, 0, sub, sizeof sub) == ERROR_SUCCESS) {
    HKEY before = k;
    DeleteRegTree(k, sub);
    // A subkey that stays (no right to it) would be found again and again.
    char again[SETUP_PATH_SIZE];
    if (RegEnumKeyA(before, 0, again, sizeof again) == ERROR_SUCCESS && SameText(again, sub)) break;
  }
  RegCloseKey(k);
  RegDeleteKeyA(root, key);
}

namespace {

// Each value of key handed to take; what does not fit the buffers is handed over as too long.
template <typename Take>
void ReadValues(const char* key, UninstallRecord* record, Take take) {
  HKEY k;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return;
  for (DWORD i = 0;; ++i) {
    char name[SETUP_PATH_SIZE];
    unsigned char data[SETUP_PATH_SIZE];
    DWORD nameSize = sizeof name, size = sizeof data, type = 0;
    LONG r = RegEnumValueA(k, i, name, &nameSize, nullptr, &type, data, &size);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS) continue;  // longer than any value of ours
    uint32_t kind = 0;
    if (type == REG_SZ) kind = RECORD_STRING;
    if (type == REG_EXPAND_SZ) kind = RECORD_EXPAND_STRING;
    if (type == REG_DWORD) kind = RECORD_DWORD;
    take(record, name, kind, data, size);
  }
  RegCloseKey(k);
}

}  // namespace

void ReadUninstallRecord(UninstallRecord* record) {
  ClearRecord(record);
  ReadValues(SETUP_UNINSTALL_KEY, record, TakeRecordValue);
  ReadValues(SETUP_COPIES_KEY, record, TakeRecordCopy);
}

int WriteUninstallRecord(const UninstallRecord* record, const char* saver) {
  RecordValues* values = static_cast<RecordValues*>(GlobalAlloc(GMEM_FIXED, sizeof(RecordValues)));
  int written = values && RecordToValues(record, saver, values);
  for (uint32_t i = 0; written && i < values->count; ++i) {
    const RecordValue& v = values->values[i];
    written = v.type == RECORD_DWORD ? WriteRegNumber(HKEY_LOCAL_MACHINE, SETUP_UNINSTALL_KEY, v.name, v.number)
                                     : WriteRegText(HKEY_LOCAL_MACHINE, SETUP_UNINSTALL_KEY, v.name, v.text);
  }
  for (uint32_t i = 0; written && i < values->absentCount; ++i)
    DeleteRegValue(HKEY_LOCAL_MACHINE, SETUP_UNINSTALL_KEY, values->absent[i]);
  for (uint32_t i = 0; written && i < record->copyCount; ++i) {
    const PluginCopy& copy = record->copies[i];
    written = WriteRegText(HKEY_LOCAL_MACHINE, SETUP_COPIES_KEY, copy.path, copy.madeFolder);
  }
  if (values) GlobalFree(values);
  return written;
}

int ReadCurrentSaver(SaverPlace place, char* out, uint32_t outSize) {
  if (place == SAVER_IN_REGISTRY) return ReadRegText(HKEY_CURRENT_USER, DESKTOP_KEY, SAVER_VALUE, out, outSize);
  // A default no file name can hold tells an absent key from an empty one.
  GetPrivateProfileStringA("boot", SAVER_VALUE, "\x01", out, outSize, SYSTEM_INI);
  if (out[0] == '\x01' && !out[1]) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}

int WriteCurrentSaver(SaverPlace place, const char* saver) {
  if (place == SAVER_IN_REGISTRY) {
    if (saver) return WriteRegText(HKEY_CURRENT_USER, DESKTOP_KEY, SAVER_VALUE, saver);
    DeleteRegValue(HKEY_CURRENT_USER, DESKTOP_KEY, SAVER_VALUE);
    return 1;
  }
  int written = WritePrivateProfileStringA("boot", SAVER_VALUE, saver, SYSTEM_INI);
  // The 95 family caches the file: flushed, the system reads the new setting at once.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, SYSTEM_INI);
  return written;
}

uint32_t ScreenSaving() {
  BOOL on = FALSE;
  SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &on, 0);
  return on != FALSE;
}

// Saved where the family keeps it and announced, as the Display settings do.
void SetScreenSaving(uint32_t on) {
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, on ? TRUE : FALSE, nullptr,
                        SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
}

uint32_t FileExists(const char* path) {
  DWORD a = GetFileAttributesA(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

uint32_t FolderExists(const char* path) {
  DWORD a = GetFileAttributesA(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

int MakeFolders(const char* path) {
  if (FolderExists(path)) return 1;
  char part[SETUP_PATH_SIZE];
  if (!CopyText(part, sizeof part, path)) return 0;
  // Each separator after the root ends a folder to make; "X:\" and "\\server\share\" exist.
  uint32_t skip = part[0] == '\\' && part[1] == '\\' ? 4 : 1;
  for (char* p = part; *p; p = CharNextA(p)) {
    if (*p != '\\' || skip-- > 0) continue;
    *p = '\0';
    if (!FolderExists(part)) CreateDirectoryA(part, nullptr);
    *p = '\\';
  }
  CreateDirectoryA(part, nullptr);
  return FolderExists(path);
}

int WriteWholeFile(const char* path, const unsigned char* data, uint32_t size) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  BOOL ok = WriteFile(file, data, size, &written, nullptr) && written == size;
  CloseHandle(file);
  if (!ok) DeleteFileA(path);  // a part of a program is worse than none
  return ok;
}

unsigned char* ExpandResource(HINSTANCE instance, uint32_t id, uint32_t* size) {
  *size = 0;
  HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
  HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  const unsigned char* packed = loaded ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
  uint32_t packedSize = found ? SizeofResource(instance, found) : 0;
  uint32_t expanded = packed ? PackedExpandedSize(packed, packedSize) : 0;
  if (!expanded || expanded > EXPANDED_MAX) return nullptr;
  unsigned char* out = static_cast<unsigned char*>(GlobalAlloc(GMEM_FIXED, expanded));
  if (out && ExpandPayload(packed, packedSize, out, expanded) == expanded) {
    *size = expanded;
    return out;
  }
  if (out) GlobalFree(out);
  return nullptr;
}

namespace {

// The 95 family: lines added to the [rename] section of WININIT.INI, in short names, which the
// system carries out before it starts Windows.
int ScheduleInWininit(const RestartPlan* plan) {
  char path[SETUP_PATH_SIZE];
  UINT n = GetWindowsDirectoryA(path, sizeof path);
  if (!n || n >= sizeof path || !AppendText(path, sizeof path, "\\WININIT.INI")) return 0;
  // The lines, the file as it is, and the file with the lines.
  const uint32_t linesSize = SETUP_RESTART_MAX * (2 * SETUP_PATH_SIZE + 8);
  const uint32_t outSize = WININIT_MAX + linesSize + 16;
  char* lines = static_cast<char*>(GlobalAlloc(GMEM_FIXED, linesSize + WININIT_MAX + outSize));
  if (!lines) return 0;
  char* text = lines + linesSize;
  char* out = text + WININIT_MAX;
  int ok = 1;
  lines[0] = '\0';
  for (uint32_t i = 0; ok && i < plan->count; ++i) {
    char from[SETUP_PATH_SIZE], to[SETUP_PATH_SIZE], line[2 * SETUP_PATH_SIZE + 8];
    DWORD f = GetShortPathNameA(plan->ops[i].from, from, sizeof from);
    DWORD t = plan->ops[i].to[0] ? GetShortPathNameA(plan->ops[i].to, to, sizeof to) : 0;
    if (!plan->ops[i].to[0]) to[0] = '\0';
    ok = f && f < sizeof from && (!plan->ops[i].to[0] || (t && t < sizeof to)) &&
         WininitLine(from, to, line, sizeof line) && AppendText(lines, linesSize, line);
  }
  DWORD length = 0;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (ok && file != INVALID_HANDLE_VALUE) {
    DWORD size = GetFileSize(file, nullptr);
    ok = size < WININIT_MAX && ReadFile(file, text, size, &length, nullptr) && length == size;
  }
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  uint32_t outLength = 0;
  ok = ok && AddRenameLines(text, length, lines, out, outSize, &outLength) &&
       WriteWholeFile(path, reinterpret_cast<unsigned char*>(out), outLength);
  GlobalFree(lines);
  return ok;
}

}  // namespace

int ScheduleAtRestart(const RestartPlan* plan) {
  if (plan->count == 0) return 1;
  if (!IsNtFamily()) return ScheduleInWininit(plan);
  int ok = 1;
  for (uint32_t i = 0; i < plan->count; ++i) {
    const RestartOp& op = plan->ops[i];
    ok &= MoveFileExA(op.from, op.to[0] ? op.to : nullptr,
                      MOVEFILE_DELAY_UNTIL_REBOOT | (op.to[0] ? MOVEFILE_REPLACE_EXISTING : 0)) != 0;
  }
  return ok;
}

void ListWaiting(const RestartPlan* plan, char* out, uint32_t outSize) {
  out[0] = '\0';
  for (uint32_t i = 0; i < plan->count; ++i) {
    const RestartOp& op = plan->ops[i];
    const char* name = op.to[0] ? op.to : op.from;
    if (out[0] && !AppendText(out, outSize, "\r\n")) return;
    if (!AppendText(out, outSize, name)) return;
  }
}

uint32_t RunAndWait(const char* commandLine) {
  char line[2 * SETUP_PATH_SIZE + 16];
  if (!CopyText(line, sizeof line, commandLine)) return ~0u;
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return ~0u;
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = ~0u;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return code;
}

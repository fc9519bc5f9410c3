// The harness: deviations, processes, files and logs, scoped settings.
#include "harness.h"

#include <tlhelp32.h>

#include <cstdio>

namespace harness {

// ---- Known platform deviations ----------------------------------------------------------------

namespace {
std::string CurrentTestName() {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  return test ? std::string(test->test_suite_name()) + "." + test->name() : "(outside a test)";
}
}  // namespace

void KnownDeviation(const std::string& what, const char* file, int line) {
  const char* base = strrchr(file, '/');
  base = base ? base + 1 : file;
  char where[160];
  snprintf(where, sizeof where, "%s:%d", base, line);
  std::string text = "known platform deviation: " + what;
  printf("%s (%s, %s)\n", text.c_str(), CurrentTestName().c_str(), where);
  fflush(stdout);
  if (testing::UnitTest::GetInstance()->current_test_info())
    testing::Test::RecordProperty("known_platform_deviation", what);
  char log[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("NVR_DEVIATION_LOG", log, sizeof log);
  if (!n || n >= sizeof log) return;
  // A Unix path from the bed's shell names the same file through Wine's drive Z:.
  std::string path = log[0] == '/' ? std::string("Z:") + log : std::string(log);
  HANDLE f = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  std::string record = CurrentTestName() + ": " + what + "\n";
  DWORD written = 0;
  WriteFile(f, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  CloseHandle(f);
}

// ---- Programs and processes -------------------------------------------------------------------

std::string BinDir() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir(path, n < sizeof path ? n : 0);
  size_t slash = dir.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
}

std::string BinPath(const char* file) { return BinDir() + "\\" + file; }
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Number(HWND window) {
  return std::to_string(static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
}

std::string Hex(UINT_PTR value) {
  char text[32];
  snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
  return text;
}

bool WaitUntil(const std::function<bool()>& predicate, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (predicate()) return true;
    if (GetTickCount() - start >= timeoutMs) return predicate();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    // Another process's state has no event to wait on; look again after a short pause that
    // any message for this thread ends at once.
    MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

Child::~Child() {
  if (!started) return;
  if (Running()) {
    TerminateProcess(info.hProcess, 0xDEAD);
    WaitForSingleObject(info.hProcess, 5000);
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

bool Child::WaitExit(DWORD timeoutMs, DWORD* code) {
  if (!started) return false;
  if (WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  if (code) GetExitCodeProcess(info.hProcess, code);
  return true;
}

bool Child::Running() const {
  return started && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT;
}

namespace {
bool Create(Child& child, const char* application, const std::string& commandLine,
            const char* directory) {
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA si;
  ZeroMemory(&si, sizeof si);
  si.cb = sizeof si;
  child.started = CreateProcessA(application, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 directory, &si, &child.info) != 0;
  return child.started;
}
}  // namespace

bool StartProgram(Child& child, const std::string& application, const std::string& commandLine) {
  return Create(child, application.empty() ? nullptr : application.c_str(), commandLine, nullptr);
}

bool Start(Child& child, const std::string& commandLine, const char* directory) {
  return Create(child, nullptr, commandLine, directory);
}

DWORD ExitCode(Child& child, DWORD timeoutMs) {
  DWORD code = NO_EXIT;
  if (!WaitUntil([&] { return child.WaitExit(0, &code); }, timeoutMs)) return NO_EXIT;
  return code;
}

DWORD Run(const std::string& commandLine, DWORD timeoutMs) {
  Child child;
  if (!Start(child, commandLine)) return NO_EXIT;
  return ExitCode(child, timeoutMs);
}

namespace {
struct FindRequest {
  DWORD pid;
  const char* className;
  const char* title;
  HWND found;
};

bool Matches(HWND window, const FindRequest& request) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (request.pid && pid != request.pid) return false;
  char text[256];
  if (request.className) {
    GetClassNameA(window, text, sizeof text);
    if (lstrcmpA(text, request.className) != 0) return false;
  }
  if (request.title) {
    GetWindowTextA(window, text, sizeof text);
    if (lstrcmpA(text, request.title) != 0) return false;
  }
  return true;
}

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) {
  FindRequest* request = reinterpret_cast<FindRequest*>(param);
  if (!Matches(window, *request)) return TRUE;
  request->found = window;
  return FALSE;
}
}  // namespace

HWND FindProcessWindow(DWORD pid, const char* className, const char* title) {
  FindRequest request{pid, className, title, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&request));
  return request.found;
}

HWND WaitForProcessWindow(const Child& child, const char* className, const char* title,
                          DWORD timeoutMs) {
  HWND window = nullptr;
  WaitUntil([&] { return (window = FindProcessWindow(child.Pid(), className, title)) != nullptr; },
            timeoutMs);
  return window;
}

HWND FindChildWindow(HWND parent, DWORD pid, const char* className) {
  FindRequest request{pid, className, nullptr, nullptr};
  for (HWND w = FindWindowExA(parent, nullptr, nullptr, nullptr); w;
       w = FindWindowExA(parent, w, nullptr, nullptr))
    if (Matches(w, request)) return w;
  return nullptr;
}

std::vector<DWORD> ProcessesStartedBy(DWORD pid) {
  std::vector<DWORD> found;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (entry.th32ParentProcessID == pid) found.push_back(entry.th32ProcessID);
  CloseHandle(snapshot);
  return found;
}

void EndProcess(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  if (!process) return;
  TerminateProcess(process, 0);
  WaitForSingleObject(process, 5000);
  CloseHandle(process);
}

// ---- Files and logs ---------------------------------------------------------------------------

TempFile::TempFile(const char* prefix) {
  char dir[MAX_PATH];
  char name[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  GetTempFileNameA(dir, prefix, 0, name);  // creates the file, empty
  path = name;
}

TempFile::~TempFile() { DeleteFileA(path.c_str()); }

TempFolder::TempFolder(const char* hint) {
  static LONG counter = 0;
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  char name[MAX_PATH];
  snprintf(name, sizeof name, "%s%s %lu-%ld", dir, hint, GetCurrentProcessId(),
           InterlockedIncrement(&counter));
  path_ = name;
  CreateDirectoryA(path_.c_str(), nullptr);
}

void RemoveTree(const std::string& dir) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(dir + "\\" + name);
      else
        DeleteFileA((dir + "\\" + name).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(dir.c_str());
}

TempFolder::~TempFolder() { RemoveTree(path_); }

bool TempFolder::Copy(const std::string& from, const std::string& name) const {
  return CopyFileA(from.c_str(), File(name).c_str(), FALSE) != 0;
}

bool TempFolder::Write(const std::string& name, const std::vector<unsigned char>& bytes) const {
  return WriteWholeFile(File(name), bytes);
}

bool TempFolder::Write(const std::string& name, const std::string& text) const {
  return WriteWholeFile(File(name), std::vector<unsigned char>(text.begin(), text.end()));
}

bool TempFolder::MakeFolder(const std::string& name) const {
  return CreateDirectoryA(File(name).c_str(), nullptr) != 0;
}

std::vector<unsigned char> ReadWholeFile(const std::string& path) {
  std::vector<unsigned char> bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  unsigned char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    bytes.insert(bytes.end(), buffer, buffer + got);
  CloseHandle(file);
  return bytes;
}

std::string ReadText(const std::string& path, bool* exists) {
  if (exists) *exists = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  std::vector<unsigned char> bytes = ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

bool WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  BOOL ok = bytes.empty() ||
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(file);
  return ok && put == bytes.size();
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::string text = ReadText(path);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.push_back(text.substr(start, stop - start));
  }
  return lines;
}

std::vector<std::string> LinesStartingWith(const std::string& path, const char* prefix) {
  std::vector<std::string> found;
  size_t n = strlen(prefix);
  for (const std::string& line : ReadLines(path))
    if (line.compare(0, n, prefix) == 0) found.push_back(line);
  return found;
}

size_t CountLinesWith(const std::string& path, const char* prefix, const std::string& part) {
  size_t count = 0;
  for (const std::string& line : LinesStartingWith(path, prefix))
    if (line.find(part) != std::string::npos) ++count;
  return count;
}

namespace {
// The failure of a wait on a log: what was wanted and the lines that were there.
testing::AssertionResult LogWaitFailure(const std::string& path, const std::string& wanted,
                                        DWORD timeoutMs) {
  testing::AssertionResult failure = testing::AssertionFailure();
  failure << "waited " << timeoutMs << " ms for " << wanted << " in " << path << "; it held";
  std::vector<std::string> lines = ReadLines(path);
  if (lines.empty()) failure << " nothing";
  const size_t SHOWN = 40;  // the last lines tell the most
  if (lines.size() > SHOWN) failure << " ... (" << lines.size() - SHOWN << " lines before)";
  for (size_t i = lines.size() > SHOWN ? lines.size() - SHOWN : 0; i < lines.size(); ++i)
    failure << "\n  " << lines[i];
  return failure;
}
}  // namespace

testing::AssertionResult WaitForLines(const std::string& path, const char* prefix, size_t count,
                                      DWORD timeoutMs) {
  if (WaitUntil([&] { return LinesStartingWith(path, prefix).size() >= count; }, timeoutMs))
    return testing::AssertionSuccess();
  return LogWaitFailure(path, std::to_string(count) + " line(s) starting \"" + prefix + "\"",
                        timeoutMs);
}

testing::AssertionResult WaitForLine(const std::string& path, const std::string& line,
                                     DWORD timeoutMs) {
  auto present = [&] {
    for (const std::string& l : ReadLines(path))
      if (l == line) return true;
    return false;
  };
  if (WaitUntil(present, timeoutMs)) return testing::AssertionSuccess();
  return LogWaitFailure(path, "the line \"" + line + "\"", timeoutMs);
}

testing::AssertionResult WaitForLineWith(const std::string& path, const char* prefix,
                                         const std::string& part, DWORD timeoutMs) {
  if (WaitUntil([&] { return CountLinesWith(path, prefix, part) > 0; }, timeoutMs))
    return testing::AssertionSuccess();
  return LogWaitFailure(path, std::string("a line starting \"") + prefix + "\" with \"" + part + "\"",
                        timeoutMs);
}

// ---- Scoped settings --------------------------------------------------------------------------

namespace {
bool KeyExists(HKEY root, const std::string& subKey) {
  HKEY key;
  if (RegOpenKeyA(root, subKey.c_str(), &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}
}  // namespace

ScopedRegValue::ScopedRegValue(HKEY root, const char* subKey, const char* name, const char* text)
    : root_(root), subKey_(subKey), name_(name) {
  Save();
  Set(REG_SZ, text, static_cast<DWORD>(strlen(text) + 1));
}

ScopedRegValue::ScopedRegValue(HKEY root, const char* subKey, const char* name, DWORD number)
    : root_(root), subKey_(subKey), name_(name) {
  Save();
  Set(REG_DWORD, &number, sizeof number);
}

void ScopedRegValue::Set(DWORD type, const void* data, DWORD size) {
  HKEY key;
  if (RegCreateKeyA(root_, subKey_.c_str(), &key) != ERROR_SUCCESS) return;
  RegSetValueExA(key, name_.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void ScopedRegValue::Save() {
  // The keys this record will make, deepest first, up to one that is there already.
  for (std::string k = subKey_; !k.empty() && !KeyExists(root_, k);) {
    madeKeys_.push_back(k);
    size_t slash = k.find_last_of('\\');
    k.resize(slash == std::string::npos ? 0 : slash);
  }
  HKEY key;
  if (RegOpenKeyA(root_, subKey_.c_str(), &key) != ERROR_SUCCESS) return;
  DWORD size = 0;
  if (RegQueryValueExA(key, name_.c_str(), nullptr, &oldType_, nullptr, &size) == ERROR_SUCCESS) {
    oldData_.resize(size);
    if (RegQueryValueExA(key, name_.c_str(), nullptr, &oldType_,
                         reinterpret_cast<BYTE*>(&oldData_[0]), &size) == ERROR_SUCCESS) {
      hadValue_ = true;
      oldData_.resize(size);
    }
  }
  RegCloseKey(key);
}

ScopedRegValue::~ScopedRegValue() {
  HKEY key;
  if (RegOpenKeyA(root_, subKey_.c_str(), &key) != ERROR_SUCCESS) return;
  if (hadValue_) {
    RegSetValueExA(key, name_.c_str(), 0, oldType_, reinterpret_cast<const BYTE*>(oldData_.data()),
                   static_cast<DWORD>(oldData_.size()));
  } else {
    RegDeleteValueA(key, name_.c_str());
  }
  RegCloseKey(key);
  for (const std::string& made : madeKeys_) RegDeleteKeyA(root_, made.c_str());
}

ScopedWineVersion::ScopedWineVersion(const char* version)
    : value_(HKEY_CURRENT_USER, "Software\\Wine", "Version", version) {}

ScopedDllOverride::ScopedDllOverride(const char* program, const char* dll, const char* order)
    : value_(HKEY_CURRENT_USER,
             (std::string("Software\\Wine\\AppDefaults\\") + program + "\\DllOverrides").c_str(),
             dll, order) {}

ScopedWinIni::ScopedWinIni(const char* section, const char* key, const char* value)
    : section_(section), key_(key) {
  char old[1024];
  const char* none = "\x01none";
  GetProfileStringA(section, key, none, old, sizeof old);
  had_ = strcmp(old, none) != 0;
  old_ = old;
  std::string written = value ? value : "";
  size_t n = written.size();
  if (n >= 2 && written[0] == '"' && written[n - 1] == '"') written = "\"" + written + "\"";
  WriteProfileStringA(section, key, value ? written.c_str() : nullptr);
}

ScopedWinIni::~ScopedWinIni() {
  WriteProfileStringA(section_.c_str(), key_.c_str(), had_ ? old_.c_str() : nullptr);
}

std::string WindowsPath(const char* file) {
  char folder[MAX_PATH];
  UINT n = GetWindowsDirectoryA(folder, sizeof folder);
  return std::string(folder, n < sizeof folder ? n : 0) + "\\" + file;
}

void ForgetCachedProfile(const char* file) { WritePrivateProfileStringA(nullptr, nullptr, nullptr, file); }

ScopedControlIni::ScopedControlIni(const std::vector<Setting>& settings)
    : path_(WindowsPath("control.ini")) {
  old_ = ReadText(path_, &existed_);
  DeleteFileA(path_.c_str());
  ForgetCachedProfile("control.ini");
  for (const Setting& s : settings) WritePrivateProfileStringA("", s.key, s.value, "control.ini");
  ForgetCachedProfile("control.ini");
}

ScopedControlIni::~ScopedControlIni() {
  if (existed_) {
    WriteWholeFile(path_, std::vector<unsigned char>(old_.begin(), old_.end()));
  } else {
    DeleteFileA(path_.c_str());
  }
  ForgetCachedProfile("control.ini");
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  char old[4096];
  DWORD n = GetEnvironmentVariableA(name, old, sizeof old);
  if (n && n < sizeof old) {
    had_ = true;
    old_.assign(old, n);
  }
  SetEnvironmentVariableA(name, value.c_str());
}

ScopedEnv::~ScopedEnv() { SetEnvironmentVariableA(name_.c_str(), had_ ? old_.c_str() : nullptr); }

}  // namespace harness

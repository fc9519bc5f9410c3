#include "bridge_support.h"

#include <cstdio>

#include "common/link_protocol.h"

namespace bridge {

TempFile::TempFile(const char* prefix) {
  char dir[MAX_PATH];
  char name[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  GetTempFileNameA(dir, prefix, 0, name);  // creates the file, empty
  path = name;
}

TempFile::~TempFile() { DeleteFileA(path.c_str()); }

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lines;
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  CloseHandle(file);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) break;  // a line still being written
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.push_back(text.substr(start, stop - start));
    start = end + 1;
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

bool WaitForLines(const std::string& path, const char* prefix, size_t count, DWORD timeoutMs) {
  return harness::WaitUntil([&] { return LinesStartingWith(path, prefix).size() >= count; },
                            timeoutMs);
}

std::string StandInCommand(const std::string& logPath, const std::string& options) {
  std::string line = "\"" + harness::BinPath("nvr_standin.exe") + "\"";
  if (!logPath.empty()) line += " --log \"" + logPath + "\"";
  if (!options.empty()) line += " " + options;
  return line;
}

HWND StartStandIn(harness::Child& child, const std::string& logPath, const std::string& options,
                  DWORD timeoutMs) {
  if (!harness::Start(child, StandInCommand(logPath, options))) return nullptr;
  HWND window = nullptr;
  harness::WaitUntil(
      [&] { return (window = harness::FindProcessWindow(child.Pid(), "NvrStandIn", nullptr)); },
      timeoutMs);
  return window;
}

ScopedAppPath::ScopedAppPath(const std::string& commandLine) {
  char old[1024];
  const char* none = "\x01none";
  GetProfileStringA("NVR", "Exe", none, old, sizeof old);
  had_ = strcmp(old, none) != 0;
  old_ = old;
  WriteProfileStringA("NVR", "Exe", commandLine.c_str());
}

ScopedAppPath::~ScopedAppPath() {
  WriteProfileStringA("NVR", "Exe", had_ ? old_.c_str() : nullptr);
}

UINT WhoAmIMessage() { return RegisterWindowMessageA(QUIB_WHOAMI_NAME); }

HWND FindSaverWindow(DWORD pid) {
  return harness::FindProcessWindow(pid, "WindowsScreenSaverClass", nullptr);
}

bool StartSaver(harness::Child& child, const char* mode) {
  return harness::Start(child, "\"" + harness::BinPath("nvrss32.scr") + "\" " + mode);
}


std::string Hex(UINT_PTR value) {
  char text[32];
  snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
  return text;
}

HWND WaitForSaverWindow(harness::Child& saver, DWORD timeoutMs) {
  HWND window = nullptr;
  harness::WaitUntil([&] { return (window = FindSaverWindow(saver.Pid())) != nullptr; },
                     timeoutMs);
  return window;
}

namespace {
BOOL CALLBACK EndStandIn(HWND window, LPARAM) {
  char name[64];
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpA(name, "NvrStandIn") != 0) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  if (process) {
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
  }
  return TRUE;
}
}  // namespace

void EndLaunchedStandIns() { EnumWindows(EndStandIn, 0); }

HungWindow::HungWindow() {
  release_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, Thread, this, 0, nullptr);
  WaitForSingleObject(ready_, 5000);
}

HungWindow::~HungWindow() {
  SetEvent(release_);
  WaitForSingleObject(thread_, 10000);
  CloseHandle(thread_);
  CloseHandle(ready_);
  CloseHandle(release_);
}

DWORD WINAPI HungWindow::Thread(void* param) {
  HungWindow* self = static_cast<HungWindow*>(param);
  self->window_ = CreateWindowExA(0, "STATIC", "hung", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                  nullptr, nullptr, nullptr, nullptr);
  SetEvent(self->ready_);
  WaitForSingleObject(self->release_, INFINITE);  // no pumping: the window hangs
  DestroyWindow(self->window_);
  return 0;
}

}  // namespace bridge

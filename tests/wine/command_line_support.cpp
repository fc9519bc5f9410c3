#include "command_line_support.h"

#include <vector>

namespace cmdline {

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

namespace {
bool KeyExists(const std::string& subKey) {
  HKEY key;
  if (RegOpenKeyA(HKEY_CURRENT_USER, subKey.c_str(), &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}
}  // namespace

ScopedDllOverride::ScopedDllOverride(const char* program, const char* dll, const char* order)
    : appKey_(std::string("Software\\Wine\\AppDefaults\\") + program),
      overridesKey_(appKey_ + "\\DllOverrides") {
  madeAppKey_ = !KeyExists(appKey_);
  madeOverridesKey_ = !KeyExists(overridesKey_);
  value_ = new harness::ScopedRegValue(HKEY_CURRENT_USER, overridesKey_.c_str(), dll, order);
}

ScopedDllOverride::~ScopedDllOverride() {
  delete value_;
  if (madeOverridesKey_) RegDeleteKeyA(HKEY_CURRENT_USER, overridesKey_.c_str());
  if (madeAppKey_) RegDeleteKeyA(HKEY_CURRENT_USER, appKey_.c_str());
}

TempFolder::TempFolder(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  path_ = std::string(dir) + name;
  CreateDirectoryA(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileA(File(found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path_.c_str());
}

bool TempFolder::Copy(const std::string& from, const char* name) const {
  return CopyFileA(from.c_str(), File(name).c_str(), FALSE) != 0;
}

namespace {
const char TEST_WINDOW_CLASS[] = "NvrCommandLineTestWindow";
}

TestWindow::TestWindow(const char* title, int clientWidth, int clientHeight) {
  WNDCLASSA wc;
  ZeroMemory(&wc, sizeof wc);
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = TEST_WINDOW_CLASS;
  RegisterClassA(&wc);  // fails harmlessly when an earlier window registered it
  RECT rect = {0, 0, clientWidth, clientHeight};
  DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
  AdjustWindowRect(&rect, style, FALSE);
  window_ = CreateWindowExA(0, TEST_WINDOW_CLASS, title, style, 100, 100, rect.right - rect.left,
                            rect.bottom - rect.top, nullptr, nullptr, GetModuleHandleA(nullptr),
                            nullptr);
}

TestWindow::~TestWindow() {
  if (IsWindow(window_)) DestroyWindow(window_);
}

std::string TestWindow::Number() const {
  return std::to_string(static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window_)));
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool StartProgram(harness::Child& child, const std::string& application,
                  const std::string& commandLine) {
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA si;
  ZeroMemory(&si, sizeof si);
  si.cb = sizeof si;
  child.started = CreateProcessA(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                                 nullptr, nullptr, &si, &child.info) != 0;
  return child.started;
}

DWORD ExitCodeOf(harness::Child& child, DWORD timeoutMs) {
  // Pumping meanwhile: a child's window owned by one of ours sends to it, and waits.
  DWORD code = 0xDEADBEEF;
  if (!harness::WaitUntil([&] { return child.WaitExit(0, &code); }, timeoutMs)) return 0xDEADBEEF;
  return code;
}

HWND FindPreviewWindow(HWND parent, DWORD pid) {
  for (HWND w = FindWindowExA(parent, nullptr, "WindowsScreenSaverClass", nullptr); w;
       w = FindWindowExA(parent, w, "WindowsScreenSaverClass", nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid) return w;
  }
  return nullptr;
}

}  // namespace cmdline

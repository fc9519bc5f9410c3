#include "harness.h"

#include <vector>

namespace harness {

std::string BinDir() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir(path, n);
  size_t slash = dir.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
}

std::string BinPath(const char* file) { return BinDir() + "\\" + file; }

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
    // Another process's state has no event to wait on; look again after a short pause.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
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

bool Start(Child& child, const std::string& commandLine, const char* directory) {
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA si;
  ZeroMemory(&si, sizeof si);
  si.cb = sizeof si;
  child.started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 directory, &si, &child.info) != 0;
  return child.started;
}

DWORD Run(const std::string& commandLine, DWORD timeoutMs) {
  Child child;
  if (!Start(child, commandLine)) return 0xDEADBEEF;
  DWORD code = 0xDEADBEEF;
  if (!child.WaitExit(timeoutMs, &code)) return 0xDEADBEEF;
  return code;
}

ScopedRegValue::ScopedRegValue(HKEY root, const char* subKey, const char* name, const char* text)
    : root_(root), subKey_(subKey), name_(name) {
  Save();
  HKEY key;
  if (RegCreateKeyA(root_, subKey_.c_str(), &key) == ERROR_SUCCESS) {
    RegSetValueExA(key, name_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(strlen(text) + 1));
    RegCloseKey(key);
  }
}

ScopedRegValue::ScopedRegValue(HKEY root, const char* subKey, const char* name, DWORD number)
    : root_(root), subKey_(subKey), name_(name) {
  Save();
  HKEY key;
  if (RegCreateKeyA(root_, subKey_.c_str(), &key) == ERROR_SUCCESS) {
    RegSetValueExA(key, name_.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
    RegCloseKey(key);
  }
}

void ScopedRegValue::Save() {
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
}

ScopedWineVersion::ScopedWineVersion(const char* version)
    : value_(HKEY_CURRENT_USER, "Software\\Wine", "Version", version) {}

void PressKeys(const std::vector<WORD>& downInOrder) {
  std::vector<INPUT> input;
  for (WORD key : downInOrder) {
    INPUT one;
    ZeroMemory(&one, sizeof one);
    one.type = INPUT_KEYBOARD;
    one.ki.wVk = key;
    input.push_back(one);
  }
  for (size_t i = downInOrder.size(); i-- > 0;) {
    INPUT one = input[i];
    one.ki.dwFlags = KEYEVENTF_KEYUP;
    input.push_back(one);
  }
  SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

namespace {
struct FindRequest {
  DWORD pid;
  const char* className;
  const char* title;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) {
  FindRequest* request = reinterpret_cast<FindRequest*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (request->pid && pid != request->pid) return TRUE;
  char text[256];
  if (request->className) {
    GetClassNameA(window, text, sizeof text);
    if (lstrcmpA(text, request->className) != 0) return TRUE;
  }
  if (request->title) {
    GetWindowTextA(window, text, sizeof text);
    if (lstrcmpA(text, request->title) != 0) return TRUE;
  }
  request->found = window;
  return FALSE;
}
}  // namespace

HWND FindProcessWindow(DWORD pid, const char* className, const char* title) {
  FindRequest request{pid, className, title, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&request));
  return request.found;
}

}  // namespace harness

// Helpers for the Wine tests: the built programs, child processes, registry values and waits.
// Every wait is for a condition (a window, an exit, a value) with a time limit, never a fixed sleep.
#ifndef NVR_TESTS_WINE_HARNESS_H
#define NVR_TESTS_WINE_HARNESS_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace harness {

// Folder of the test program; the deliverables, doubles and tools are built beside it.
std::string BinDir();
std::string BinPath(const char* file);

// Waits up to timeoutMs for predicate() to hold, pumping this thread's messages meanwhile.
bool WaitUntil(const std::function<bool()>& predicate, DWORD timeoutMs);

// A child process, ended and closed when the record goes out of scope.
struct Child {
  PROCESS_INFORMATION info{};
  bool started = false;
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child();
  // Waits for the exit; false on time-out. The exit code goes to *code.
  bool WaitExit(DWORD timeoutMs, DWORD* code);
  bool Running() const;
  DWORD Pid() const { return info.dwProcessId; }
};

// Starts commandLine (whole, the program name first) in directory (or the current one).
bool Start(Child& child, const std::string& commandLine, const char* directory = nullptr);

// Runs commandLine to its end; returns its exit code, or 0xDEADBEEF on time-out or start failure.
DWORD Run(const std::string& commandLine, DWORD timeoutMs = 20000);

// Sets a registry value for the life of the record, then restores what was there (or removes it).
class ScopedRegValue {
 public:
  ScopedRegValue(HKEY root, const char* subKey, const char* name, const char* text);
  ScopedRegValue(HKEY root, const char* subKey, const char* name, DWORD number);
  ScopedRegValue(const ScopedRegValue&) = delete;
  ScopedRegValue& operator=(const ScopedRegValue&) = delete;
  ~ScopedRegValue();

 private:
  void Save();
  HKEY root_;
  std::string subKey_, name_;
  bool hadValue_ = false;
  DWORD oldType_ = 0;
  std::string oldData_;
};

// Windows version that Wine reports to processes started while the record lives.
class ScopedWineVersion {
 public:
  explicit ScopedWineVersion(const char* version);
 private:
  ScopedRegValue value_;
};

// Presses keys through the system's input, in order, then releases them in reverse order.
void PressKeys(const std::vector<WORD>& downInOrder);
inline void PressKey(WORD virtualKey) { PressKeys({virtualKey}); }

// Top-level window of the given class and title (either may be null) owned by process pid
// (0: any process); null when none.
HWND FindProcessWindow(DWORD pid, const char* className, const char* title);

}  // namespace harness

#endif

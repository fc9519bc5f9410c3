// Helpers for the command-line tests: environment for children, folders holding a copy of the
// saver, plain windows to serve as parent and owner, and starts with a verbatim command line.
#ifndef NVR_TESTS_WINE_COMMAND_LINE_SUPPORT_H
#define NVR_TESTS_WINE_COMMAND_LINE_SUPPORT_H

#include <windows.h>

#include <string>

#include "harness.h"

namespace cmdline {

// An environment variable of this process, inherited by the children started while the record
// lives; restored (or removed) afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_, old_;
  bool had_ = false;
};

// A load-order override of the platform for the DLL named dll in every process whose program
// file is named program ("native", or "" to make the DLL unloadable), for the life of the
// record. The environment's overrides do not reach the children of a Windows process.
class ScopedDllOverride {
 public:
  ScopedDllOverride(const char* program, const char* dll, const char* order);
  ~ScopedDllOverride();
  ScopedDllOverride(const ScopedDllOverride&) = delete;
  ScopedDllOverride& operator=(const ScopedDllOverride&) = delete;

 private:
  std::string appKey_, overridesKey_;
  bool madeAppKey_ = false, madeOverridesKey_ = false;
  harness::ScopedRegValue* value_ = nullptr;
};

// A folder of the given name in the temporary folder, emptied and removed with the record.
class TempFolder {
 public:
  explicit TempFolder(const char* name);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const char* name) const { return path_ + "\\" + name; }
  // Copies from into the folder as name; false when the copy fails.
  bool Copy(const std::string& from, const char* name) const;

 private:
  std::string path_;
};

// A visible top-level window of this process with the given client size, destroyed with the
// record unless the test destroyed it first.
class TestWindow {
 public:
  TestWindow(const char* title, int clientWidth, int clientHeight);
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  HWND Handle() const { return window_; }
  // The handle as the command line writes it: unsigned decimal.
  std::string Number() const;

 private:
  HWND window_;
};

std::string Quoted(const std::string& text);

// Starts application with commandLine exactly as given (the program name need not parse).
bool StartProgram(harness::Child& child, const std::string& application,
                  const std::string& commandLine);

// Waits for the child's exit, pumping messages; its exit code, or 0xDEADBEEF on time-out.
DWORD ExitCodeOf(harness::Child& child, DWORD timeoutMs = 20000);

// The preview window of process pid inside parent; null when none (yet).
HWND FindPreviewWindow(HWND parent, DWORD pid);

}  // namespace cmdline

#endif

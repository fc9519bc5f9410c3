// Helpers for the tests of the application bridge: the stand-in application, its log, and
// the win.ini entry that names the application.
#ifndef NVR_TESTS_WINE_BRIDGE_SUPPORT_H
#define NVR_TESTS_WINE_BRIDGE_SUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

#include "harness.h"

namespace bridge {

// A fresh, empty file name in the temporary folder; the file is removed with the record.
struct TempFile {
  std::string path;
  explicit TempFile(const char* prefix);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
};

// The lines of a stand-in log (empty when there is none yet).
std::vector<std::string> ReadLines(const std::string& path);
// The lines that begin with prefix.
std::vector<std::string> LinesStartingWith(const std::string& path, const char* prefix);
// Waits until the log holds at least count lines beginning with prefix.
bool WaitForLines(const std::string& path, const char* prefix, size_t count, DWORD timeoutMs);

// The command line that starts the stand-in with its log at logPath and the given options.
std::string StandInCommand(const std::string& logPath, const std::string& options = "");

// Starts the stand-in and waits for its window; null window on failure.
HWND StartStandIn(harness::Child& child, const std::string& logPath,
                  const std::string& options = "", DWORD timeoutMs = 10000);

// win.ini [NVR] Exe for the life of the record; removed (or restored) afterwards.
class ScopedAppPath {
 public:
  explicit ScopedAppPath(const std::string& commandLine);
  ~ScopedAppPath();
  ScopedAppPath(const ScopedAppPath&) = delete;
  ScopedAppPath& operator=(const ScopedAppPath&) = delete;

 private:
  bool had_ = false;
  std::string old_;
};

// The number of "QuibWhoAmI".
UINT WhoAmIMessage();

// The saver's full-screen window of process pid, or null.
HWND FindSaverWindow(DWORD pid);

// Starts the saver in full-screen mode.
bool StartSaver(harness::Child& child, const char* mode = "/s");


// Hex text of a window handle as the stand-in writes it.
std::string Hex(UINT_PTR value);

// Waits for the saver process to show its full-screen window; null on time-out.
HWND WaitForSaverWindow(harness::Child& saver, DWORD timeoutMs = 10000);

// Ends every stand-in the test did not start itself (one the saver launched), by its window.
void EndLaunchedStandIns();

// A window of the test process whose thread stops pumping until the record goes.
class HungWindow {
 public:
  HungWindow();
  ~HungWindow();
  HWND window() const { return window_; }
  HungWindow(const HungWindow&) = delete;
  HungWindow& operator=(const HungWindow&) = delete;

 private:
  static DWORD WINAPI Thread(void* self);
  HANDLE release_ = nullptr;
  HANDLE ready_ = nullptr;
  HANDLE thread_ = nullptr;
  HWND window_ = nullptr;
};

}  // namespace bridge

#endif

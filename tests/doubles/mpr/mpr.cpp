// Stand-in for the system's module that changes passwords, loaded by the saver from its own
// folder (the test starts the saver with the native module preferred). Steered through the
// saver's environment:
//   NVR_MPR_LOG    file that receives one line per call: "CHANGE <name> <owner> <p1> <p2>",
//                  the owner window as a decimal number
//   NVR_MPR_FAULT  when set: the call switches the screen-saver-running state on, so that
//                  switching it off can be seen, and then writes through a null pointer
#include <windows.h>

#include <cstdio>

namespace {

DWORD Environment(const char* name, char* value, DWORD size) {
  DWORD n = GetEnvironmentVariableA(name, value, size);
  return n < size ? n : 0;  // absent, or too long to be ours
}

void Log(const char* line) {
  char path[MAX_PATH];
  if (!Environment("NVR_MPR_LOG", path, sizeof path)) return;
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, lstrlenA(line), &written, nullptr);
  WriteFile(file, "\r\n", 2, &written, nullptr);
  CloseHandle(file);
}

}  // namespace

extern "C" DWORD WINAPI PwdChangePasswordA(LPCSTR name, HWND owner, DWORD first, DWORD second) {
  char line[300];
  snprintf(line, sizeof line, "CHANGE %.200s %lu %lu %lu", name ? name : "(null)",
           static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(owner)),
           static_cast<unsigned long>(first), static_cast<unsigned long>(second));
  Log(line);
  char fault[8];
  if (Environment("NVR_MPR_FAULT", fault, sizeof fault)) {
    UINT previous = 0;
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, 1, &previous, 0);
    *static_cast<volatile int*>(nullptr) = 1;
  }
  return 0;
}

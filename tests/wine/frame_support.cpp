#include "frame_support.h"

#include <cstdio>

namespace frame {

const char SAVER_CLASS[] = "WindowsScreenSaverClass";

namespace {

std::string UniqueName(const char* what) {
  static LONG counter = 0;
  char name[96];
  snprintf(name, sizeof name, "nvr-%s-%lu-%ld", what, GetCurrentProcessId(),
           InterlockedIncrement(&counter));
  return name;
}

HANDLE MakeEvent(const std::string& name) { return CreateEventA(nullptr, FALSE, FALSE, name.c_str()); }

}  // namespace

SaverFolder::SaverFolder(bool withPasswordModule) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  dir = std::string(temp) + UniqueName("saver");
  CreateDirectoryA(dir.c_str(), nullptr);
  saver = dir + "\\nvrss32.scr";
  CopyFileA(harness::BinPath("nvrss32.scr").c_str(), saver.c_str(), FALSE);
  if (withPasswordModule)
    CopyFileA(harness::BinPath("PASSWORD.CPL").c_str(), (dir + "\\PASSWORD.CPL").c_str(), FALSE);
}

SaverFolder::~SaverFolder() {
  DeleteFileA(saver.c_str());
  DeleteFileA((dir + "\\PASSWORD.CPL").c_str());
  RemoveDirectoryA(dir.c_str());
}

PasswordSwitch::PasswordSwitch(DWORD on)
    : value(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveUsePassword", on) {}

PasswordModule::PasswordModule() : log_("frp") {
  std::string prefix = UniqueName("prompt");
  started_ = MakeEvent(prefix + "-started");
  accept_ = MakeEvent(prefix + "-accept");
  refuse_ = MakeEvent(prefix + "-refuse");
  SetEnvironmentVariableA("NVR_PASSWORD_LOG", log_.path.c_str());
  SetEnvironmentVariableA("NVR_PASSWORD_EVENTS", prefix.c_str());
}

PasswordModule::~PasswordModule() {
  SetEnvironmentVariableA("NVR_PASSWORD_LOG", nullptr);
  SetEnvironmentVariableA("NVR_PASSWORD_EVENTS", nullptr);
  CloseHandle(started_);
  CloseHandle(accept_);
  CloseHandle(refuse_);
}

bool PasswordModule::WaitPrompt(DWORD timeoutMs) {
  return harness::WaitUntil([&] { return WaitForSingleObject(started_, 0) == WAIT_OBJECT_0; },
                            timeoutMs);
}

void PasswordModule::Accept() { SetEvent(accept_); }
void PasswordModule::Refuse() { SetEvent(refuse_); }

bool PasswordModule::WaitAnswers(size_t count, DWORD timeoutMs) {
  return bridge::WaitForLines(log_.path, "ANSWER", count, timeoutMs);
}

std::vector<std::string> PasswordModule::Lines(const char* prefix) const {
  return bridge::LinesStartingWith(log_.path, prefix);
}

bool PasswordModule::PumpedDuringPrompt(size_t prompt, UINT message) const {
  char wanted[32];
  snprintf(wanted, sizeof wanted, "PUMPED %x", message);
  size_t prompts = 0;
  for (const std::string& line : bridge::ReadLines(log_.path)) {
    if (line.compare(0, 6, "PROMPT") == 0) ++prompts;
    if (prompts == prompt && line == wanted) return true;
  }
  return false;
}

DWORD RunningState() {
  return harness::Run("\"" + harness::BinPath("running_probe.exe") + "\"");
}

RunningStateReset::~RunningStateReset() {
  UINT previous = 0;
  SystemParametersInfoA(SPI_SCREENSAVERRUNNING, 0, &previous, 0);
}

bool FullScreen::Start(const std::string& saverPath) {
  if (!bridge::StartStandIn(app, appLog.path)) return false;
  if (!harness::Start(saver, "\"" + saverPath + "\" /s")) return false;
  return harness::WaitUntil(
      [&] {
        window = harness::FindProcessWindow(saver.Pid(), SAVER_CLASS, nullptr);
        return window && HasKeyboard(window);
      },
      15000);
}

bool HasKeyboard(HWND window) {
  GUITHREADINFO info;
  info.cbSize = sizeof info;
  return GetForegroundWindow() == window &&
         GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
         info.hwndFocus == window;
}

DWORD FullScreen::Exit(DWORD timeoutMs) {
  DWORD code = 0xDEADBEEF;
  if (!saver.WaitExit(timeoutMs, &code)) return 0xDEADBEEF;
  return code;
}

bool MoveCursor(int x, int y) {
  SetCursorPos(x, y);
  return harness::WaitUntil(
      [&] {
        POINT at;
        return GetCursorPos(&at) && at.x == x && at.y == y;
      },
      5000);
}

void Click(DWORD downFlag, DWORD upFlag) {
  INPUT input[2];
  ZeroMemory(input, sizeof input);
  input[0].type = INPUT_MOUSE;
  input[0].mi.dwFlags = downFlag;
  input[1] = input[0];
  input[1].mi.dwFlags = upFlag;
  SendInput(2, input, sizeof(INPUT));
}

bool CursorShowing() {
  CURSORINFO info;
  info.cbSize = sizeof info;
  if (!GetCursorInfo(&info)) return true;
  return (info.flags & CURSOR_SHOWING) && info.hCursor;
}

bool WaitGone(HWND window, DWORD timeoutMs) {
  return harness::WaitUntil([&] { return !IsWindow(window); }, timeoutMs);
}

void WaitTicks(DWORD since, DWORD ms) {
  // The saver's retry interval runs on the same system clock.
  harness::WaitUntil([&] { return GetTickCount() - since >= ms; }, ms + 1000);
}

}  // namespace frame

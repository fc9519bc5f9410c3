// The harness: the stand-in main application, the screen saver and its password-module double.
#include "harness.h"

#include <cstdio>

#include "common/link_protocol.h"

namespace harness {

UINT WhoAmIMessage() { return RegisterWindowMessageA(QUIB_WHOAMI_NAME); }

std::string StandInCommand(const std::string& logPath, const std::string& options,
                           const std::string& program) {
  std::string line = Quoted(program);
  if (!logPath.empty()) line += " --log " + Quoted(logPath);
  if (!options.empty()) line += " " + options;
  return line;
}

HWND StartStandIn(Child& child, const std::string& logPath, const std::string& options,
                  const std::string& program) {
  if (!Start(child, StandInCommand(logPath, options, program))) return nullptr;
  return WaitForProcessWindow(child, "NvrStandIn", nullptr);
}

namespace {
BOOL CALLBACK EndStandIn(HWND window, LPARAM) {
  char name[64];
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpA(name, "NvrStandIn") != 0) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  EndProcess(pid);
  return TRUE;
}
}  // namespace

void EndLaunchedStandIns() { EnumWindows(EndStandIn, 0); }

namespace {
BOOL CALLBACK MatchApplication(HWND window, LPARAM found) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(window, WhoAmIMessage(), WHOAMI_APP, 0, SMTO_ABORTIFHUNG, 1000, &answer) ||
      answer != WHOAMI_APP)
    return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}
}  // namespace

HWND FindApplication() {
  HWND found = nullptr;
  EnumChildWindows(GetDesktopWindow(), MatchApplication, reinterpret_cast<LPARAM>(&found));
  return found;
}

void EndApplication() {
  HWND window = FindApplication();
  DWORD pid = 0;
  if (window) GetWindowThreadProcessId(window, &pid);
  if (pid) EndProcess(pid);
}

const char SAVER_CLASS[] = "WindowsScreenSaverClass";

std::string SaverPath() { return BinPath("nvrss32.scr"); }

bool StartSaver(Child& child, const std::string& tail, const std::string& saver) {
  return Start(child, Quoted(saver) + " " + tail);
}

HWND WaitForSaverWindow(const Child& saver, DWORD timeoutMs) {
  return WaitForProcessWindow(saver, SAVER_CLASS, nullptr, timeoutMs);
}

DWORD RunningState() {
  DWORD state = Run(Quoted(BinPath("running_probe.exe")));
  EXPECT_TRUE(state == 0 || state == 1)
      << "the system did not say whether a screen saver runs: probe exit 0x" << std::hex << state;
  return state;
}

RunningStateReset::~RunningStateReset() {
  UINT previous = 0;
  SystemParametersInfoA(SPI_SCREENSAVERRUNNING, 0, &previous, 0);
}

PasswordSwitch::PasswordSwitch(DWORD on)
    : value(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveUsePassword", on) {}

SaverFolder::SaverFolder(bool withPasswordModule) {
  EXPECT_TRUE(folder.Copy(SaverPath(), "nvrss32.scr"));
  if (withPasswordModule) {
    EXPECT_TRUE(folder.Copy(BinPath("PASSWORD.CPL"), "PASSWORD.CPL"));
  }
}

namespace {
std::string UniqueName(const char* what) {
  static LONG counter = 0;
  char name[96];
  snprintf(name, sizeof name, "nvr-%s-%lu-%ld", what, GetCurrentProcessId(),
           InterlockedIncrement(&counter));
  return name;
}

HANDLE MakeEvent(const std::string& name) {
  return CreateEventA(nullptr, FALSE, FALSE, name.c_str());
}
}  // namespace

PasswordModule::PasswordModule()
    : log_("npw"),
      prefix_(UniqueName("prompt")),
      started_(MakeEvent(prefix_ + "-started")),
      accept_(MakeEvent(prefix_ + "-accept")),
      refuse_(MakeEvent(prefix_ + "-refuse")),
      logEnv_("NVR_PASSWORD_LOG", log_.path),
      eventsEnv_("NVR_PASSWORD_EVENTS", prefix_) {}

PasswordModule::~PasswordModule() {
  CloseHandle(started_);
  CloseHandle(accept_);
  CloseHandle(refuse_);
}

testing::AssertionResult PasswordModule::WaitPrompt(DWORD timeoutMs) {
  if (WaitUntil([&] { return WaitForSingleObject(started_, 0) == WAIT_OBJECT_0; }, timeoutMs))
    return testing::AssertionSuccess();
  testing::AssertionResult failure = testing::AssertionFailure();
  failure << "no password prompt began within " << timeoutMs << " ms; the module logged";
  for (const std::string& line : ReadLines(log_.path)) failure << "\n  " << line;
  return failure;
}

void PasswordModule::Accept() { SetEvent(accept_); }
void PasswordModule::Refuse() { SetEvent(refuse_); }

testing::AssertionResult PasswordModule::WaitAnswers(size_t count, DWORD timeoutMs) {
  return WaitForLines(log_.path, "ANSWER", count, timeoutMs);
}

std::vector<std::string> PasswordModule::Lines(const char* prefix) const {
  return LinesStartingWith(log_.path, prefix);
}

bool PasswordModule::PumpedDuringPrompt(size_t prompt, UINT message) const {
  char wanted[32];
  snprintf(wanted, sizeof wanted, "PUMPED %x", message);
  size_t prompts = 0;
  for (const std::string& line : ReadLines(log_.path)) {
    if (line.compare(0, 6, "PROMPT") == 0) ++prompts;
    if (prompts == prompt && line == wanted) return true;
  }
  return false;
}

testing::AssertionResult FullScreen::Start(const std::string& saverPath,
                                           const std::string& appOptions) {
  if (!StartStandIn(app, appLog.path, appOptions))
    return testing::AssertionFailure() << "the stand-in application showed no window";
  if (!StartSaver(saver, "/s", saverPath))
    return testing::AssertionFailure() << "the saver did not start: " << saverPath;
  if (WaitUntil(
          [&] {
            window = FindProcessWindow(saver.Pid(), SAVER_CLASS, nullptr);
            return window && HasKeyboard(window);
          },
          15000))
    return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << (window ? "the saver window never had the keyboard" : "no saver window")
         << "; running " << saver.Running() << ", foreground " << GetForegroundWindow();
}

testing::AssertionResult SaverBed::Start(int x, int y) {
  if (!MoveCursor(x, y)) {
    POINT at = {0, 0};
    GetCursorPos(&at);
    return testing::AssertionFailure() << "the cursor did not move to " << x << "," << y
                                       << ": it is at " << at.x << "," << at.y;
  }
  return run.Start(folder.saver);
}

testing::AssertionResult SaverBed::RefuseAndSettle() {
  module.Refuse();
  testing::AssertionResult answered = module.WaitAnswers(++answers);
  if (answered) WaitTicks(GetTickCount(), 300);
  return answered;
}

bool SaverBed::CloseRequestedBeforeKey() {
  PressKey('B');
  EXPECT_TRUE(module.WaitPrompt()) << "the barrier key made no close request";
  // The key's release is queued behind its press: once the prompt dispatched the release, a
  // press that waited behind an earlier request was dispatched too.
  size_t prompt = answers + 1;
  EXPECT_TRUE(WaitUntil([&] { return module.PumpedDuringPrompt(prompt, WM_KEYUP); }, 5000))
      << "the prompt never dispatched the barrier key's release";
  bool before = module.PumpedDuringPrompt(prompt, WM_KEYDOWN);
  module.Accept();
  EXPECT_EQ(0u, run.Exit());
  return before;
}

}  // namespace harness

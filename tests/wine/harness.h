// The one harness of the Wine tests and benchmarks: the built programs and the doubles, child
// processes, files and logs, scoped settings, windows, input and the screen, and the record of
// known platform deviations. Every wait is for a condition with a time limit, never a fixed
// sleep, and a wait that a test asserts on says what it waited for and what it saw.
#ifndef NVR_TESTS_WINE_HARNESS_H
#define NVR_TESTS_WINE_HARNESS_H

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace harness {

// ---- Known platform deviations ----------------------------------------------------------------
// Marks, where a test works around it, a way in which the platform differs from the system the
// programs are written for. Prints "known platform deviation: <what>", records it as a property
// of the test, and appends it to the file named by NVR_DEVIATION_LOG (a Unix or Windows path)
// so that tools/run-tests can count the deviations of the whole run.
void KnownDeviation(const std::string& what, const char* file, int line);
#define KNOWN_DEVIATION(what) ::harness::KnownDeviation((what), __FILE__, __LINE__)

// ---- Programs and processes -------------------------------------------------------------------
// Folder of the running program; the deliverables, doubles and tools are built beside it.
std::string BinDir();
std::string BinPath(const char* file);
std::string Quoted(const std::string& text);
// A handle as command lines write it (unsigned decimal) and as the doubles log it (hex).
std::string Number(HWND window);
std::string Hex(UINT_PTR value);
inline std::string Hex(HWND window) { return Hex(reinterpret_cast<UINT_PTR>(window)); }

// Waits up to timeoutMs for predicate() to hold, pumping this thread's messages meanwhile.
bool WaitUntil(const std::function<bool()>& predicate, DWORD timeoutMs);

// The exit code helpers give this when the process did not start or did not end in time.
const DWORD NO_EXIT = 0xDEADBEEF;

// A child process, ended and closed when the record goes out of scope.
struct Child {
  PROCESS_INFORMATION info{};
  bool started = false;
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child();
  // Waits for the exit without pumping; false on time-out. The exit code goes to *code.
  bool WaitExit(DWORD timeoutMs, DWORD* code);
  bool Running() const;
  DWORD Pid() const { return info.dwProcessId; }
};

// Starts commandLine (whole, the program name first) in directory (or the current one).
bool Start(Child& child, const std::string& commandLine, const char* directory = nullptr);
// Starts the program file application with commandLine exactly as given (its first word need
// not name the program, or even parse).
bool StartProgram(Child& child, const std::string& application, const std::string& commandLine);
// Waits for the child's exit, pumping messages (a child's window owned by one of ours sends to
// it and waits): its exit code, or NO_EXIT.
DWORD ExitCode(Child& child, DWORD timeoutMs = 10000);
// Runs commandLine to its end: its exit code, or NO_EXIT.
DWORD Run(const std::string& commandLine, DWORD timeoutMs = 20000);

// Top-level window of the given class and title (either may be null) owned by process pid
// (0: any process); null when none.
HWND FindProcessWindow(DWORD pid, const char* className, const char* title);
// The same, waited for; null on time-out.
HWND WaitForProcessWindow(const Child& child, const char* className, const char* title,
                          DWORD timeoutMs = 10000);
// A child window of parent of the given class (null: any) owned by process pid; null when none.
HWND FindChildWindow(HWND parent, DWORD pid, const char* className);
// The processes whose parent is pid, alive now.
std::vector<DWORD> ProcessesStartedBy(DWORD pid);
// Ends process pid and waits for its end.
void EndProcess(DWORD pid);

// ---- Files and logs ---------------------------------------------------------------------------
// A fresh, empty file in the temporary folder; removed with the record.
struct TempFile {
  std::string path;
  explicit TempFile(const char* prefix = "nvr");
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
};

// A fresh folder in the temporary folder, its name made unique from hint (which may hold
// spaces); removed with everything in it when the record goes.
class TempFolder {
 public:
  explicit TempFolder(const char* hint = "nvr");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }
  // Copies from into the folder as name (a relative path whose folders exist); false on failure.
  bool Copy(const std::string& from, const std::string& name) const;
  bool Write(const std::string& name, const std::vector<unsigned char>& bytes) const;
  bool Write(const std::string& name, const std::string& text) const;
  bool MakeFolder(const std::string& name) const;

 private:
  std::string path_;
};

// Removes the folder dir with everything in it.
void RemoveTree(const std::string& dir);

// The whole file; empty when it cannot be read. Other writers may hold it open.
std::vector<unsigned char> ReadWholeFile(const std::string& path);
std::string ReadText(const std::string& path, bool* exists = nullptr);
bool WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes);

// The complete lines of a log (a line still being written is left out).
std::vector<std::string> ReadLines(const std::string& path);
// The lines that begin with prefix.
std::vector<std::string> LinesStartingWith(const std::string& path, const char* prefix);
// Waits until the log holds at least count lines beginning with prefix; a failure names the
// prefix, the count, and the lines the log held.
testing::AssertionResult WaitForLines(const std::string& path, const char* prefix, size_t count,
                                      DWORD timeoutMs = 10000);
// Waits until some line of the log is exactly line.
testing::AssertionResult WaitForLine(const std::string& path, const std::string& line,
                                     DWORD timeoutMs = 5000);
// Waits until some line begins with prefix and contains part.
testing::AssertionResult WaitForLineWith(const std::string& path, const char* prefix,
                                         const std::string& part, DWORD timeoutMs = 5000);
// Lines that begin with prefix and contain part.
size_t CountLinesWith(const std::string& path, const char* prefix, const std::string& part);

// ---- Scoped settings (each puts back what was there, or removes what it made) ------------------
class ScopedRegValue {
 public:
  ScopedRegValue(HKEY root, const char* subKey, const char* name, const char* text);
  ScopedRegValue(HKEY root, const char* subKey, const char* name, DWORD number);
  ScopedRegValue(const ScopedRegValue&) = delete;
  ScopedRegValue& operator=(const ScopedRegValue&) = delete;
  ~ScopedRegValue();

 private:
  void Save();
  void Set(DWORD type, const void* data, DWORD size);
  HKEY root_;
  std::string subKey_, name_;
  std::vector<std::string> madeKeys_;
  bool hadValue_ = false;
  DWORD oldType_ = 0;
  std::string oldData_;
};

// Windows version that Wine reports to processes started while the record lives ("win95",
// "win98", "nt351", "nt40", "win7").
class ScopedWineVersion {
 public:
  explicit ScopedWineVersion(const char* version);
 private:
  ScopedRegValue value_;
};

// A load order of the platform for the DLL named dll in every process whose program file is
// named program ("native", or "" to make the DLL unloadable). The environment's overrides do
// not reach the children of a Windows process; this does.
class ScopedDllOverride {
 public:
  ScopedDllOverride(const char* program, const char* dll, const char* order);
 private:
  ScopedRegValue value_;
};

// A win.ini value (section, key); null value removes it for the life of the record. The profile
// functions drop a pair of quotes that encloses the whole value; a value that begins and ends
// with a quote is written inside one more pair, so that readers get it as given.
class ScopedWinIni {
 public:
  ScopedWinIni(const char* section, const char* key, const char* value);
  ~ScopedWinIni();
  ScopedWinIni(const ScopedWinIni&) = delete;
  ScopedWinIni& operator=(const ScopedWinIni&) = delete;

 private:
  std::string section_, key_, old_;
  bool had_ = false;
};

// The main application's path in win.ini: section "NVR", key "Exe".
class ScopedAppPath : public ScopedWinIni {
 public:
  explicit ScopedAppPath(const std::string& commandLine)
      : ScopedWinIni("NVR", "Exe", commandLine.c_str()) {}
};

// A file in the Windows folder (win.ini, system.ini, control.ini).
std::string WindowsPath(const char* file);
// The profile functions may keep a file's contents in memory; this makes them read it afresh.
void ForgetCachedProfile(const char* file);

// One key and value of the saver's settings in control.ini.
struct Setting {
  const char* key;
  const char* value;
};

// control.ini as the test wants it for the life of the record: absent, or holding the given
// settings in the section with the empty name, written by the platform's own profile functions
// so that they take its own form of that section. What was there before is put back afterwards.
class ScopedControlIni {
 public:
  explicit ScopedControlIni(const std::vector<Setting>& settings);
  ~ScopedControlIni();
  ScopedControlIni(const ScopedControlIni&) = delete;
  ScopedControlIni& operator=(const ScopedControlIni&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  bool existed_ = false;
  std::string old_;
};

// An environment variable of this process, inherited by the children started meanwhile.
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

// ---- Windows, input and the screen -------------------------------------------------------------
// A top-level window of this process, destroyed with the record unless the test destroyed it
// first. With a procedure, messages go to it; otherwise to DefWindowProcA. Its client area is
// white. A visible window with the given client size at (x, y) by default.
class TestWindow {
 public:
  TestWindow(const char* title, int clientWidth, int clientHeight,
             DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE, WNDPROC procedure = nullptr,
             int x = 100, int y = 100);
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  HWND Handle() const { return window_; }
  std::string Number() const { return harness::Number(window_); }

 private:
  HWND window_;
};

// Brings window forward and waits until it is the foreground window.
bool MakeForeground(HWND window);
// Whether the window is in front and its thread gives it the keyboard focus.
bool HasKeyboard(HWND window);
// Brings another process's window forward, as the shell would, until its thread has it active.
// Without a window manager Wine can lose an activation (see the callers); when the window was
// not active already, that is marked as a known deviation with why.
bool GiveKeyboard(HWND window, const char* why);

// Presses keys through the system's input, in order, then releases them in reverse order.
void PressKeys(const std::vector<WORD>& downInOrder);
inline void PressKey(WORD virtualKey) { PressKeys({virtualKey}); }
// Sends one key release (no press) through the system's input.
void ReleaseKey(WORD virtualKey);
// Sends mouse button flags through the system's input, one event each, in order.
void Click(DWORD downFlag, DWORD upFlag);
// Moves the cursor and waits until the system reports it there.
bool MoveCursor(int x, int y);
// The cursor the system shows (null when hidden) in *cursor; false when the system does not say.
bool GetShownCursor(HCURSOR* cursor);
// Waits until the tick count is at least ms past since.
void WaitTicks(DWORD since, DWORD ms);

// The monitor that is not the primary one on the two-monitor bed (label "monitors"); a test run
// elsewhere fails here, saying so. The virtual screen, every monitor together, as a rectangle.
testing::AssertionResult SecondMonitor(RECT* monitor);
RECT VirtualScreen();
std::string Show(const RECT& rect);

// Pixels as 8-bit R, G, B, top row first (the layout ImageMagick's rgb: writes).
typedef std::vector<unsigned char> Rgb;
// The bitmap's pixels; empty when GetDIBits fails.
Rgb BitmapRgb(HBITMAP bitmap, int width, int height);
// What the screen shows in the rectangle at (x, y) (GetDC(NULL) + BitBlt).
Rgb ScreenRgb(int x, int y, int width, int height);
// One colour over the whole rectangle.
Rgb SolidRgb(int width, int height, COLORREF colour);
bool AllBlack(const Rgb& rgb);
// Index of the first pixel where two buffers differ, or -1 when they are equal.
long FirstDifference(const Rgb& a, const Rgb& b);
// A 24-bit bitmap file (file header, 40-byte header, bottom-up rows) of a test pattern, and its
// pixels.
std::vector<unsigned char> PatternBitmapFile(int width, int height);
Rgb PatternPixels(int width, int height);

// ---- The stand-in main application -------------------------------------------------------------
// The number of "QuibWhoAmI".
UINT WhoAmIMessage();
// The command line that starts the stand-in with its log at logPath (none when empty).
std::string StandInCommand(const std::string& logPath, const std::string& options = "",
                           const std::string& program = BinPath("nvr_standin.exe"));
// Starts the stand-in and waits for its window; null on failure.
HWND StartStandIn(Child& child, const std::string& logPath, const std::string& options = "",
                  const std::string& program = BinPath("nvr_standin.exe"));
// Ends every stand-in that the test did not start itself (one that a deliverable launched).
void EndLaunchedStandIns();
// The window that answers "QuibWhoAmI" code 2 as the application, child windows included, or null.
HWND FindApplication();
// Ends the process of the application window found by FindApplication, if any.
void EndApplication();

// ---- The browser-like host ---------------------------------------------------------------------
// What BrowserHost::Do gives when the host did not answer.
const LRESULT NO_REPLY = -9999;

// The browser-like host (tests/doubles/browser_host) with NPNVR.DLL loaded, steered by commands;
// ended with the record. Under a debugging parent when asked, whose trace Trace() reads.
class BrowserHost {
 public:
  explicit BrowserHost(bool underDebugger = false);
  ~BrowserHost();
  BrowserHost(const BrowserHost&) = delete;
  BrowserHost& operator=(const BrowserHost&) = delete;

  HWND page() const { return page_; }
  // Carries out one command in the host; its result, or NO_REPLY when the host did not answer.
  LRESULT Do(const std::string& command);
  // Ready instances 0 to instances - 1: the whole plug-in table and the browser's table, as large
  // as this build's layout makes them, exchanged; then the instances made.
  void Ready(int instances);
  // Instance id's plug-in window, made at x, y of the page (the page fills the screen's corner).
  // Waits for the browser's first paint of it, so that no paint of a new window comes later.
  HWND Window(int id, int x, int y, int width, int height);
  std::vector<std::string> Lines(const char* prefix) const;
  std::vector<std::string> Trace() const;
  bool Ended(DWORD timeoutMs) { return child_.WaitExit(timeoutMs, nullptr); }

 private:
  TempFile log_, trace_;
  Child child_;
  HWND page_ = nullptr;
};

// ---- The screen saver -------------------------------------------------------------------------
extern const char SAVER_CLASS[];
std::string SaverPath();
// Starts the saver (this build's, or the copy at saver) with the command tail.
bool StartSaver(Child& child, const std::string& tail = "/s", const std::string& saver = SaverPath());
// The saver's full-screen window, waited for; null on time-out.
HWND WaitForSaverWindow(const Child& saver, DWORD timeoutMs = 10000);

// The system's screen-saver-running state as a fresh process reads it: 0 or 1; a system that
// does not answer fails the test.
DWORD RunningState();
// Switches the running state off when the test ends, also when it fails midway.
struct RunningStateReset {
  ~RunningStateReset();
};

// "ScreenSaveUsePassword" for the life of the record.
struct PasswordSwitch {
  ScopedRegValue value;
  explicit PasswordSwitch(DWORD on);
};

// A temporary folder with a copy of the saver and, when asked, the password-module double,
// which the saver then finds first.
struct SaverFolder {
  TempFolder folder{"nvr saver"};
  std::string saver = folder.File("nvrss32.scr");
  explicit SaverFolder(bool withPasswordModule);
};

// The password-module double's controls, handed to the saver processes started while the
// record lives: its log, and events that hold each prompt open until the test answers it.
class PasswordModule {
 public:
  PasswordModule();
  ~PasswordModule();
  PasswordModule(const PasswordModule&) = delete;
  PasswordModule& operator=(const PasswordModule&) = delete;

  testing::AssertionResult WaitPrompt(DWORD timeoutMs = 10000);  // a prompt has started
  void Accept();
  void Refuse();
  // Waits for the count-th ANSWER line: the prompt has returned to the saver.
  testing::AssertionResult WaitAnswers(size_t count, DWORD timeoutMs = 10000);
  std::vector<std::string> Lines(const char* prefix) const;
  // Whether a PUMPED line for message was logged after the prompt-th PROMPT line.
  bool PumpedDuringPrompt(size_t prompt, UINT message) const;
  const std::string& LogPath() const { return log_.path; }

 private:
  TempFile log_;
  std::string prefix_;
  HANDLE started_, accept_, refuse_;
  ScopedEnv logEnv_, eventsEnv_;
};

// The stand-in application, then a full-screen saver in front of it.
struct FullScreen {
  TempFile appLog{"nfs"};
  Child app, saver;
  HWND window = nullptr;
  // Starts both and waits until the saver window is in front with the keyboard.
  testing::AssertionResult Start(const std::string& saverPath = SaverPath(),
                                 const std::string& appOptions = "");
  DWORD Exit(DWORD timeoutMs = 10000) { return ExitCode(saver, timeoutMs); }
};

// A copy of the saver with password protection on or off (the double beside it when asked),
// the double's controls, and the stand-in in front of which it runs full screen.
struct SaverBed {
  SaverFolder folder;
  PasswordSwitch passwordSwitch;
  RunningStateReset reset;
  PasswordModule module;
  FullScreen run;
  size_t answers = 0;  // prompts answered so far
  SaverBed(bool passwordOn, bool withModule) : folder(withModule), passwordSwitch(passwordOn) {}
  explicit SaverBed(bool passwordOn) : SaverBed(passwordOn, passwordOn) {}
  // Parks the cursor at (x, y), then starts the stand-in and the saver.
  testing::AssertionResult Start(int x = 500, int y = 400);
  // Refuses the prompt that is up, then waits until the saver has the answer and the retry
  // interval has passed, so that the next close request prompts again.
  testing::AssertionResult RefuseAndSettle();
  // Presses a barrier key and tells whether a close request came before it: a request made by
  // earlier input started the prompt, which then dispatched the key (a PUMPED line). Accepts
  // the prompt and expects the saver to end.
  bool CloseRequestedBeforeKey();
};

}  // namespace harness

#endif

// The saver's command line driven as the system drives it: a command line in, an exit code and
// the windows of the chosen mode out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace {

using namespace harness;

const DWORD UNUSABLE = 0xFFFFFFFFu;  // exit code -1
const DWORD WINDOW_WAIT_MS = 10000;

DWORD RunSaver(const std::string& tail) { return harness::Run(Quoted(SaverPath()) + " " + tail); }

// A number that names no window, checked rather than assumed.
std::string NoWindowNumber() {
  for (UINT_PTR n = 5;; n += 4)
    if (!IsWindow(reinterpret_cast<HWND>(n))) return std::to_string(static_cast<unsigned long>(n));
}

// Full screen ends at once when no main application answers: the stand-in plays it.
struct StandIn {
  Child child;
  HWND window = nullptr;
  StandIn() { window = StartStandIn(child, ""); }
  ~StandIn() {
    if (window && IsWindow(window)) PostMessageA(window, WM_CLOSE, 0, 0);
    child.WaitExit(5000, nullptr);
  }
};

TEST(CommandLine, UnusableTailsExitWithMinusOne) {
  TestWindow parent("parent", 200, 150);
  ASSERT_TRUE(parent.Handle());
  const std::string tails[] = {
      "/x", "/?", "12", "/\t", "+s",
      "/p:" + parent.Number(),           // the colon ends the number at 0
      "/p", "/p 0", "/p " + NoWindowNumber(),
      "/p\t" + parent.Number(),          // only spaces come before the handle
  };
  for (const std::string& tail : tails)
    EXPECT_EQ(UNUSABLE, RunSaver(tail)) << "tail \"" << tail << "\"";
}

TEST(CommandLine, PreviewRunsInsideTheGivenWindowUntilItIsDestroyed) {
  // "%s" is the parent's number; "%w" the same with 2^32 added, which wraps to the same window.
  const char* forms[] = {"/p %s", "/p%s", "-P   %s", "/l %s", "/L%s", "/p %s /s", "/p %w"};
  for (const char* form : forms) {
    TestWindow parent("parent", 200, 150);
    ASSERT_TRUE(parent.Handle());
    std::string tail = form;
    size_t at = tail.find('%');
    std::string number = tail[at + 1] == 's'
        ? parent.Number()
        : std::to_string(reinterpret_cast<UINT_PTR>(parent.Handle()) + 4294967296ull);
    tail.replace(at, 2, number);
    SCOPED_TRACE("tail \"" + tail + "\"");
    Child saver;
    ASSERT_TRUE(StartSaver(saver, tail));
    EXPECT_TRUE(WaitUntil([&] { return FindChildWindow(parent.Handle(), saver.Pid(), SAVER_CLASS); },
                          WINDOW_WAIT_MS))
        << "no preview window";
    EXPECT_TRUE(saver.Running());
    DestroyWindow(parent.Handle());
    EXPECT_EQ(0u, ExitCode(saver)) << "the preview did not end with its parent";
  }
}

TEST(CommandLine, FullScreenIgnoresWhatFollowsTheLetter) {
  StandIn app;
  ASSERT_TRUE(app.window) << "the stand-in application did not start";
  TestWindow parent("parent", 200, 150);
  const std::string tails[] = {"/s", "-S", "  s", "/save", "/s /p " + parent.Number()};
  for (const std::string& tail : tails) {
    SCOPED_TRACE("tail \"" + tail + "\"");
    Child saver;
    ASSERT_TRUE(StartSaver(saver, tail));
    HWND window = WaitForProcessWindow(saver, SAVER_CLASS, "Screen Saver", WINDOW_WAIT_MS);
    EXPECT_TRUE(window) << "no full-screen window";
    EXPECT_FALSE(FindChildWindow(parent.Handle(), saver.Pid(), SAVER_CLASS));
    if (window) PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, ExitCode(saver));
  }
}

// Opens the dialog, checks its owner, cancels it and expects 0. A number after "c" does not
// name the owner; an unterminated quote makes the whole line the program name, the tail empty.
TEST(CommandLine, ConfigurationDialogOwnedByTheForegroundWindowOrByNone) {
  TestWindow other("other", 100, 100);
  TestWindow front("front", 100, 100);
  const std::string unterminated = "\"" + SaverPath() + " /s";
  const struct { std::string tail; bool owned; } cases[] = {
      {"", false}, {"/", false}, {"-", false}, {"   ", false}, {unterminated, false},
      {"/c", true}, {"-C", true}, {"/c:" + other.Number(), true}, {"/c " + other.Number(), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("tail \"" + c.tail + "\"");
    ASSERT_TRUE(MakeForeground(front.Handle()));
    Child saver;
    if (c.tail == unterminated) {
      ASSERT_TRUE(StartProgram(saver, SaverPath(), c.tail));
    } else {
      ASSERT_TRUE(StartSaver(saver, c.tail));
    }
    HWND dialog = WaitForProcessWindow(saver, nullptr, "NVR Glowpane", WINDOW_WAIT_MS);
    ASSERT_TRUE(dialog) << "no settings dialog";
    EXPECT_EQ(c.owned ? front.Handle() : nullptr, GetWindow(dialog, GW_OWNER));
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(0u, ExitCode(saver));
  }
}

TEST(CommandLine, QuotedProgramNameWithSpacesIsRemovedWhole) {
  // Split at its space, the name would leave a tail starting with "a": a password change, 0.
  TempFolder folder("nvr a");
  ASSERT_TRUE(folder.Copy(SaverPath(), "nvrss32.scr"));
  std::string saverCopy = folder.File("nvrss32.scr");
  EXPECT_EQ(UNUSABLE, harness::Run(Quoted(saverCopy) + " /x"));
  TestWindow parent("parent", 120, 90);
  Child saver;
  ASSERT_TRUE(StartSaver(saver, "/p " + parent.Number(), saverCopy));
  EXPECT_TRUE(WaitUntil([&] { return FindChildWindow(parent.Handle(), saver.Pid(), SAVER_CLASS); },
                        WINDOW_WAIT_MS));
  DestroyWindow(parent.Handle());
  EXPECT_EQ(0u, ExitCode(saver));
}

// A copy of the saver beside the password-change double, started with the module from its
// own folder preferred over the platform's.
struct PasswordChangeBed {
  TempFolder folder{"nvr mpr"};
  ScopedDllOverride order;
  std::string saver, log;
  ScopedEnv logEnv;
  bool ready = false;
  explicit PasswordChangeBed(const char* loadOrder = "native")
      : order("nvrss32.scr", "mpr", loadOrder),
        saver(folder.File("nvrss32.scr")),
        log(folder.File("mpr.log")),
        logEnv("NVR_MPR_LOG", log) {
    ready = folder.Copy(SaverPath(), "nvrss32.scr") &&
            folder.Copy(BinPath("mpr_double\\MPR.DLL"), "MPR.DLL");
  }
  DWORD Run(const std::string& tail) { return harness::Run(Quoted(saver) + " " + tail); }
  std::vector<std::string> Calls() { return ReadLines(log); }
};

TEST(CommandLine, PasswordChangeForScrsaveWithTheGivenOwner) {
  PasswordChangeBed bed;
  ASSERT_TRUE(bed.ready);
  TestWindow owner("owner", 100, 100);
  TestWindow front("front", 100, 100);

  struct Case { std::string tail; HWND expected; } cases[] = {
      {"/a " + owner.Number(), owner.Handle()},
      {"-A" + owner.Number(), owner.Handle()},
      // No usable handle: the foreground window owns the change.
      {"/a", front.Handle()},
      {"/a:" + owner.Number(), front.Handle()},
      {"/a " + NoWindowNumber(), front.Handle()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("tail \"" + c.tail + "\"");
    ASSERT_TRUE(MakeForeground(front.Handle()));
    DeleteFileA(bed.log.c_str());
    EXPECT_EQ(0u, bed.Run(c.tail));
    std::vector<std::string> calls = bed.Calls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ("CHANGE SCRSAVE " + Number(c.expected) + " 0 0", calls[0]);
  }
}

TEST(CommandLine, PasswordChangeExitsWithZeroWithoutTheModule) {
  PasswordChangeBed bed("");  // the module cannot be loaded at all
  ASSERT_TRUE(bed.ready);
  EXPECT_EQ(0u, bed.Run("/a"));
  EXPECT_TRUE(bed.Calls().empty());
}

TEST(CommandLine, FaultInAModeSwitchesTheRunningStateOffAndExitsWithItsResult) {
  PasswordChangeBed bed;
  ASSERT_TRUE(bed.ready);
  RunningStateReset reset;
  ScopedEnv fault("NVR_MPR_FAULT", "1");
  // The double switches the running state on, then writes through a null pointer. With no
  // debugger the platform's filter asks for the fault to be handled: the guard switches the
  // state off and exits with that call's result, TRUE.
  DWORD code = bed.Run("/a");
  EXPECT_EQ(1u, code) << "got 0x" << std::hex << code;
  EXPECT_EQ(1u, bed.Calls().size());
  EXPECT_EQ(0u, RunningState());
}

}  // namespace

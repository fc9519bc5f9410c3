// The plug-in as a browser drives it: tables, instances, streams and print, the hand-off to the
// stand-in application, the plug-in window, destruction, and the trace a debugger sees.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/app_search_win.h"
#include "common/link_protocol.h"
#include "harness.h"
#include "plugin/plugin_api.h"

namespace {

// The stand-in is made busy for wParam milliseconds by this message.
const UINT STANDIN_BUSY = WM_APP + 3;

using Host = harness::BrowserHost;
using harness::NO_REPLY;

// What the browser-like host paints a plug-in window with, as 0xRRGGBB.
const DWORD BROWSER_GREEN = 0x00A000;

// The stand-in application with its log.
struct App {
  harness::TempFile log{"npa"};
  harness::Child child;
  HWND window = nullptr;
  explicit App(const std::string& options = "") { window = harness::StartStandIn(child, log.path, options); }
  std::vector<std::string> Lines(const char* prefix) { return harness::LinesStartingWith(log.path, prefix); }
  bool WaitFor(const char* prefix, size_t count = 1) { return harness::WaitForLines(log.path, prefix, count, 10000); }
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  return all;
}

// Screen pixels as 0xRRGGBB, row by row.
std::vector<DWORD> ScreenPixels(int x, int y, int width, int height) {
  harness::Rgb rgb = harness::ScreenRgb(x, y, width, height);
  std::vector<DWORD> pixels;
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) pixels.push_back(rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2]);
  return pixels;
}

// The logo as the shipped plug-in carries it, made on this screen, as 0xRRGGBB at (x, y).
class Logo {
 public:
  Logo() {
    HMODULE dll = LoadLibraryExA(harness::BinPath("NPNVR.DLL").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = dll ? FindResourceA(dll, MAKEINTRESOURCEA(2401), MAKEINTRESOURCEA(2)) : nullptr;
    const BITMAPINFO* info = found ? static_cast<const BITMAPINFO*>(LockResource(LoadResource(dll, found))) : nullptr;
    if (info) {
      width = info->bmiHeader.biWidth;
      height = info->bmiHeader.biHeight;
      const BYTE* rows = reinterpret_cast<const BYTE*>(info) + 40 + 4 * info->bmiHeader.biClrUsed;
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          RGBQUAD q = info->bmiColors[rows[(height - 1 - y) * width + x]];
          pixels_.push_back(q.rgbRed << 16 | q.rgbGreen << 8 | q.rgbBlue);
        }
    }
    if (dll) FreeLibrary(dll);
  }
  DWORD At(int x, int y) const {
    return x < 0 || y < 0 || x >= width || y >= height ? 0 : pixels_[y * width + x];
  }
  int width = 0, height = 0;

 private:
  std::vector<DWORD> pixels_;
};

TEST(Plugin, RegistersFromItsVersionResourceAndExchangesTables) {
  Host host;
  ASSERT_TRUE(host.page());
  EXPECT_EQ("REGISTER MIMEType=application/x-nvr\nREGISTER FileExtents=nvr\n"
            "REGISTER FileOpenName=NVR Link (*.nvr)\n"
            "REGISTER FileDescription=Nuvora Network for Netscape Navigator\n"
            "REGISTER InternalName=NPNVR\nREGISTER OriginalFilename=NPNVR.DLL\n"
            "REGISTER ProductName=The Nuvora Network\nREGISTER FileVersion=1.4.522\n"
            "REGISTER ProductVersion=1.4.522\nREGISTER version=1.4.0.522\n",
            Joined(host.Lines("REGISTER")));
  // Plug-in table: one byte short of the end of event (44 bytes for i686, 88 for x86_64) is
  // refused untouched; up to it, it is filled and nothing behind event changes.
  std::string enough = std::to_string(PLUGIN_FUNCS_MIN_SIZE), shorter = std::to_string(PLUGIN_FUNCS_MIN_SIZE - 1);
  EXPECT_EQ(3, host.Do("entry " + shorter));
  EXPECT_EQ(0, host.Do("entry " + enough));
  EXPECT_EQ("ENTRY result=3 size=" + shorter + " version=cccc functions=0 event=untouched changedBehindEvent=0\n"
            "ENTRY result=0 size=" + enough + " version=6 functions=9 event=null changedBehindEvent=0\n",
            Joined(host.Lines("ENTRY")));
  // Browser table (52 bytes for i686, 104 for x86_64): major version 1 and one byte short are
  // refused, yet the table is kept: the next instance allocates through it.
  std::string full = std::to_string(BROWSER_FUNCS_MIN_SIZE), shortTable = std::to_string(BROWSER_FUNCS_MIN_SIZE - 1);
  struct Row { std::string command; LRESULT expected; } rows[] = {
      {"init " + full + " 0x100", 8}, {"init " + shortTable + " 0x0", 3}, {"init " + full + " 0x0", 0},
      {"init " + full + " 0x00ff", 0},
  };
  for (const Row& r : rows) EXPECT_EQ(r.expected, host.Do(r.command)) << r.command;
  EXPECT_EQ(0, host.Do("shutdown"));  // forgets the table
  EXPECT_EQ(8, host.Do("init " + full + " 0x100"));
  EXPECT_EQ(0, host.Do("new 0"));
  EXPECT_EQ(1u, host.Lines("MEMALLOC ").size());
  EXPECT_EQ(0, host.Do("shutdown"));
}

// A refused browser table stays stored, but a function it does not reach counts as absent.
TEST(Plugin, RefusedTableIsCalledOnlyWhereItReaches) {
  Host host;
  host.Ready(1);
  HWND window = host.Window(0, 0, 0, 100, 100);
  ASSERT_EQ(0, host.Do("setwindow 0 0"));
  auto shortOf = [](size_t end) { return "init " + std::to_string(end - 1) + " 0x0"; };
  ASSERT_EQ(3, host.Do(shortOf(NP_FIELD_END(NPNetscapeFuncs, status))));
  host.Do("text 0 status");
  EXPECT_EQ(0, SendMessageA(window, RegisterWindowMessageA(QUIB_WHOAMI_NAME), WHOAMI_STATUSTEXT, 0));
  EXPECT_TRUE(host.Lines("STATUS").empty());
  ASSERT_EQ(3, host.Do(shortOf(NP_FIELD_END(NPNetscapeFuncs, memfree))));
  EXPECT_EQ(0, host.Do("destroy 0"));
  EXPECT_TRUE(host.Lines("MEMFREE").empty());
  ASSERT_EQ(3, host.Do(shortOf(NP_FIELD_END(NPNetscapeFuncs, memalloc))));
  EXPECT_EQ(5, host.Do("new 1"));
  EXPECT_EQ(1u, host.Lines("MEMALLOC").size()) << "only instance 0's record came from the browser";
}

TEST(Plugin, InstancesStreamsAndArgumentsTheBrowserMayGetWrong) {
  Host host;
  host.Ready(1);
  EXPECT_EQ(0, host.Do("stream 0"));
  EXPECT_EQ("STREAM 0 new=0 type=3 ready=268435455 written=1000 destroy=0\n", Joined(host.Lines("STREAM")));
  EXPECT_EQ(0, host.Do("nullinstance"));
  EXPECT_EQ("NULLINSTANCE new=2 destroy=2 setwindow=2 newstream=2 destroystream=2 stype=1 pluginPrinted=0\n",
            Joined(host.Lines("NULLINSTANCE")));
  EXPECT_EQ(1, host.Do("setwindow 0 none"));  // no window description
  EXPECT_EQ(0, host.Do("setwindow 0 null"));  // the window taken away: nothing happens
  // A failed allocation: out of memory, no record, and a window change is then refused.
  host.Do("failalloc 1");
  EXPECT_EQ(5, host.Do("new 1"));
  EXPECT_EQ("NEW 1 result=5 pdata=null", host.Lines("NEW 1")[0].substr(0, 25));
  host.Window(1, 0, 0, 50, 50);
  EXPECT_EQ(1, host.Do("setwindow 1 1"));
  EXPECT_EQ(0, host.Do("destroy 0"));
  EXPECT_EQ(0, host.Do("destroy 1"));
  EXPECT_EQ(2u, host.Lines("MEMALLOC").size());
  EXPECT_EQ(1u, host.Lines("MEMFREE").size()) << "only the record that exists is freed";
  EXPECT_TRUE(host.Lines("MEMFREE unknown").empty());
  EXPECT_TRUE(host.Lines("UNEXPECTED").empty()) << Joined(host.Lines("UNEXPECTED"));
}

TEST(Plugin, TraceAsADebuggingParentSeesIt) {
  App app;
  std::vector<std::string> trace;
  {
    Host host(true);
    ASSERT_TRUE(host.page());
    host.Ready(1);
    host.Window(0, 0, 0, 100, 100);
    host.Do("setwindow 0 0");
    host.Do("stream 0");
    host.Do("print 0 full");
    host.Do("nullinstance");  // each line comes before the argument that is refused
    host.Do("destroy 0");
    host.Do("shutdown");
    PostMessageA(host.page(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(host.Ended(10000));
    trace = host.Trace();
  }
  EXPECT_EQ("NP_GetEntryPoints\\n\nNP_Initialize\\n\nNPP_Initialize\\n\nNPP_New\\n\n\\n\n"
            "NPP_SetWindow\\n\nNPP_NewStream\\n\nNPP_StreamAsFile\\n\nNPP_DestroyStream\\n\n"
            "NPP_Print\\n\nNPP_New\\n\nNPP_Destroy\\n\nNPP_SetWindow\\n\nNPP_NewStream\\n\n"
            "NPP_DestroyStream\\n\nNPP_Print\\n\nNPP_Destroy\\n\n\\n\nNP_Shutdown\\n\nNPP_Shutdown\\n\n",
            Joined(trace));
}

// win.ini [NVR] Exe names the stand-in with its log; the plug-in appends " PLUGIN window instance".
TEST(Plugin, StartsTheApplicationWhenNoneRuns) {
  harness::TempFile launched("npl");
  harness::ScopedAppPath exe(harness::StandInCommand(launched.path));
  Host host;
  host.Ready(1);
  ASSERT_EQ(0, host.Do("new 1 high"));  // an instance reference with the top bit set
  HWND window = host.Window(1, 0, 0, 100, 100);
  ASSERT_EQ(0, host.Do("setwindow 1 1"));
  std::string instance = host.Lines("NEW 1")[0].substr(host.Lines("NEW 1")[0].find("instance=") + 9);
  ASSERT_EQ('-', instance[0]) << "the high instance prints negative: " << instance;
  // Started without waiting for it: its window, which lets the test end it, comes later.
  ASSERT_TRUE(harness::WaitForLines(launched.path, "WINDOW", 1, 10000));
  std::string start = harness::LinesStartingWith(launched.path, "START")[0];
  std::string tail = " PLUGIN " + std::to_string(reinterpret_cast<INT_PTR>(window)) + " " + instance;
  EXPECT_EQ(tail, start.substr(start.size() - tail.size())) << start;
  std::vector<std::string> startup = harness::LinesStartingWith(launched.path, "STARTUPINFO");
  ASSERT_FALSE(startup.empty());
  EXPECT_EQ(0u, startup[0].find("STARTUPINFO flags=1 show=9 ")) << "started restored: " << startup[0];
  // Busy when its element goes, before any search has found it: told all the same, once free.
  HWND app = reinterpret_cast<HWND>(strtoull(harness::LinesStartingWith(launched.path, "WINDOW")[0].c_str() + 7, nullptr, 16));
  PostMessageA(app, STANDIN_BUSY, 3000, 0);
  ASSERT_TRUE(harness::WaitForLines(launched.path, "BUSY", 1, 5000));
  EXPECT_EQ(0, host.Do("destroy 1"));
  EXPECT_TRUE(harness::WaitForLines(launched.path, "CLOSING", 1, 10000));
  harness::EndLaunchedStandIns();
}

// A page of several elements starts the application once, and the others wait for it while it
// is slow to show its window, and are handed their windows once it shows, even when the element
// that started it is gone by then (a reload); a start whose process has ended is made again.
// Engaged once it shows, it leaves the waiting elements to the placeholder, painted unasked. Busy
// when the start may be given up, it is waited for as a window change waits, and never started
// twice; an element whose window the browser took back meanwhile is not handed it.
TEST(Plugin, StartsTheApplicationOncePerPage) {
  struct Row { const char* options; DWORD appearMs; bool engaged, takeBack; } rows[] = {
      {"--late 2000", 10000, false, false},
      {"--quit", 0, false, false},
      {"--late 2000 --reply 3174=1", 10000, true, false},
      {"--late 17000 --busy-on-window 4500", 30000, false, true},
  };
  for (const Row& r : rows) {
    const char* options = r.options;
    SCOPED_TRACE(options);
    harness::TempFile launched("npo");
    harness::ScopedAppPath exe(harness::StandInCommand(launched.path, options));
    Host host;
    host.Ready(4);
    // Below the started copy's window, which shows restored in the screen's corner.
    const int top = 300;
    for (int i = 0; i < 4; ++i) {
      host.Window(i, i * 110, top, 100, 100);
      ASSERT_EQ(0, host.Do("setwindow " + std::to_string(i) + " " + std::to_string(i)));
    }
    if (r.takeBack) {
      ASSERT_EQ(0, host.Do("setwindow 3 null"));
    }
    if (strcmp(options, "--quit") == 0) {
      // Each window change after the process ended starts it anew.
      EXPECT_TRUE(harness::WaitUntil([&] {
        host.Do("setwindow 1 1");
        return harness::LinesStartingWith(launched.path, "START ").size() >= 2;
      }, 10000));
      continue;
    }
    ASSERT_EQ(0, host.Do("destroy 0"));  // its window is on the command line: no more use
    ASSERT_TRUE(harness::WaitForLines(launched.path, "WINDOW", 1, r.appearMs));
    // By the time the waiting elements are served, every further start would have been made.
    int served = r.takeBack ? 2 : 3;
    if (r.engaged) {
      for (int i = 1; i < 4; ++i) {
        EXPECT_TRUE(harness::WaitUntil([&] { return ScreenPixels(i * 110, top, 1, 1)[0] != BROWSER_GREEN; }, 5000))
            << "no placeholder in element " << i;
      }
      EXPECT_TRUE(harness::LinesStartingWith(launched.path, "SHOWAGAIN").empty());
    } else {
      EXPECT_TRUE(harness::WaitForLines(launched.path, "SHOWAGAIN", served, 10000)) << "the waiting elements";
    }
    size_t starts = harness::LinesStartingWith(launched.path, "START ").size();
    EXPECT_EQ(1u, starts);
    for (int i = 1; i < 4 && !r.engaged; ++i) {
      std::string window = harness::Hex(reinterpret_cast<HWND>(host.Do("hwnd " + std::to_string(i))));
      EXPECT_EQ(i <= served ? 1u : 0u, harness::CountLinesWith(launched.path, "SHOWAGAIN ", "SHOWAGAIN " + window + " ")) << i;
    }
    harness::WaitForLines(launched.path, "WINDOW", starts, r.appearMs);  // each copy can be ended by its window
    harness::EndLaunchedStandIns();
  }
}

// Unloaded without NP_Shutdown while an element waits for the application: nothing of the
// module's is left to run in the browser, neither its timer (the host's own, due after it, saw
// no other) nor its window procedure.
TEST(Plugin, UnloadedWhileAnElementWaitsLeavesNothingBehind) {
  harness::TempFile launched("npu");
  harness::ScopedAppPath exe(harness::StandInCommand(launched.path, "--late 3000"));
  Host host;
  host.Ready(2);
  host.Window(0, 0, 300, 100, 100);
  HWND waiting = host.Window(1, 110, 300, 100, 100);
  ASSERT_EQ(0, host.Do("setwindow 0 0"));
  ASSERT_EQ(0, host.Do("setwindow 1 1"));  // waits for the start under way
  ASSERT_EQ(0, host.Do("unload"));
  ASSERT_TRUE(harness::WaitUntil([&] { return !host.Lines("TICKED").empty(); }, 5000));
  EXPECT_EQ("TICKED others=0\n", Joined(host.Lines("TICKED")));
  EXPECT_EQ(0x5A5A, SendMessageA(waiting, RegisterWindowMessageA(QUIB_WHOAMI_NAME), WHOAMI_APP, 0))
      << "the browser's procedure is back";
  ASSERT_TRUE(harness::WaitForLines(launched.path, "WINDOW", 1, 10000));
  harness::EndLaunchedStandIns();
}

// Without an Exe entry the default path is started; the stand-in copied there logs where the
// environment tells it.
TEST(Plugin, StartsTheDefaultPathWithoutAnExeEntry) {
  harness::TempFile launched("npd");
  CreateDirectoryA("c:\\nvr", nullptr);
  ASSERT_TRUE(CopyFileA(harness::BinPath("nvr_standin.exe").c_str(), "c:\\nvr\\nvr.exe", FALSE));
  {
    harness::ScopedEnv logTo("NVR_STANDIN_LOG", launched.path);
    harness::ScopedWinIni cleared("NVR", "Exe", nullptr);
    Host host;
    host.Ready(1);
    HWND window = host.Window(0, 0, 0, 100, 100);
    ASSERT_EQ(0, host.Do("setwindow 0 0"));
    ASSERT_TRUE(harness::WaitForLines(launched.path, "WINDOW", 1, 10000));
    std::string start = harness::LinesStartingWith(launched.path, "START")[0];
    EXPECT_NE(std::string::npos, start.find("c:\\nvr\\nvr.exe PLUGIN " +
                                            std::to_string(reinterpret_cast<INT_PTR>(window)) + " "))
        << start;
    harness::EndLaunchedStandIns();
  }
  harness::WaitUntil([] { return DeleteFileA("c:\\nvr\\nvr.exe") != 0; }, 5000);
  RemoveDirectoryA("c:\\nvr");
}

// The running application: asked to show itself unless engaged elsewhere; not asked when it is
// already inside the plug-in window. Engaged or not, every change of window decides anew, also
// after the browser destroyed the first window.
TEST(Plugin, HandsTheWindowToTheRunningApplication) {
  struct Row { const char* reply; bool inside; bool asked; bool shown; bool firstGone; } rows[] = {
      {"0", false, true, true, false},
      {"1", false, true, false, false},
      {"0x10000", false, true, true, false},  // only the low 16 bits count here
      {"1", true, false, true, false},
      {"0", false, true, true, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string("engaged reply ") + r.reply + (r.inside ? ", inside" : "") +
                 (r.firstGone ? ", first window destroyed" : ""));
    App app(std::string("--reply 3174=") + r.reply);
    ASSERT_TRUE(app.window);
    Host host;
    host.Ready(1);
    HWND window = host.Window(0, 0, 0, 100, 100);
    if (r.inside) {
      SetWindowLongA(app.window, GWL_STYLE, WS_CHILD | WS_VISIBLE);
      SetParent(app.window, window);
    }
    ASSERT_EQ(0, host.Do("setwindow 0 0"));
    // A later window change brings another handle: not subclassed, but named to the application.
    if (r.firstGone) {
      ASSERT_EQ(0, host.Do("destroywindow 0"));
    }
    HWND other = host.Window(1, 200, 0, 50, 50);
    ASSERT_EQ(0, host.Do("setwindow 0 1"));
    // Print requests reach the application only for an instance with a window; the embedded one
    // comes last, so its arrival means the other would have arrived already.
    host.Do("new 3");
    EXPECT_EQ(1, host.Do("print 3 full"));
    EXPECT_EQ(0, host.Do("print 0 embed")) << "an embedded print request is left untouched";
    ASSERT_TRUE(app.WaitFor("PRINT"));
    EXPECT_EQ("PRINT 0 0\n", Joined(app.Lines("PRINT")));
    EXPECT_EQ(r.asked ? 2u : 0u, app.Lines("QUERYENGAGED").size());
    std::vector<std::string> shown = app.Lines("SHOWAGAIN");
    std::string instance = host.Lines("NEW 0")[0].substr(host.Lines("NEW 0")[0].find("instance=") + 9);
    if (r.shown) {
      ASSERT_EQ(2u, shown.size());
      EXPECT_EQ("SHOWAGAIN " + harness::Hex(reinterpret_cast<UINT_PTR>(window)) + " " + instance, shown[0]);
      EXPECT_EQ("SHOWAGAIN " + harness::Hex(reinterpret_cast<UINT_PTR>(other)) + " " + instance, shown[1]);
    } else {
      EXPECT_TRUE(shown.empty()) << Joined(shown);
    }
    if (r.inside) SetParent(app.window, nullptr);
    // The element's window is the second one now, served as the first was; the first, where it
    // still lives, has the browser's own procedure back.
    host.Do("text 1 other");
    SendMessageA(other, RegisterWindowMessageA(QUIB_WHOAMI_NAME), WHOAMI_STATUSTEXT, 0);
    EXPECT_EQ("STATUS instance=0 length=5 text=other\n", Joined(host.Lines("STATUS")));
    if (!r.firstGone) SendMessageA(window, RegisterWindowMessageA(QUIB_WHOAMI_NAME), WHOAMI_STATUSTEXT, 0);
    EXPECT_EQ(r.firstGone ? 0u : 1u, host.Lines("SAVED whoami 4").size());
  }
}

// What a hang may cost the browser at one call: the probe of the known window, then a bounded
// send or the second look before a start.
const DWORD HOLD_LIMIT_MS = APP_PROBE_TIMEOUT_MS + APP_BUSY_WAIT_MS + 2000;

// The host command's result and how long it held the browser, in milliseconds.
LRESULT Timed(Host& host, const std::string& command, DWORD* heldMs) {
  DWORD begin = GetTickCount();
  LRESULT result = host.Do(command);
  *heldMs = GetTickCount() - begin;
  return result;
}

// An application busy for 3 s is waited for and never started a second time. One that hangs
// (at the palette request of a placeholder paint) holds the browser no more than a few seconds
// at each call, and once the platform counts it hung it is taken for absent and started anew.
TEST(Plugin, BusyApplicationIsWaitedForAHungOneHoldsNothing) {
  typedef BOOL(WINAPI * IsHungProc)(HWND);
  IsHungProc isHung = reinterpret_cast<IsHungProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "IsHungAppWindow")));
  ASSERT_TRUE(isHung);
  for (bool hang : {false, true}) {
    SCOPED_TRACE(hang ? "hung" : "busy for 3 s");
    harness::TempFile launched("npb");
    harness::ScopedAppPath exe(harness::StandInCommand(launched.path));
    App app(hang ? "--reply 3174=1 --hang-on 2724" : "");
    ASSERT_TRUE(app.window);
    Host host;
    host.Ready(1);
    HWND window = host.Window(0, 0, 0, 100, 100);
    DWORD held = 0;
    if (!hang) {
      PostMessageA(app.window, STANDIN_BUSY, 3000, 0);
      ASSERT_TRUE(app.WaitFor("BUSY"));
      EXPECT_EQ(0, Timed(host, "setwindow 0 0", &held));
      EXPECT_LT(held, HOLD_LIMIT_MS);
      EXPECT_TRUE(app.WaitFor("SHOWAGAIN"));
      EXPECT_TRUE(harness::ReadLines(launched.path).empty()) << "a second copy was started";
      continue;
    }
    EXPECT_EQ(0, host.Do("setwindow 0 0"));  // engaged: nothing is posted
    EXPECT_LE(0, Timed(host, "paint 0", &held));
    EXPECT_LT(held, HOLD_LIMIT_MS) << "paint";
    ASSERT_TRUE(app.WaitFor("HANG"));
    DWORD begin = GetTickCount();
    EXPECT_EQ(0, SendMessageA(window, WM_VSCROLL, 5, 0));
    EXPECT_LT(GetTickCount() - begin, HOLD_LIMIT_MS) << "scroll";
    ASSERT_TRUE(harness::WaitUntil([&] { return isHung(app.window) != FALSE; }, 15000));
    EXPECT_EQ(0, Timed(host, "setwindow 0 0", &held));
    EXPECT_LT(held, HOLD_LIMIT_MS) << "window change";
    EXPECT_TRUE(harness::WaitForLines(launched.path, "WINDOW", 1, 10000)) << "not started anew";
    EXPECT_EQ(0, Timed(host, "destroy 0", &held));
    EXPECT_LT(held, HOLD_LIMIT_MS) << "destroy";
    harness::EndLaunchedStandIns();
  }
}

// Once found, the application's window is asked alone: a busy window of another program, which
// comes first in the enumeration, costs a paint nothing. The application itself busy costs it the
// probe alone: the placeholder is painted without the engaged query or the palette request.
TEST(Plugin, BusyWindowsHoldAPaintOnlyForTheApplicationsProbe) {
  App app("--reply 3174=1");
  Host host;
  host.Ready(1);
  host.Window(0, 0, 0, 100, 100);
  ASSERT_EQ(0, host.Do("setwindow 0 0"));
  App stranger("--whoami 0");
  ASSERT_TRUE(stranger.window);
  PostMessageA(stranger.window, STANDIN_BUSY, 3000, 0);
  ASSERT_TRUE(stranger.WaitFor("BUSY"));
  LRESULT us = host.Do("paint 0");
  EXPECT_GE(us, 0);
  EXPECT_LT(us, static_cast<LRESULT>(APP_PROBE_TIMEOUT_MS) * 1000) << "the paint waited on the stranger";
  EXPECT_TRUE(stranger.Lines("AWAKE").empty());
  EXPECT_EQ(2u, app.Lines("QUERYENGAGED").size()) << "the placeholder was not asked for";
  PostMessageA(app.window, STANDIN_BUSY, 4000, 0);
  ASSERT_TRUE(app.WaitFor("BUSY"));
  us = host.Do("paint 0");
  EXPECT_GE(us, 0);
  EXPECT_LT(us, static_cast<LRESULT>(APP_PROBE_TIMEOUT_MS + 500) * 1000) << "it waited on more than the probe";
  // Destroyed meanwhile: "PluginClosing" is not waited for, yet reaches it once it is free.
  DWORD start = GetTickCount();
  EXPECT_EQ(0, host.Do("destroy 0"));
  EXPECT_LT(GetTickCount() - start, APP_PROBE_TIMEOUT_MS + 500) << "the destroy waited on more than the probe";
  EXPECT_TRUE(app.WaitFor("CLOSING"));
}

// The application has the browser destroy the instance from inside its answer, as a browser may
// while the plug-in waits: nothing more is done for that instance and its freed record is not
// used (the host aims every slot of a freed block at a trap that logs the call).
TEST(Plugin, InstanceDestroyedDuringAWaitIsLeftAlone) {
  UINT whoAmI = RegisterWindowMessageA(QUIB_WHOAMI_NAME);
  for (bool inPaint : {false, true}) {
    SCOPED_TRACE(inPaint ? "during a paint" : "during a window change");
    harness::ScopedAppPath exe("c:\\no-such-folder\\nvr.exe");
    Host host;
    host.Ready(1);
    HWND window = host.Window(0, 0, 0, 100, 100);
    std::unique_ptr<App> app;
    const char* options = "--reply 3174=0 --command-on \"3174=destroy 0\"";
    if (!inPaint) app.reset(new App(options));
    EXPECT_EQ(0, host.Do("setwindow 0 0"));
    if (inPaint) {
      app.reset(new App(options));
      EXPECT_LE(0, host.Do("paint 0"));
    }
    ASSERT_TRUE(app->WaitFor("COMMANDED"));
    EXPECT_EQ("COMMANDED destroy 0 -> answered 0\n", Joined(app->Lines("COMMANDED")));
    EXPECT_TRUE(app->Lines("SHOWAGAIN").empty());
    EXPECT_EQ(1u, host.Lines("MEMFREE").size());
    EXPECT_TRUE(host.Lines("UNEXPECTED").empty()) << Joined(host.Lines("UNEXPECTED"));
    EXPECT_EQ(0x5A5A, SendMessageA(window, whoAmI, WHOAMI_APP, 0)) << "the browser's procedure is back";
    EXPECT_EQ(reinterpret_cast<LRESULT>(window), host.Do("hwnd 0")) << "the host is alive";
  }
}

// The placeholder while the application is engaged elsewhere (all 32 bits of its reply count)
// and not shown inside this window: black, the logo centred and cut equally, made under the
// application's palette when it has one; otherwise the browser's own painting.
TEST(Plugin, PaintsThePlaceholderWhileTheApplicationIsEngaged) {
  Logo logo;
  ASSERT_EQ(500, logo.width);
  struct Row { const char* options; bool inside, placeholder; } rows[] = {
      {"--reply 3174=1", false, true}, {"--reply 3174=0x10000 --palette", false, true},
      {"--reply 3174=0", false, false}, {"--reply 3174=1", true, false}, {nullptr, false, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.options ? std::string(r.options) + (r.inside ? ", inside" : "") : std::string("no application"));
    harness::ScopedAppPath exe("c:\\no-such-folder\\nvr.exe");
    std::unique_ptr<App> app(r.options ? new App(r.options) : nullptr);
    Host host;
    host.Ready(3);
    // Cut on all four sides, one pixel short of the image's width, and larger than the image
    // (a black margin all round).
    struct Place { int x, y, width, height, originX, originY; } places[] = {
        {0, 0, 400, 200, -50, -35}, {410, 0, 499, 270, 0, 0}, {0, 280, 600, 400, 50, 65}};
    for (int i = 0; i < 3; ++i) {
      const Place& p = places[i];
      HWND window = host.Window(i, p.x, p.y, p.width, p.height);
      host.Do("setwindow " + std::to_string(i) + " " + std::to_string(i));
      size_t erased = host.Lines("SAVED erase").size(), painted = host.Lines("SAVED paint").size();
      if (r.inside) {
        SetWindowLongA(app->window, GWL_STYLE, WS_CHILD | WS_VISIBLE);
        SetParent(app->window, window);
      }
      RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
      // The placeholder turns the browser's green black; the browser's own paint is logged.
      EXPECT_TRUE(harness::WaitUntil([&] {
        return r.placeholder ? ScreenPixels(p.x, p.y, 1, 1)[0] == 0 : host.Lines("SAVED paint").size() > painted;
      }, 5000));
      EXPECT_EQ(erased, host.Lines("SAVED erase").size()) << "background erasing is the plug-in's own";
      if (r.inside) SetParent(app->window, nullptr);
      if (!r.placeholder) continue;
      // The middle row and column, pixel for pixel against the logo at the expected origin, once
      // the paint that turned the first pixel black has reached the screen whole.
      int wrong = 0;
      harness::WaitUntil([&] {
        std::vector<DWORD> row = ScreenPixels(p.x, p.y + p.height / 2, p.width, 1);
        std::vector<DWORD> column = ScreenPixels(p.x + p.width / 2, p.y, 1, p.height);
        wrong = 0;
        for (int x = 0; x < p.width; ++x) wrong += row[x] != logo.At(x - p.originX, p.height / 2 - p.originY);
        for (int y = 0; y < p.height; ++y) wrong += column[y] != logo.At(p.width / 2 - p.originX, y - p.originY);
        return wrong == 0;
      }, 5000);
      EXPECT_EQ(0, wrong) << "window " << i;
    }
    if (r.placeholder && strstr(r.options, "--palette")) {
      EXPECT_EQ(3u, app->Lines("PALETTE").size()) << "the palette is asked at each placeholder paint";
    }
    // NVR_KEEP_SHOTS names a bitmap file for a picture of the page with the placeholders.
    if (r.placeholder && getenv("NVR_KEEP_SHOTS")) host.Do(std::string("shot ") + getenv("NVR_KEEP_SHOTS"));
  }
}

// Status text on the application's request, scrolling passed on, other probes to the browser's
// own procedure.
TEST(Plugin, WindowServesStatusScrollAndProbes) {
  UINT whoAmI = RegisterWindowMessageA(QUIB_WHOAMI_NAME);
  for (bool running : {true, false}) {
    SCOPED_TRACE(running ? "application running" : "no application");
    harness::ScopedAppPath exe("c:\\no-such-folder\\nvr.exe");
    std::unique_ptr<App> app(running ? new App("--reply 3179=0x1234 --reply 3180=0x4321") : nullptr);
    Host host;
    host.Ready(1);
    HWND window = host.Window(0, 0, 0, 100, 100);
    host.Do("setwindow 0 0");
    host.Do("text 0 " + std::string(300, 'x'));
    EXPECT_EQ(0, SendMessageA(window, whoAmI, WHOAMI_STATUSTEXT, 0));
    EXPECT_EQ("STATUS instance=0 length=255 text=" + std::string(255, 'x'), Joined(host.Lines("STATUS")).substr(0, 289));
    EXPECT_EQ(0x5A5A, SendMessageA(window, whoAmI, WHOAMI_APP, 0));
    EXPECT_EQ(running ? 0x1234 : 0x77, SendMessageA(window, WM_VSCROLL, 5, 0));
    EXPECT_EQ(running ? 0x4321 : 0x77, SendMessageA(window, WM_HSCROLL, 6, 0));
    EXPECT_EQ(running ? 0u : 2u, host.Lines("SAVED vscroll").size() + host.Lines("SAVED hscroll").size());
    if (running) {
      EXPECT_EQ("VSCROLL 5 0\nHSCROLL 6 0\n", Joined(app->Lines("VSCROLL")) + Joined(app->Lines("HSCROLL")));
    }
  }
}

// Destruction: "PluginClosing" while the window is still the plug-in's (the stand-in then asks
// it for its status text), the procedure put back, the record freed; a window already gone is
// not touched; with several instances each window keeps naming its own, whatever the order.
TEST(Plugin, DestroyLetsGoOfItsWindowAndRecordOnly) {
  UINT whoAmI = RegisterWindowMessageA(QUIB_WHOAMI_NAME);
  for (int first : {0, 1}) {
    SCOPED_TRACE("instance " + std::to_string(first) + " destroyed first");
    App app;
    Host host;
    host.Ready(4);
    HWND windows[3];
    for (int i = 2; i >= 0; --i) {  // instance 0's window last: the one the application was shown in
      windows[i] = host.Window(i, i * 110, 0, 100, 100);
      host.Do("text " + std::to_string(i) + " page " + std::to_string(i));
      host.Do("setwindow " + std::to_string(i) + " " + std::to_string(i));
    }
    ASSERT_TRUE(app.WaitFor("SHOWAGAIN", 3));
    for (int id : {first, 1 - first}) EXPECT_EQ(0, host.Do("destroy " + std::to_string(id)));
    EXPECT_EQ("CLOSING 0 0\nCLOSING 0 0\n", Joined(app.Lines("CLOSING")));
    std::vector<std::string> status = host.Lines("STATUS");
    ASSERT_FALSE(status.empty()) << "the application's question during PluginClosing went unanswered";
    EXPECT_EQ("STATUS instance=0 length=6 text=page 0", status[0]);
    // Its scroll of the element going reaches the browser's procedure, never the application.
    std::vector<std::string> looked = app.Lines("LOOKED");
    ASSERT_EQ(2u, looked.size());
    EXPECT_EQ("LOOKED 77", looked[first == 0 ? 0 : 1]);
    EXPECT_EQ(first == 0 ? 0u : 1u, app.Lines("VSCROLL").size());
    // Given to another instance too, the third keeps its own: it is never subclassed twice.
    EXPECT_EQ(0, host.Do("setwindow 3 2"));
    // Put back: the probes now reach the browser's own procedure. The third still names itself.
    size_t before = host.Lines("SAVED whoami 4").size();
    SendMessageA(windows[0], whoAmI, WHOAMI_STATUSTEXT, 0);
    SendMessageA(windows[1], whoAmI, WHOAMI_STATUSTEXT, 0);
    SendMessageA(windows[2], whoAmI, WHOAMI_STATUSTEXT, 0);
    EXPECT_EQ(before + 2, host.Lines("SAVED whoami 4").size());
    EXPECT_EQ("STATUS instance=2 length=6 text=page 2", host.Lines("STATUS").back());
    // A window gone before its instance, and an instance that never had one. The window keeps
    // nothing of the plug-in's.
    EXPECT_EQ(0, host.Do("destroywindow 2"));
    EXPECT_EQ("SAVED ncdestroy property=gone\n", Joined(host.Lines("SAVED ncdestroy")));
    EXPECT_EQ(0, host.Do("destroy 2"));
    EXPECT_EQ(0, host.Do("destroy 3"));
    host.Do("failalloc 1");
    EXPECT_EQ(5, host.Do("new 4"));
    EXPECT_EQ(0, host.Do("destroy 4"));  // no record, yet the application is told
    EXPECT_EQ(5u, app.Lines("CLOSING").size());
    EXPECT_EQ(4u, host.Lines("MEMFREE").size());
    EXPECT_TRUE(host.Lines("MEMFREE unknown").empty());
  }
}

// The example applications, started by the plug-in: "PluginClosing" names no page element, so
// each steps out and goes back only into an element that still lives. Another element going
// first must not take the application out of its own; its own going must.
TEST(Plugin, ExampleApplicationsLeaveOnlyTheirOwnPageElement) {
  // The reference application is engaged once shown, so the second element keeps the
  // placeholder; the minimal one is never engaged and moves to the element named last.
  // Last, its element is given a new window, and it moves there, before the other element goes.
  struct Row { const char* program; int own; bool moved; } rows[] = {
      {"nvr_reference.exe", 0, false}, {"nvr_minimal.exe", 1, false}, {"nvr_minimal.exe", 1, true}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.program) + (r.moved ? ", its element given a new window" : ""));
    harness::ScopedAppPath exe(harness::Quoted(harness::BinPath(r.program)));
    Host host;
    host.Ready(2);
    HWND windows[2] = {host.Window(0, 0, 0, 200, 100), nullptr};
    ASSERT_EQ(0, host.Do("setwindow 0 0"));
    HWND app = nullptr;
    ASSERT_TRUE(harness::WaitUntil([&] { return (app = harness::FindApplication()) && GetParent(app) == windows[0]; }, 10000))
        << "not shown in the first element";
    windows[1] = host.Window(1, 220, 0, 200, 100);
    ASSERT_EQ(0, host.Do("setwindow 1 1"));
    HWND own = windows[r.own];
    ASSERT_TRUE(harness::WaitUntil([&] { return GetParent(app) == own; }, 5000));
    if (r.moved) {
      own = host.Window(3, 0, 120, 200, 100);
      ASSERT_EQ(0, host.Do("setwindow " + std::to_string(r.own) + " 3"));
      ASSERT_TRUE(harness::WaitUntil([&] { return GetParent(app) == own; }, 5000));
    }
    EXPECT_EQ(0, host.Do("destroy " + std::to_string(1 - r.own)));
    EXPECT_TRUE(harness::WaitUntil([&] { return GetParent(app) == own && IsWindowVisible(app); }, 5000))
        << "left its own element when another one closed";
    // Its own element goes; the window stays in this host, no longer the plug-in's. The
    // application's look at it reaches the host's own procedure, and it stays out.
    size_t looked = host.Lines("SAVED vscroll").size();
    EXPECT_EQ(0, host.Do("destroy " + std::to_string(r.own)));
    EXPECT_TRUE(harness::WaitUntil([&] { return host.Lines("SAVED vscroll").size() > looked; }, 5000));
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(app, harness::WhoAmIMessage(), WHOAMI_APP, 0, SMTO_ABORTIFHUNG, 2000, &answer);
    EXPECT_EQ(nullptr, GetParent(app)) << "still in the element that went away";
    EXPECT_EQ(app, harness::FindApplication()) << "one copy answers";
    // A second copy, started for another element, hands it to the running one and ends.
    HWND third = host.Window(2, 440, 0, 200, 100);
    EXPECT_EQ(0u, harness::Run(harness::Quoted(harness::BinPath(r.program)) + " PLUGIN " + harness::Number(third) + " 7"));
    EXPECT_TRUE(harness::WaitUntil([&] { return GetParent(app) == third; }, 5000)) << "the second copy's element";
    harness::EndApplication();
  }
}
}  // namespace

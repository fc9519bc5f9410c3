// The splash picture end to end: the saver with the stand-in application, an installation folder
// holding the application, its nvr.cfg and Images\, and what the screen then shows.
#include <gtest/gtest.h>

#include "harness.h"

namespace {

using namespace harness;

const int SCREEN_W = 1024, SCREEN_H = 768;

// An installation folder: the stand-in copied in as the application (win.ini [NVR] Exe names
// it), and whatever configuration and pictures the test writes there.
struct Installation {
  TempFolder dir{"nvr splash"};
  std::string exe = dir.File("nvr_standin.exe");
  ScopedAppPath appPath{exe};
  Installation() {
    EXPECT_TRUE(dir.Copy(BinPath("nvr_standin.exe"), "nvr_standin.exe"));
    EXPECT_TRUE(dir.MakeFolder("Images"));
  }
  void Config(const char* text) { EXPECT_TRUE(dir.Write("nvr.cfg", std::string(text))); }
  void Picture(const char* name, const std::vector<unsigned char>& bytes) {
    EXPECT_TRUE(dir.Write(std::string("Images\\") + name, bytes));
  }
};

// The stand-in (from the installation) and then the full-screen saver, up to its started notice.
struct SaverRun {
  TempFile log{"spl"};
  Child app, saver;
  testing::AssertionResult Start(const Installation& install, const char* appOptions = "") {
    if (!StartStandIn(app, log.path, appOptions, install.exe))
      return testing::AssertionFailure() << "the installed stand-in showed no window";
    if (!StartSaver(saver) || !WaitForSaverWindow(saver))
      return testing::AssertionFailure() << "no saver window";
    return WaitForLines(log.path, "STARTED", 1);
  }
};

// Waits until the screen shows expected at (x, y); the failure names the first different pixel.
testing::AssertionResult Shows(int x, int y, int w, int h, const Rgb& expected) {
  if (WaitUntil([&] { return ScreenRgb(x, y, w, h) == expected; }, 5000))
    return testing::AssertionSuccess();
  long at = FirstDifference(ScreenRgb(x, y, w, h), expected);
  return testing::AssertionFailure() << "the " << w << " x " << h << " picture at (" << x << ", "
                                     << y << ") differs first at x " << at % w << " y " << at / w;
}

// The whole picture at its centred place, and black just around it.
void ExpectCentredPicture(int w, int h) {
  int x = (SCREEN_W - w) / 2, y = (SCREEN_H - h) / 2;
  EXPECT_TRUE(Shows(x, y, w, h, PatternPixels(w, h)));
  EXPECT_TRUE(AllBlack(ScreenRgb(x - 1, y, 1, h))) << "left of the picture";
  EXPECT_TRUE(AllBlack(ScreenRgb(x + w, y, 1, h))) << "right of the picture";
  EXPECT_TRUE(AllBlack(ScreenRgb(x, y - 1, w, 1))) << "above the picture";
  EXPECT_TRUE(AllBlack(ScreenRgb(x, y + h, w, 1))) << "below the picture";
}

TEST(Splash, PictureNamedByTheConfigurationOrTheDefaultIsCentred) {
  struct Case { const char* config; const char* picture; int w, h; const char* appOptions; } cases[] = {
      {"[nvr]\r\nkestro=centre\r\nkestro_sml=small\r\n", "centre.bmp", 401, 200, ""},
      {nullptr, "splash.bmp", 33, 21, ""},  // no nvr.cfg: the default name
      // Made under the application's palette; the true-colour screen keeps it exact.
      {"[nvr]\r\nkestro=centre\r\n", "centre.bmp", 64, 48, "--palette"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.picture + std::string(" ") + c.appOptions);
    Installation install;
    if (c.config) install.Config(c.config);
    install.Picture(c.picture, PatternBitmapFile(c.w, c.h));
    SaverRun run;
    ASSERT_TRUE(run.Start(install, c.appOptions));
    ExpectCentredPicture(c.w, c.h);
    EXPECT_TRUE(run.saver.Running());
    // Asked while the picture is made and again at the paint.
    if (*c.appOptions) {
      EXPECT_EQ(2u, LinesStartingWith(run.log.path, "PALETTE").size());
    }
  }
}

TEST(Splash, MissingCorruptOrUnnamedPictureLeavesTheSaverRunningWithoutOne) {
  std::vector<unsigned char> corrupt = PatternBitmapFile(40, 40);
  corrupt[14] = 108;  // a header form the reader refuses
  struct Case { const char* what; const char* config; bool corrupt; } cases[] = {
      {"missing picture", "[nvr]\r\nkestro=absent\r\n", false},
      {"corrupt picture", "[nvr]\r\nkestro=corrupt\r\n", true},
      {"no nvr.cfg and no splash.bmp", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Installation install;
    if (c.config) install.Config(c.config);
    if (c.corrupt) install.Picture("corrupt.bmp", corrupt);
    SaverRun run;
    ASSERT_TRUE(run.Start(install));
    // Nothing drawn: the centre of the screen stays black.
    EXPECT_TRUE(AllBlack(ScreenRgb(SCREEN_W / 2 - 20, SCREEN_H / 2 - 20, 40, 40)));
    EXPECT_TRUE(run.saver.Running());
    PressKey('A');  // the saver still ends in the ordinary way
    EXPECT_EQ(0u, ExitCode(run.saver));
  }
}

// Several monitors: the saver covers them all as the full screen (it found the application and
// told it so), and its picture lies whole on the primary monitor, not across the seam.
TEST(Monitors, SaverCoversEveryMonitorWithThePictureOnThePrimary) {
  RECT second;
  ASSERT_TRUE(SecondMonitor(&second));
  Installation install;
  install.Config("[nvr]\r\nkestro=centre\r\n");
  install.Picture("centre.bmp", PatternBitmapFile(401, 200));
  SaverRun run;
  ASSERT_TRUE(run.Start(install));
  HWND window = WaitForSaverWindow(run.saver);
  RECT rect = {0, 0, 0, 0}, all = VirtualScreen();
  GetWindowRect(window, &rect);
  EXPECT_TRUE(EqualRect(&all, &rect)) << "covers " << Show(rect) << ", not " << Show(all);
  POINT middle = {(second.left + second.right) / 2, (second.top + second.bottom) / 2};
  EXPECT_EQ(window, WindowFromPoint(middle)) << "at the second monitor's centre";
  EXPECT_TRUE(AllBlack(ScreenRgb(middle.x - 20, middle.y - 20, 40, 40))) << "the second monitor";
  ExpectCentredPicture(401, 200);
  PressKey('A');
  EXPECT_EQ(0u, ExitCode(run.saver));
}

// Whether drawing by another process's child window in a parent of this process reaches the
// screen: a control program fills such a child with a known colour.
bool ChildOfAnotherProcessIsSeen(const TestWindow& parent) {
  const COLORREF COLOUR = RGB(0x20, 0x80, 0xC0);
  Child control;
  if (!Start(control, Quoted(BinPath("bare_window.exe")) + " --child " + parent.Number() + " 2080c0"))
    return false;
  HWND child = nullptr;
  WaitUntil([&] { return (child = FindChildWindow(parent.Handle(), control.Pid(), nullptr)); }, 10000);
  EXPECT_NE(nullptr, child) << "the control made no child window";
  RECT area;
  GetClientRect(parent.Handle(), &area);
  POINT origin = {0, 0};
  ClientToScreen(parent.Handle(), &origin);
  bool seen = child && WaitUntil([&] {
    return ScreenRgb(origin.x, origin.y, area.right, area.bottom) ==
           SolidRgb(area.right, area.bottom, COLOUR);
  }, 3000);
  if (child) PostMessageA(child, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, ExitCode(control));
  return seen;
}

TEST(Splash, PreviewPictureInThePreviewParent) {
  Installation install;
  install.Config("[nvr]\r\nkestro=centre\r\nkestro_sml=small\r\n");
  install.Picture("small.bmp", PatternBitmapFile(50, 30));
  TestWindow parent("preview parent", 152, 112, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN);
  ASSERT_NE(nullptr, parent.Handle());
  bool observable = ChildOfAnotherProcessIsSeen(parent);
  Child saver;
  ASSERT_TRUE(StartSaver(saver, "/p " + parent.Number()));
  HWND preview = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (preview = FindChildWindow(parent.Handle(), saver.Pid(), SAVER_CLASS)); },
                        10000));
  if (observable) {
    RECT client;
    GetClientRect(preview, &client);
    POINT origin = {(client.right - 50) / 2, (client.bottom - 30) / 2};
    ClientToScreen(preview, &origin);
    EXPECT_TRUE(Shows(origin.x, origin.y, 50, 30, PatternPixels(50, 30)));
    InvalidateRect(preview, nullptr, TRUE);  // shown again after an exposure
    EXPECT_TRUE(Shows(origin.x, origin.y, 50, 30, PatternPixels(50, 30)));
  }
  // Otherwise nothing of the picture can be seen from outside: the preview never validates its
  // update region, so even whether it painted leaves no trace in this process.
  DestroyWindow(parent.Handle());
  EXPECT_EQ(0u, ExitCode(saver));
  if (!observable) {
    KNOWN_DEVIATION("drawing by a child window whose top-level window belongs to another "
                    "process does not reach the screen; the preview's picture is not checked");
    GTEST_SKIP() << "the preview's picture cannot be seen on this platform";
  }
}

}  // namespace

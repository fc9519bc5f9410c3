// The settings dialog of the built saver, driven as a user would: started with the command
// lines the system uses for it, operated with keys and clicks, and judged by its exit code and
// by the bytes it leaves in control.ini.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "harness.h"

namespace {

using namespace harness;

const int ALT_CLICK = 113;
const int PLAIN_CLICK = 114;

const std::vector<Setting> BOTH_ON = {{"PWProtected", "1"}, {"StopOnMouseMove", "1"}};

// The "key=value" lines of the section with the empty name, in file order, each ended by "|".
// Systems write that section either as "[]" or as the lines before the first section header.
std::string EmptySectionEntries(const std::string& content) {
  std::string entries;
  bool inside = true;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      inside = line == "[]";
    } else if (inside && !line.empty()) {
      entries += line + "|";
    }
    start = end + 1;
  }
  return entries;
}

// The saver's settings dialog, running in its own process.
struct ConfigRun {
  Child child;
  HWND dialog = nullptr;

  // Starts the saver with the given tail and waits for the dialog.
  bool Open(const char* tail) {
    std::string line = "\"" + BinPath("nvrss32.scr") + "\"" + tail;
    if (!Start(child, line)) return false;
    // The window exists before its controls are set and before it is shown; it is ready for
    // the user once it is visible and its process waits for input.
    WaitUntil(
        [this] {
          dialog = FindProcessWindow(child.Pid(), "#32770", "NVR Glowpane");
          return dialog != nullptr && IsWindowVisible(dialog);
        },
        10000);
    if (!dialog || !IsWindowVisible(dialog)) return false;
    return WaitForInputIdle(child.info.hProcess, 5000) == 0;
  }

  UINT Check(int id) const {
    return static_cast<UINT>(SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0));
  }
  // The one radio button checked, or 0 when neither or both are.
  int Choice() const {
    bool alt = Check(ALT_CLICK) == BST_CHECKED, plain = Check(PLAIN_CLICK) == BST_CHECKED;
    return alt == plain ? 0 : alt ? ALT_CLICK : PLAIN_CLICK;
  }

  bool ToFront() const {
    SetForegroundWindow(dialog);
    return WaitUntil([this] { return GetForegroundWindow() == dialog; }, 5000);
  }

  DWORD ExitCode() { return harness::ExitCode(child); }
};

// A left click at a screen point, through the system's input.
bool ClickAt(POINT at) {
  if (!MoveCursor(at.x, at.y)) return false;
  Click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
  return true;
}

bool ClickControl(HWND dialog, int id) {
  RECT rect;
  if (!GetWindowRect(GetDlgItem(dialog, id), &rect)) return false;
  // Left of the middle for the radio buttons: on the button or its text, never past the text.
  POINT at = {rect.left + 8, (rect.top + rect.bottom) / 2};
  return ClickAt(at);
}

// The close box: the point of the caption that the dialog itself reports as the close button.
bool ClickCloseBox(HWND dialog) {
  RECT rect;
  if (!GetWindowRect(dialog, &rect)) return false;
  for (int y = rect.top; y < rect.top + 40; y += 2) {
    for (int x = rect.right - 1; x > rect.right - 80; x -= 2) {
      if (SendMessageA(dialog, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
        POINT at = {x - 3, y + 3};  // a little inside the button
        if (SendMessageA(dialog, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y)) != HTCLOSE) at = {x, y};
        return ClickAt(at);
      }
    }
  }
  return false;
}

// Opened with its settings (or none), owned by the foreground window or by none, confirmed
// with Enter or the OK button after an optional click: only the Alt-click button decides what
// is written, whichever way the user moved it, and the password setting is always written off.
TEST(ConfigDialog, OkWritesTheCheckedChoiceAndPasswordOff) {
  const struct {
    const char* what;
    std::vector<Setting> before;
    const char* tail;  // " /c": owned by the window in front
    int checked;       // the one button checked when the dialog opens
    int click;         // the button the user clicks, or 0
    int confirm;       // IDOK clicked, or 0 for Enter
    const char* written;
  } cases[] = {
      {"no settings, Enter", {}, "", PLAIN_CLICK, 0, 0, "PWProtected=0|StopOnMouseMove=0|"},
      {"/c, both on, OK", BOTH_ON, " /c", ALT_CLICK, 0, IDOK, "PWProtected=0|StopOnMouseMove=1|"},
      {"Alt-click chosen", {}, "", PLAIN_CLICK, ALT_CLICK, 0, "PWProtected=0|StopOnMouseMove=1|"},
      {"plain click chosen", {{"StopOnMouseMove", "1"}}, "", ALT_CLICK, PLAIN_CLICK, 0,
       "StopOnMouseMove=0|PWProtected=0|"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedControlIni ini(c.before);
    bool owned = *c.tail != '\0';
    // A window of the test is in front when the system asks for the owned dialog.
    std::unique_ptr<TestWindow> front;
    if (owned) {
      front.reset(new TestWindow("front", 100, 100, WS_POPUP | WS_VISIBLE, nullptr, 0, 0));
      ASSERT_TRUE(MakeForeground(front->Handle()));
    }
    {
      ConfigRun run;
      ASSERT_TRUE(run.Open(c.tail));
      EXPECT_EQ(owned ? front->Handle() : nullptr, GetWindow(run.dialog, GW_OWNER));
      EXPECT_EQ(c.checked, run.Choice());
      ASSERT_TRUE(run.ToFront());
      if (c.click) {
        ASSERT_TRUE(ClickControl(run.dialog, c.click));
        WaitUntil([&] { return run.Choice() == c.click; }, 5000);
        ASSERT_EQ(c.click, run.Choice()) << "after the click";
      }
      if (c.confirm) {
        ASSERT_TRUE(ClickControl(run.dialog, c.confirm));
      } else {
        PressKey(VK_RETURN);
      }
      EXPECT_EQ(1u, run.ExitCode());
    }
    front.reset();  // before reading: the dialog has re-enabled it
    bool exists = false;
    std::string content = ReadText(ini.Path(), &exists);
    ASSERT_TRUE(exists) << "control.ini was not written";
    EXPECT_EQ(c.written, EmptySectionEntries(content)) << content;
  }
}

TEST(ConfigDialog, CancelEscapeAndCloseBoxWriteNothing) {
  enum Way { CANCEL, ESCAPE, CLOSE_BOX };
  const char* names[] = {"Cancel", "Escape", "close box"};
  for (Way way : {CANCEL, ESCAPE, CLOSE_BOX}) {
    for (bool seeded : {true, false}) {
      SCOPED_TRACE(std::string(names[way]) + (seeded ? ", with settings" : ", no control.ini"));
      ScopedControlIni ini(seeded ? BOTH_ON : std::vector<Setting>{});
      bool existed = false;
      std::string before = ReadText(ini.Path(), &existed);
      ASSERT_EQ(seeded, existed);
      ConfigRun run;
      ASSERT_TRUE(run.Open(""));
      ASSERT_TRUE(run.ToFront());
      if (way == CANCEL) {
        ASSERT_TRUE(ClickControl(run.dialog, IDCANCEL));
      } else if (way == ESCAPE) {
        PressKey(VK_ESCAPE);
      } else {
        ASSERT_TRUE(ClickCloseBox(run.dialog));
      }
      EXPECT_EQ(0u, run.ExitCode());
      bool exists = false;
      std::string content = ReadText(ini.Path(), &exists);
      if (seeded) {
        EXPECT_TRUE(exists);
        EXPECT_EQ(before, content);
      } else {
        EXPECT_FALSE(exists) << content;
      }
    }
  }
}

}  // namespace

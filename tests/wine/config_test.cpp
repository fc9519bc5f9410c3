// The settings dialog of the built saver, driven as a user would: started with the command
// lines the system uses for it, operated with keys and clicks, and judged by its exit code and
// by the bytes it leaves in control.ini.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace {

using namespace harness;

const int ALT_CLICK = 113;
const int PLAIN_CLICK = 114;

std::string ControlIniPath() {
  char folder[MAX_PATH];
  UINT length = GetWindowsDirectoryA(folder, sizeof folder);
  return std::string(folder, length < sizeof folder ? length : 0) + "\\control.ini";
}

// The profile functions may keep a file's contents in memory; this makes them read it afresh.
void ForgetCachedProfile() { WritePrivateProfileStringA(nullptr, nullptr, nullptr, "control.ini"); }

struct Setting {
  const char* key;
  const char* value;
};

// control.ini as the test wants it for the life of the record: absent, or holding the given
// settings in the section with the empty name, written by the platform's own profile functions
// so that they take its own form of that section. What was there before is put back afterwards.
class ScopedControlIni {
 public:
  explicit ScopedControlIni(const std::vector<Setting>& settings) : path_(ControlIniPath()) {
    old_ = ReadText(path_, &existed_);
    DeleteFileA(path_.c_str());
    ForgetCachedProfile();
    for (const Setting& s : settings) WritePrivateProfileStringA("", s.key, s.value, "control.ini");
    ForgetCachedProfile();
  }
  ~ScopedControlIni() {
    if (existed_) {
      WriteWholeFile(path_, std::vector<unsigned char>(old_.begin(), old_.end()));
    } else {
      DeleteFileA(path_.c_str());
    }
    ForgetCachedProfile();
  }
  ScopedControlIni(const ScopedControlIni&) = delete;
  ScopedControlIni& operator=(const ScopedControlIni&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  bool existed_ = false;
  std::string old_;
};

// The "key=value" lines of the section with the empty name, in file order. Systems write that
// section either as "[]" or as the lines before the first section header.
std::vector<std::string> EmptySectionEntries(const std::string& content) {
  std::vector<std::string> entries;
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
      entries.push_back(line);
    }
    start = end + 1;
  }
  return entries;
}

// The file's text in *content; false when there is no file.
bool ReadInto(const std::string& path, std::string* content) {
  bool exists = false;
  *content = ReadText(path, &exists);
  return exists;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "|";
  return text;
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

TEST(ConfigDialog, WithoutSettingsOpensOnPlainClickAndEnterWritesBoth) {
  ScopedControlIni ini({});
  ConfigRun run;
  ASSERT_TRUE(run.Open(""));
  EXPECT_EQ(nullptr, GetWindow(run.dialog, GW_OWNER)) << "the empty tail gives no owner";
  EXPECT_EQ(BST_CHECKED, run.Check(PLAIN_CLICK));
  EXPECT_EQ(BST_UNCHECKED, run.Check(ALT_CLICK));
  ASSERT_TRUE(run.ToFront());
  PressKey(VK_RETURN);
  EXPECT_EQ(1u, run.ExitCode());
  std::string content;
  ASSERT_TRUE(ReadInto(ini.Path(), &content)) << "control.ini was not written";
  EXPECT_EQ("PWProtected=0|StopOnMouseMove=0|", Joined(EmptySectionEntries(content))) << content;
}

TEST(ConfigDialog, OwnedByForegroundWindowKeepsAltClickAndTurnsPasswordOff) {
  ScopedControlIni ini({{"PWProtected", "1"}, {"StopOnMouseMove", "1"}});
  // A window of the test is in front when the system asks for the owned dialog.
  TestWindow frontWindow("front", 100, 100, WS_POPUP | WS_VISIBLE, nullptr, 0, 0);
  HWND front = frontWindow.Handle();
  ASSERT_TRUE(MakeForeground(front));
  {
    ConfigRun run;
    ASSERT_TRUE(run.Open(" /c"));
    EXPECT_EQ(front, GetWindow(run.dialog, GW_OWNER));
    EXPECT_EQ(BST_CHECKED, run.Check(ALT_CLICK));
    EXPECT_EQ(BST_UNCHECKED, run.Check(PLAIN_CLICK));
    ASSERT_TRUE(run.ToFront());
    ASSERT_TRUE(ClickControl(run.dialog, IDOK));
    EXPECT_EQ(1u, run.ExitCode());
  }
  DestroyWindow(front);  // before reading: the dialog has re-enabled it
  std::string content;
  ASSERT_TRUE(ReadInto(ini.Path(), &content));
  EXPECT_EQ("PWProtected=0|StopOnMouseMove=1|", Joined(EmptySectionEntries(content))) << content;
}

// Only the Alt-click button decides what is written, whichever way the user moved it.
TEST(ConfigDialog, ClickedChoiceIsWhatOkWrites) {
  struct Case { std::vector<Setting> before; int click; const char* written; } cases[] = {
      {{}, ALT_CLICK, "PWProtected=0|StopOnMouseMove=1|"},
      {{{"StopOnMouseMove", "1"}}, PLAIN_CLICK, "StopOnMouseMove=0|PWProtected=0|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    ScopedControlIni ini(c.before);
    ConfigRun run;
    ASSERT_TRUE(run.Open(""));
    ASSERT_TRUE(run.ToFront());
    ASSERT_TRUE(ClickControl(run.dialog, c.click));
    ASSERT_TRUE(WaitUntil([&] { return run.Check(c.click) == BST_CHECKED; }, 5000));
    EXPECT_EQ(BST_UNCHECKED, run.Check(c.click == ALT_CLICK ? PLAIN_CLICK : ALT_CLICK));
    PressKey(VK_RETURN);
    EXPECT_EQ(1u, run.ExitCode());
    std::string content;
    ASSERT_TRUE(ReadInto(ini.Path(), &content));
    EXPECT_EQ(c.written, Joined(EmptySectionEntries(content))) << content;
  }
}

TEST(ConfigDialog, CancelEscapeAndCloseBoxWriteNothing) {
  enum Way { CANCEL, ESCAPE, CLOSE_BOX };
  const char* names[] = {"Cancel", "Escape", "close box"};
  for (Way way : {CANCEL, ESCAPE, CLOSE_BOX}) {
    for (bool seeded : {true, false}) {
      SCOPED_TRACE(std::string(names[way]) + (seeded ? ", with settings" : ", no control.ini"));
      ScopedControlIni ini(seeded ? std::vector<Setting>{{"PWProtected", "1"}, {"StopOnMouseMove", "1"}}
                                  : std::vector<Setting>{});
      std::string before;
      ASSERT_EQ(seeded, ReadInto(ini.Path(), &before));
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
      std::string content;
      bool exists = ReadInto(ini.Path(), &content);
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

// The setup program run silently, as an administrator or a deployment tool would: what it leaves
// after an install, after a second install over the first, and after the uninstall, read from
// the registry, the profile files and the folders, under both families of the system.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"

namespace {

using harness::ForgetCachedProfile;
using harness::WindowsPath;

const char UNINST_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NuvoraNVR";
const char PLUGINS_ROOT[] = "Software\\MozillaPlugins";
const char PLUGIN_KEY[] = "Software\\MozillaPlugins\\@nuvora.com/NPNVR";
const char DESKTOP_KEY[] = "Control Panel\\Desktop";
const char SESSION_KEY[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char PENDING[] = "PendingFileRenameOperations";
const char NAVIGATOR_KEY[] = "Software\\Netscape\\Netscape Navigator\\4.08 (en)\\Main";
const char MOZILLA_KEY[] = "Software\\Mozilla\\Later Browser\\1.0 (en)\\Main";
const char BROWSERS[] = "C:\\nvr-test-browsers";

std::string SystemPath(const char* file) {
  char folder[MAX_PATH];
  UINT n = GetSystemDirectoryA(folder, sizeof folder);
  return std::string(folder, n) + "\\" + file;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The file's text, or "(absent)".
std::string FileText(const std::string& path) {
  bool exists = false;
  std::string content = harness::ReadText(path, &exists);
  return exists ? content : "(absent)";
}

void WriteText(const std::string& path, const std::string& content) {
  harness::WriteWholeFile(path, std::vector<unsigned char>(content.begin(), content.end()));
}

bool ReadValue(HKEY root, const char* key, const char* name, std::string* text) {
  DWORD size = 0, type = 0;
  HKEY k;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  std::vector<char> data;
  LONG r = RegQueryValueExA(k, name, nullptr, &type, nullptr, &size);
  if (r == ERROR_SUCCESS) {
    data.resize(size + 2);
    size = static_cast<DWORD>(data.size());
    r = RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
  }
  RegCloseKey(k);
  if (r != ERROR_SUCCESS) return false;
  text->assign(data.data(), size);
  if (type == REG_SZ && !text->empty() && text->back() == '\0') text->pop_back();
  return true;
}

std::string Value(HKEY root, const char* key, const char* name) {
  std::string text;
  return ReadValue(root, key, name, &text) ? text : "(absent)";
}

// Everything below a few registry roots, as "key" -> "" and "key|value" -> type and data.
using Snapshot = std::map<std::string, std::string>;

// Written by the platform itself in the background of a fresh prefix (its network service lists
// the cards once it starts, in both views of a 64-bit prefix), whatever a test does: not compared.
const char* const PLATFORM_OWN_KEYS[] = {
    "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
    "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
};

void Walk(HKEY key, const std::string& path, Snapshot* out) {
  for (const char* own : PLATFORM_OWN_KEYS)
    if (_stricmp(path.c_str(), own) == 0) return;
  (*out)[path] = "";
  DWORD subkeys = 0, maxKey = 0, values = 0, maxName = 0, maxData = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &maxKey, nullptr, &values, &maxName,
                       &maxData, nullptr, nullptr) != ERROR_SUCCESS)
    return;
  std::vector<char> name(maxName + 2);
  std::vector<BYTE> data(maxData + 2);
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = static_cast<DWORD>(name.size()), dataSize = static_cast<DWORD>(data.size()), type = 0;
    LONG r = RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
    if (r != ERROR_SUCCESS) break;
    (*out)[path + "|" + std::string(name.data(), nameSize)] =
        std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data.data()), dataSize);
  }
  std::vector<char> sub(maxKey + 2);
  for (DWORD i = 0;; ++i) {
    DWORD subSize = static_cast<DWORD>(sub.size());
    if (RegEnumKeyExA(key, i, sub.data(), &subSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    HKEY child;
    std::string subName(sub.data(), subSize);
    if (RegOpenKeyExA(key, subName.c_str(), 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    Walk(child, path + "\\" + subName, out);
    RegCloseKey(child);
  }
}

// The parts of the registry the setup program could reach, and the profile files it could write.
struct SystemState {
  Snapshot registry;
  std::map<std::string, std::string> profiles;
};

SystemState Take() {
  SystemState state;
  struct Root { HKEY root; const char* name; const char* key; } roots[] = {
      {HKEY_LOCAL_MACHINE, "HKLM", "Software"},
      {HKEY_LOCAL_MACHINE, "HKLM", SESSION_KEY},
      {HKEY_CURRENT_USER, "HKCU", "Software"},
      {HKEY_CURRENT_USER, "HKCU", "Control Panel"},
  };
  for (const Root& r : roots) {
    HKEY key;
    if (RegOpenKeyExA(r.root, r.key, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    Walk(key, std::string(r.name) + "\\" + r.key, &state.registry);
    RegCloseKey(key);
  }
  for (const char* file : {"system.ini", "win.ini", "control.ini"}) {
    ForgetCachedProfile(file);
    state.profiles[file] = FileText(WindowsPath(file));
  }
  return state;
}

std::string Lower(std::string text) {
  CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The differences from before to after, one a line, leaving out entries under the given prefixes.
std::string Changes(const SystemState& before, const SystemState& after,
                    const std::vector<std::string>& allowed = {}) {
  std::string out;
  auto skip = [&](const std::string& path) {
    for (const std::string& p : allowed)
      if (StartsWith(path, p)) return true;
    return false;
  };
  for (const auto& [path, data] : before.registry) {
    auto it = after.registry.find(path);
    if (skip(path)) continue;
    if (it == after.registry.end()) out += "- " + path + "\n";
    else if (it->second != data) out += "~ " + path + " was " + data + ", is " + it->second + "\n";
  }
  for (const auto& [path, data] : after.registry)
    if (!skip(path) && !before.registry.count(path)) out += "+ " + path + "\n";
  for (const auto& [file, content] : before.profiles)
    if (!skip(file) && after.profiles.at(file) != content)
      out += "~ " + file + " was:\n" + content + "\nis:\n" + after.profiles.at(file) + "\n";
  return out;
}

// A registry value as it is now, put back (or removed again) when the record ends.
class SavedValue {
 public:
  SavedValue(HKEY root, const char* key, const char* name) : root_(root), key_(key), name_(name) {
    HKEY k;
    if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return;
    BYTE data[8192];
    DWORD size = sizeof data;
    had_ = RegQueryValueExA(k, name_.c_str(), nullptr, &type_, data, &size) == ERROR_SUCCESS;
    if (had_) data_.assign(reinterpret_cast<char*>(data), size);
    RegCloseKey(k);
  }
  ~SavedValue() { Restore(); }
  SavedValue(const SavedValue&) = delete;
  SavedValue& operator=(const SavedValue&) = delete;
  void Restore() {
    HKEY k;
    if (RegCreateKeyA(root_, key_.c_str(), &k) != ERROR_SUCCESS) return;
    if (had_) RegSetValueExA(k, name_.c_str(), 0, type_, reinterpret_cast<const BYTE*>(data_.data()),
                             static_cast<DWORD>(data_.size()));
    else RegDeleteValueA(k, name_.c_str());
    RegCloseKey(k);
  }

 private:
  HKEY root_;
  std::string key_, name_, data_;
  bool had_ = false;
  DWORD type_ = 0;
};

void DeleteKeyTree(HKEY root, const std::string& key) {
  HKEY k;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
  char sub[256];
  for (;;) {
    DWORD size = sizeof sub;
    if (RegEnumKeyExA(k, 0, sub, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    DeleteKeyTree(k, sub);
  }
  RegCloseKey(k);
  RegDeleteKeyA(root, key.c_str());
}

// Runs a setup or uninstall command line to its end. The uninstaller hands its work to a copy of
// itself in the temporary folder and ends at once: that copy, a child of the first process, is
// waited for too.
DWORD RunSetup(const std::string& commandLine) {
  harness::Child first;
  if (!harness::Start(first, commandLine)) return 0xDEADBEEF;
  DWORD code = 0xDEADBEEF;
  if (!first.WaitExit(60000, &code)) return 0xDEADBEEF;
  for (DWORD pid : harness::ProcessesStartedBy(first.Pid())) {
    HANDLE copy = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!copy) continue;
    if (WaitForSingleObject(copy, 60000) != WAIT_OBJECT_0) code = 0xDEADBEEF;
    else GetExitCodeProcess(copy, &code);
    CloseHandle(copy);
  }
  return code;
}

// The screen-saver settings of both families, the profile files and the reboot list as they were,
// the fake browsers, and anything an install left behind: put back or removed when the record
// ends, also when a test stops half-way.
class Bed {
 public:
  Bed() {
    HKEY root;
    hadPluginsRoot_ = RegOpenKeyExA(HKEY_LOCAL_MACHINE, PLUGINS_ROOT, 0, KEY_READ, &root) == ERROR_SUCCESS;
    if (hadPluginsRoot_) RegCloseKey(root);
    for (const char* file : {"system.ini", "win.ini", "control.ini", "wininit.ini"})
      profiles_[file] = FileText(WindowsPath(file));
    // Under Wine a process with the display driver loaded (as the setup program has) reads and
    // sets screen saving in the X server too; a window made here loads it in this process.
    DestroyWindow(CreateWindowA("STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &wasActive_, 0);
  }
  ~Bed() {
    std::string quiet;
    if (ReadValue(HKEY_LOCAL_MACHINE, UNINST_KEY, "QuietUninstallString", &quiet)) RunSetup(quiet);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, UNINST_KEY);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, PLUGIN_KEY);
    if (!hadPluginsRoot_) RegDeleteKeyA(HKEY_LOCAL_MACHINE, PLUGINS_ROOT);
    DeleteFileA(SystemPath("nvrss32.scr").c_str());
    DeleteFileA(WindowsPath("Sysnative\\nvrss32.scr").c_str());  // a 32-bit view of a 64-bit system
    for (const std::string& folder : made_) harness::RemoveTree(folder);
    for (const std::string& key : keys_) DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
    RemoveScheduledFiles();
    SetActive(wasActive_);
    for (const auto& [file, content] : profiles_) {
      if (content == "(absent)") DeleteFileA(WindowsPath(file.c_str()).c_str());
      else WriteText(WindowsPath(file.c_str()), content);
      ForgetCachedProfile(file.c_str());
    }
  }
  Bed(const Bed&) = delete;
  Bed& operator=(const Bed&) = delete;

  // The current screen saver of one family: the value, or none (null).
  void SetSaver(bool nt, const char* saver) {
    if (nt) {
      HKEY k;
      RegCreateKeyA(HKEY_CURRENT_USER, DESKTOP_KEY, &k);
      if (saver) RegSetValueExA(k, "SCRNSAVE.EXE", 0, REG_SZ, reinterpret_cast<const BYTE*>(saver),
                                static_cast<DWORD>(strlen(saver) + 1));
      else RegDeleteValueA(k, "SCRNSAVE.EXE");
      RegCloseKey(k);
    } else {
      // A system of that family always has this section: it names the shell.
      WritePrivateProfileStringA("boot", "shell", "Explorer.exe", "system.ini");
      WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", saver, "system.ini");
      ForgetCachedProfile("system.ini");
    }
  }

  // Screen saving switched on or off, as the Display settings save it.
  void SetActive(bool on) {
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, on, nullptr, SPIF_UPDATEINIFILE);
    // Wine's display driver only queues the X server's part; a screen read sends the queue.
    HDC screen = GetDC(nullptr);
    GetPixel(screen, 0, 0);
    ReleaseDC(nullptr, screen);
  }

  // A browser's program folder, named as "Install Directory" under key.
  std::string AddBrowser(const char* key, const char* name, bool withPluginFolder) {
    if (made_.empty()) {
      CreateDirectoryA(BROWSERS, nullptr);
      made_.push_back(BROWSERS);
    }
    std::string program = std::string(BROWSERS) + "\\" + name;
    CreateDirectoryA(program.c_str(), nullptr);
    if (withPluginFolder) {
      CreateDirectoryA((program + "\\Plugins").c_str(), nullptr);
      WriteText(program + "\\Plugins\\npother.dll", "another plug-in");
    }
    // The first key on the way down below Software that does not exist yet is removed afterwards.
    std::string path = key;
    for (size_t end = path.find('\\', 9);; end = path.find('\\', end + 1)) {
      std::string part = path.substr(0, end);
      HKEY probe;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, part.c_str(), 0, KEY_READ, &probe) != ERROR_SUCCESS) {
        keys_.push_back(part);
        break;
      }
      RegCloseKey(probe);
      if (end == std::string::npos) break;
    }
    HKEY k;
    RegCreateKeyA(HKEY_LOCAL_MACHINE, key, &k);
    RegSetValueExA(k, "Install Directory", 0, REG_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                   static_cast<DWORD>(program.size() + 1));
    RegCloseKey(k);
    return program;
  }

  // What the platform is to do at the next start, outside the temporary folder (where the
  // uninstaller's copy of itself lies), one operation a line: "delete PATH" or "FROM -> TO". NT
  // records them as pairs of names: "\\??\\FROM", then "" to delete it, or "\\??\\TO" ("!"
  // before it: replacing a file there); the 95 family as "TO=FROM" or "NUL=FROM" lines in the
  // [rename] section of WININIT.INI, in short names.
  std::string Scheduled() {
    std::string out;
    char temp[MAX_PATH];
    std::string tempFolder = Lower(Long(std::string(temp, GetTempPathA(sizeof temp, temp))));
    for (const auto& [from, to] : PendingItems()) {
      if (StartsWith(Lower(from), tempFolder)) continue;
      out += to.empty() ? "delete " + from + "\n" : from + " -> " + to + "\n";
    }
    return out;
  }

  // The machine restarts: the platform carries out what was scheduled.
  void Restart() { EXPECT_EQ(0u, harness::Run("wineboot.exe -r", 60000)); }

  // What is still scheduled, removed now, and the reboot lists put back as they were.
  void RemoveScheduledFiles() {
    std::vector<std::pair<std::string, std::string>> items = PendingItems();
    for (size_t i = items.size(); i-- > 0;) {
      for (const std::string& name : {items[i].first, items[i].second}) {
        DeleteFileA(name.c_str());
        RemoveDirectoryA(name.c_str());
      }
    }
    pending_.Restore();
  }

 private:
  // A name as the test wrote it: the long form of a short name, as long as it was seen existing
  // (a replacement still scheduled may be gone).
  std::string Long(const std::string& name) {
    char full[MAX_PATH];
    DWORD n = GetLongPathNameA(name.c_str(), full, sizeof full);
    if (n && n < sizeof full) longNames_[name] = std::string(full, n);
    auto known = longNames_.find(name);
    return known == longNames_.end() ? name : known->second;
  }
  std::vector<std::pair<std::string, std::string>> PendingItems() {
    std::vector<std::pair<std::string, std::string>> items;
    std::string list;
    std::vector<std::string> names;
    if (ReadValue(HKEY_LOCAL_MACHINE, SESSION_KEY, PENDING, &list)) {
      for (size_t at = 0; at < list.size();) {
        names.emplace_back(list.c_str() + at);
        at += names.back().size() + 1;
      }
    }
    if (!names.empty() && names.back().empty()) names.pop_back();  // the list's closing empty name
    for (size_t i = 0; i + 1 < names.size(); i += 2) items.push_back({Plain(names[i]), Plain(names[i + 1])});
    bool inRename = false;
    std::string text = FileText(WindowsPath("wininit.ini"));
    for (size_t at = 0; at < text.size();) {
      size_t end = text.find('\n', at);
      std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
      at = end == std::string::npos ? text.size() : end + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty() && line[0] == '[') inRename = Lower(line) == "[rename]";
      size_t equals = line.find('=');
      if (!inRename || equals == std::string::npos) continue;
      std::string to = line.substr(0, equals);
      items.push_back({Long(line.substr(equals + 1)), to == "NUL" ? "" : Long(to)});
    }
    return items;
  }
  static std::string Plain(const std::string& item) {
    size_t at = item.find("\\??\\");
    return at == std::string::npos ? item : item.substr(at + 4);
  }

  SavedValue ntSaver_{HKEY_CURRENT_USER, DESKTOP_KEY, "SCRNSAVE.EXE"};
  SavedValue active_{HKEY_CURRENT_USER, DESKTOP_KEY, "ScreenSaveActive"};
  SavedValue pending_{HKEY_LOCAL_MACHINE, SESSION_KEY, PENDING};
  std::map<std::string, std::string> profiles_, longNames_;
  std::vector<std::string> made_, keys_;
  bool hadPluginsRoot_ = false;
  BOOL wasActive_ = TRUE;
};

// The installed saver answers /c from its installed place with its settings dialog.
void ExpectSettingsDialogFromSystemFolder() {
  harness::Child saver;
  ASSERT_TRUE(harness::Start(saver, "\"" + SystemPath("nvrss32.scr") + "\" /c"));
  HWND dialog = nullptr;
  ASSERT_TRUE(harness::WaitUntil(
      [&] {
        dialog = harness::FindProcessWindow(saver.Pid(), "#32770", "NVR Glowpane");
        return dialog && IsWindowVisible(dialog);
      },
      10000));
  PostMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, harness::ExitCode(saver)) << "closed without OK";
}

// What running programs hold from before the second install.
// OPENED: the saver only opened to be read, as a virus scanner or a viewer holds it.
enum Held { NOTHING = 0, PLUGIN = 1, SAVER = 2, OPENED = 4 };

struct Scenario {
  const char* windows;        // what Wine reports: "win7" (NT) or "win98" (95 family)
  const char* previousSaver;  // the current screen saver before setup, or none
  const char* options;        // extra options of the first install
  const char* secondOptions;  // and of the second
  const char* folder;         // /D= folder, or null for the default
  bool browsers;              // a Navigator with its plug-in folder, a later browser without one
  const char* secondFolder;   // /D= folder of the second install, or null for the first one's
  int held;                   // a browser holds the registered plug-in, a preview or a reader the saver
  bool restartBetween;        // they end and the machine restarts before the uninstall, else after
};

// The plug-in loaded as a running browser holds it, until the browser ends.
struct RunningBrowser {
  HMODULE plugin = nullptr;
  ~RunningBrowser() { End(); }
  void End() {
    if (plugin) FreeLibrary(plugin);
    plugin = nullptr;
  }
};

// A saver's preview in a window of ours, as the Display settings show it: its process holds the
// saver's file until it ends.
struct RunningPreview {
  std::unique_ptr<harness::TestWindow> parent;
  harness::Child saver;
  HANDLE reader = INVALID_HANDLE_VALUE;  // or only a reader of the file
  ~RunningPreview() { End(); }
  bool Open(const std::string& path) {
    reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    return reader != INVALID_HANDLE_VALUE;
  }
  bool Holds() const { return parent || reader != INVALID_HANDLE_VALUE; }
  bool Start(const std::string& path) {  // true once its window shows
    parent = std::make_unique<harness::TestWindow>("Display settings", 152, 112);
    HWND window = parent->Handle();
    return harness::StartSaver(saver, "/p " + parent->Number(), path) &&
           harness::WaitUntil([&] { return harness::FindChildWindow(window, saver.Pid(), harness::SAVER_CLASS); },
                              10000);
  }
  void End() {
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
    reader = INVALID_HANDLE_VALUE;
    if (!parent) return;
    DestroyWindow(parent->Handle());
    EXPECT_EQ(0u, harness::ExitCode(saver)) << "the preview ends with its window";
    parent.reset();
  }
};

void InstallTwiceAndUninstall(const Scenario& s) {
  std::string setup = harness::BinPath("nvr-setup.exe");
  ASSERT_TRUE(Exists(setup)) << setup;
  harness::ScopedRegValue version(HKEY_CURRENT_USER, "Software\\Wine", "Version", s.windows);
  bool nt = std::string(s.windows) == "win7";
  bool makeCurrent = std::string(s.options).find("/NOCURRENT") == std::string::npos;
  const std::string saverFile = SystemPath("nvrss32.scr");
  Bed bed;
  bed.SetSaver(true, nt ? s.previousSaver : nullptr);
  bed.SetSaver(false, nt ? nullptr : s.previousSaver);
  bed.SetActive(false);
  RunningBrowser browser;
  RunningPreview preview;
  std::vector<std::string> copies;  // where the plug-in must go, the registered copy first
  std::vector<std::string> madeFolders;
  std::string navigator;
  if (s.browsers) {
    navigator = bed.AddBrowser(NAVIGATOR_KEY, "Navigator", true);
    std::string later = bed.AddBrowser(MOZILLA_KEY, "Later", false);
    copies = {navigator + "\\Plugins\\NPNVR.DLL", later + "\\Plugins\\NPNVR.DLL"};
    madeFolders = {later + "\\Plugins"};
  }
  std::string folder = s.folder ? s.folder
                                : Value(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                                        "ProgramFilesDir") + "\\Nuvora NVR";
  auto installIn = [&](const std::string& into) {
    folder = into;
    if (!s.browsers) {
      copies = {folder + "\\Plugins\\NPNVR.DLL"};
      madeFolders = {folder + "\\Plugins"};
    }
  };
  installIn(folder);
  auto command = [&](const char* options, const char* into) {
    return "\"" + setup + "\" /S" + options + (into ? std::string(" /D=") + into : "");
  };
  const std::string uninstKey = std::string("HKLM\\") + UNINST_KEY;
  // NT's list of operations for the restart; the 95 family keeps them in WININIT.INI instead.
  const std::string pendingPath = nt ? std::string("HKLM\\") + SESSION_KEY + "|" + PENDING : "(none)";
  const std::string registeredPath = std::string("HKLM\\") + PLUGIN_KEY + "|Path";
  // "Complete at the restart", for deployment tools, when anything is held.
  const DWORD secondDone = s.held ? 3010 : 0;
  const DWORD uninstallDone = s.held && !s.restartBetween ? 3010 : 0;
  SystemState before = Take();

  ASSERT_EQ(0u, RunSetup(command(s.options, s.folder)));
  SystemState installed = Take();
  const std::vector<unsigned char> packedSaver = harness::ReadWholeFile(saverFile);
  EXPECT_FALSE(packedSaver.empty()) << saverFile;
  EXPECT_TRUE(Exists(folder + "\\uninstall.exe"));
  for (const std::string& copy : copies) EXPECT_TRUE(Exists(copy)) << copy;
  EXPECT_EQ("\"" + folder + "\\uninstall.exe\"", Value(HKEY_LOCAL_MACHINE, UNINST_KEY, "UninstallString"));
  EXPECT_EQ("\"" + folder + "\\uninstall.exe\" /S",
            Value(HKEY_LOCAL_MACHINE, UNINST_KEY, "QuietUninstallString"));
  EXPECT_EQ("1.4.522", Value(HKEY_LOCAL_MACHINE, UNINST_KEY, "DisplayVersion"));
  EXPECT_EQ("Nuvora", Value(HKEY_LOCAL_MACHINE, UNINST_KEY, "Publisher"));
  EXPECT_NE("(absent)", Value(HKEY_LOCAL_MACHINE, UNINST_KEY, "DisplayName"));
  EXPECT_EQ(copies[0], Value(HKEY_LOCAL_MACHINE, PLUGIN_KEY, "Path"));
  for (const char* name : {"Description", "ProductName", "Vendor", "Version"})
    EXPECT_NE("(absent)", Value(HKEY_LOCAL_MACHINE, PLUGIN_KEY, name)) << name;
  char ours[MAX_PATH];
  DWORD n = GetShortPathNameA(saverFile.c_str(), ours, sizeof ours);
  ForgetCachedProfile("system.ini");
  char current[MAX_PATH];
  GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "(absent)", current, sizeof current, "system.ini");
  std::string expected = makeCurrent ? std::string(ours, n) : s.previousSaver ? s.previousSaver : "(absent)";
  EXPECT_EQ(nt ? expected : "(absent)", Value(HKEY_CURRENT_USER, DESKTOP_KEY, "SCRNSAVE.EXE"));
  EXPECT_EQ(nt ? "(absent)" : expected, std::string(current));
  // Where the platform keeps it under Wine, for both families.
  EXPECT_EQ(makeCurrent ? "1" : "0", Value(HKEY_CURRENT_USER, DESKTOP_KEY, "ScreenSaveActive"))
      << "screen saving switched on with ours made current";
  // Nothing else: the main application's path in win.ini above all stays the application's.
  EXPECT_EQ("", Changes(before, installed,
                        {uninstKey, std::string("HKLM\\") + PLUGINS_ROOT, "HKCU\\Control Panel\\Desktop|SCRNSAVE.EXE",
                         "HKCU\\Control Panel\\Desktop|ScreenSaveActive", "system.ini"}));

  ExpectSettingsDialogFromSystemFolder();

  // The user switches screen saving off meanwhile: a second install leaves that choice alone.
  bed.SetActive(false);
  installed = Take();
  if (s.held & PLUGIN) {
    browser.plugin = LoadLibraryA(copies[0].c_str());
    ASSERT_TRUE(browser.plugin) << copies[0];
  }
  if (s.held & (SAVER | OPENED)) {
    // Marked at its end, where the loader does not look, so that the new saver can be told from it.
    std::vector<unsigned char> old = packedSaver;
    old.insert(old.end(), {'o', 'l', 'd'});
    ASSERT_TRUE(harness::WriteWholeFile(saverFile, old));
    if (s.held & SAVER) ASSERT_TRUE(preview.Start(saverFile)) << "no preview window";
    else ASSERT_TRUE(preview.Open(saverFile)) << saverFile;
  }
  ASSERT_EQ(secondDone, RunSetup(command(s.secondOptions, s.secondFolder)));
  const std::string first = folder;
  if (s.secondFolder) {
    installIn(s.secondFolder);
    EXPECT_FALSE(Exists(first)) << "the earlier installation";
    EXPECT_TRUE(Exists(folder + "\\uninstall.exe"));
    for (const std::string& copy : copies) EXPECT_TRUE(Exists(copy)) << copy;
    EXPECT_EQ("\"" + folder + "\\uninstall.exe\" /S",
              Value(HKEY_LOCAL_MACHINE, UNINST_KEY, "QuietUninstallString"));
    EXPECT_EQ(copies[0], Value(HKEY_LOCAL_MACHINE, PLUGIN_KEY, "Path"));
    EXPECT_EQ("", Changes(installed, Take(), {uninstKey, registeredPath, pendingPath}));
  } else {
    EXPECT_EQ("", Changes(installed, Take(), {pendingPath})) << "a second install changed what the first left";
  }
  // A held file's replacement takes its place at the restart, after any deletion of it that the
  // earlier installation's uninstaller left (which, run in its own folder, leaves that one too).
  std::string replaced;
  if (s.held & (SAVER | OPENED)) {
    if (s.secondFolder) replaced += "delete " + saverFile + "\ndelete " + first + "\\\n";
    replaced += saverFile + ".new -> " + saverFile + "\n";
  }
  if (s.held & PLUGIN) replaced += copies[0] + ".new -> " + copies[0] + "\n";
  EXPECT_EQ(replaced, bed.Scheduled()) << "the held files replaced at the restart";

  if (s.restartBetween) {
    preview.End();
    bed.Restart();
    EXPECT_TRUE(packedSaver == harness::ReadWholeFile(saverFile)) << "the new saver in its place";
    EXPECT_EQ("", Changes(installed, Take(), {uninstKey, registeredPath, pendingPath}))
        << "the current saver after the restart";
    replaced.clear();
  }

  std::string quiet = Value(HKEY_LOCAL_MACHINE, UNINST_KEY, "QuietUninstallString");
  EXPECT_EQ(uninstallDone, RunSetup(quiet));
  SystemState removed = Take();
  EXPECT_EQ("", Changes(before, removed, {pendingPath}));
  EXPECT_EQ(preview.Holds(), Exists(saverFile)) << "the saver, unless held";
  if (preview.Holds()) replaced += "delete " + saverFile + "\n";
  if (browser.plugin) replaced += "delete " + copies[0] + "\n";
  EXPECT_EQ(replaced, bed.Scheduled()) << "what is left for the restart, besides the uninstaller's own copy";
  browser.End();
  preview.End();
  bed.Restart();
  EXPECT_FALSE(Exists(saverFile));
  EXPECT_FALSE(Exists(saverFile + ".new"));
  EXPECT_FALSE(Exists(folder));
  for (const std::string& copy : copies) EXPECT_FALSE(Exists(copy)) << copy;
  for (const std::string& made : madeFolders) EXPECT_FALSE(Exists(made)) << made;
  if (s.browsers) {
    EXPECT_TRUE(Exists(navigator + "\\Plugins\\npother.dll")) << "a browser's own plug-in folder";
  }
}

// A move with the saver held by its preview, and a restart before the uninstall.
TEST(Setup, NtWithoutBrowserKeepsPlugInInItsFolderAndMovesToAnotherFolderWhole) {
  InstallTwiceAndUninstall({"win7", "C:\\windows\\system32\\previous.scr", "", "", "C:\\nvr-setup-test", false,
                            "C:\\nvr-setup-other", SAVER, true});
}

TEST(Setup, Family95WithBrowsersPutsPlugInBesideEachAndReplacesHeldFilesAtRestart) {
  InstallTwiceAndUninstall({"win98", nullptr, "", "", nullptr, true, nullptr, PLUGIN | SAVER, false});
}

// A reader holding the saver makes it wait for the restart as a running one does.
TEST(Setup, NoCurrentOptionLeavesTheCurrentSaverAlone) {
  InstallTwiceAndUninstall({"win98", "C:\\WINDOWS\\SYSTEM\\PREVIOUS.SCR", " /NOCURRENT", " /NOCURRENT", nullptr,
                            false, nullptr, OPENED, false});
}

TEST(Setup, NoCurrentOptionLeavesTheCurrentSaverAloneInAMove) {
  InstallTwiceAndUninstall({"win98", "C:\\WINDOWS\\SYSTEM\\PREVIOUS.SCR", "", " /NOCURRENT", nullptr, false,
                            "C:\\nvr-setup-other", NOTHING, false});
}

// On a 64-bit system the 32-bit setup puts the saver where the system's 64-bit launcher opens
// it, under the name it records as the current saver, and the uninstall finds it there again.
// Only a 32-bit test program on a 64-bit system can tell (tools/run-tests' 64-bit prefix).
TEST(Setup, Wow64SaverInTheNativeSystemFolder) {
  typedef BOOL(WINAPI * IsWow64Proc)(HANDLE, BOOL*);
  IsWow64Proc isWow64 = reinterpret_cast<IsWow64Proc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  if (!isWow64 || !isWow64(GetCurrentProcess(), &wow64) || !wow64)
    GTEST_SKIP() << "not a 32-bit program on a 64-bit system";
  harness::ScopedRegValue version(HKEY_CURRENT_USER, "Software\\Wine", "Version", "win7");
  Bed bed;
  ASSERT_EQ(0u, RunSetup("\"" + harness::BinPath("nvr-setup.exe") + "\" /S"));
  const std::string saver = Value(HKEY_CURRENT_USER, DESKTOP_KEY, "SCRNSAVE.EXE");
  // The native command interpreter, reached past the redirection, is a 64-bit process.
  auto foundBy64BitProcess = [&] {
    return harness::Run("\"" + WindowsPath("Sysnative\\cmd.exe") + "\" /c if exist \"" + saver +
                        "\" (exit 0) else (exit 1)") == 0;
  };
  EXPECT_TRUE(foundBy64BitProcess()) << saver;
  EXPECT_FALSE(Exists(SystemPath("nvrss32.scr"))) << "a copy where only 32-bit programs look";
  EXPECT_EQ(0u, RunSetup(Value(HKEY_LOCAL_MACHINE, UNINST_KEY, "QuietUninstallString")));
  EXPECT_FALSE(foundBy64BitProcess()) << saver;
}

}  // namespace

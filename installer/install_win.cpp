// The install: an earlier installation in another folder removed first, the program folder with
// the uninstaller, the saver in the native system folder, ours made the current saver, a copy
// of the plug-in beside each browser, the record of what to undo, and what waits for the restart.
#include <windows.h>

#include <cstring>

#include "installer/setup_command.h"
#include "installer/setup_win.h"

namespace {

constexpr char MIME_KEY[] = "Software\\MozillaPlugins\\@nuvora.com/NPNVR\\MimeTypes\\application/x-nvr";
// Browsers of the family name their program folder under <root>\<product>\<version>\Main.
constexpr const char* BROWSER_ROOTS[] = {"Software\\Netscape", "Software\\Mozilla"};
constexpr uint32_t BROWSERS_MAX = 64;

enum : uint32_t {
  PLACED_NOW = 1,
  PLACED_AT_RESTART = 2,
};

// The whole state of one install: one block, too large for a 386's customary stack.
struct Install {
  SetupRun* run;
  const char* folder;
  uint32_t flags;
  uint32_t failed;
  uint32_t earlierExit;
  uint32_t saverDeletionPending;
  uint32_t saverHeld;
  uint32_t heldCopies;
  UninstallRecord earlier;
  UninstallRecord record;
  SaverFile saver;
  PluginPlan plan;
  RestartPlan restart;
  BrowserEntry browsers[BROWSERS_MAX];
  char browserFolders[BROWSERS_MAX][SETUP_PATH_SIZE];
};

// data into path, or, when a running program holds path (or when it must wait anyway), beside
// it as its replacement for the restart. Returns PLACED_*, or 0 when neither could be written.
uint32_t PlaceFile(const SetupRun* run, const char* path, const unsigned char* data, uint32_t size,
                   uint32_t waitForRestart) {
  if (!waitForRestart && WriteWholeFile(path, data, size)) return PLACED_NOW;
  char replacement[SETUP_PATH_SIZE];
  if (!ReplacementPath(path, replacement, sizeof replacement) ||
      !WriteWholeFile(replacement, data, size)) {
    Report(run, "Could not write ", path);
    return 0;
  }
  Report(run, "In use: replaced when Windows restarts: ", path);
  return PLACED_AT_RESTART;
}

// An installation recorded in another folder goes first, by its own uninstaller, which is run
// in its folder so that it can be waited for and then deleted here. What it found current
// before it made ours current passes on to this installation: hidden from it, it gives nothing
// back and screen saving stays as it is.
void RemoveEarlierInstallation(Install* in) {
  UninstallRecord* earlier = &in->earlier;
  if (!NeedsMove(earlier, in->folder)) {
    in->record = *earlier;
    return;
  }
  ClearRecord(&in->record);
  Report(in->run, "Removing the earlier installation in ", earlier->folder);
  char uninstaller[SETUP_PATH_SIZE];
  char command[2 * SETUP_PATH_SIZE + 16];
  bool ran = false;
  if (JoinPath(uninstaller, sizeof uninstaller, earlier->folder, "uninstall.exe") &&
      FileExists(uninstaller) && EarlierUninstallCommand(earlier->folder, command, sizeof command)) {
    HandOnRecord(earlier, &in->record);
    DeleteRegValue(HKEY_LOCAL_MACHINE, SETUP_UNINSTALL_KEY, SETUP_SAVER_SET_IN);
    in->earlierExit = RunAndWait(command);
    ran = in->earlierExit != ~0u;
  }
  if (ran) {
    DeleteFileA(uninstaller);
    // It deletes the saver, or has it deleted at the restart when a running program holds it.
    in->saverDeletionPending = FileExists(in->saver.reach);
  } else {
    // Without its uninstaller what it placed stays recorded, removed with this installation.
    Report(in->run, "Its uninstaller could not be run: its record passes on whole", nullptr);
    in->record = *earlier;
  }
  // Kept when a held file is still in it: its uninstaller had it removed at the restart.
  RemoveDirectoryA(earlier->folder);
}

// The uninstaller is this program itself, under the name Add/Remove Programs runs.
void PlaceProgramFolder(Install* in) {
  char uninstaller[SETUP_PATH_SIZE];
  if (!MakeFolders(in->folder) || !JoinPath(uninstaller, sizeof uninstaller, in->folder, "uninstall.exe") ||
      !CopyFileA(in->run->self, uninstaller, FALSE)) {
    Report(in->run, "Could not write the uninstaller in ", in->folder);
    in->failed = 1;
    return;
  }
  in->record.has |= RECORD_FOLDER;
  CopyText(in->record.folder, sizeof in->record.folder, in->folder);
  // Recorded at once: from here on the uninstaller can undo what follows.
  if (!WriteUninstallRecord(&in->record, in->saver.recorded)) in->failed = 1;
}

void PlaceSaverFile(Install* in) {
  uint32_t size = 0;
  unsigned char* saver = ExpandResource(in->run->instance, SETUP_PAYLOAD_SAVER, &size);
  uint32_t placed = saver ? PlaceFile(in->run, in->saver.reach, saver, size, in->saverDeletionPending) : 0;
  if (saver) GlobalFree(saver);
  if (!placed) in->failed = 1;
  in->saverHeld = placed == PLACED_AT_RESTART;
  if (placed == PLACED_NOW) Report(in->run, "Screen saver: ", in->saver.reach);
  // Under WOW64 an earlier setup put it where only 32-bit programs look; nothing finds it there.
  char redirected[SETUP_PATH_SIZE];
  UINT n = GetSystemDirectoryA(redirected, sizeof redirected);
  if (in->saver.wow64 && n && n < sizeof redirected &&
      AppendText(redirected, sizeof redirected, "\\nvrss32.scr")) {
    DeleteFileA(redirected);
  }
}

void MakeCurrent(Install* in) {
  uint32_t nt = IsNtFamily();
  SaverPlace place = nt ? SAVER_IN_REGISTRY : SAVER_IN_SYSTEM_INI;
  // The 95 family keeps short names there; NT accepts them too. Under WOW64 this program's view
  // of the system folder is another one's: the name goes as the native launcher opens it.
  char ours[SETUP_PATH_SIZE];
  DWORD n = in->saver.wow64 ? 0 : GetShortPathNameA(in->saver.recorded, ours, sizeof ours);
  if (!n || n >= sizeof ours) CopyText(ours, sizeof ours, in->saver.recorded);
  char current[SETUP_PATH_SIZE];
  int isSet = ReadCurrentSaver(place, current, sizeof current);
  uint32_t steps = DecideMakeCurrent(&in->record, in->flags, nt, isSet ? current : nullptr, ours,
                                     ScreenSaving());
  if (steps & CURRENT_WRITE) {
    Report(in->run, "Making NVR Glowpane the current screen saver: ", ours);
    if (!WriteCurrentSaver(place, ours)) in->failed = 1;
  }
  // Named but switched off it would never run: switched on as the Display settings do when a
  // saver is chosen. Ours current already, the user's choice stands.
  if (steps & CURRENT_TURN_ON) SetScreenSaving(1);
}

void FindBrowsers(Install* in, uint32_t* count) {
  *count = 0;
  for (const char* root : BROWSER_ROOTS) {
    HKEY rootKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, root, 0, KEY_READ, &rootKey) != ERROR_SUCCESS) continue;
    char product[SETUP_PATH_SIZE];
    for (DWORD i = 0; RegEnumKeyA(rootKey, i, product, sizeof product) == ERROR_SUCCESS; ++i) {
      HKEY productKey;
      if (RegOpenKeyExA(rootKey, product, 0, KEY_READ, &productKey) != ERROR_SUCCESS) continue;
      char version[SETUP_PATH_SIZE];
      for (DWORD j = 0; RegEnumKeyA(productKey, j, version, sizeof version) == ERROR_SUCCESS; ++j) {
        char key[3 * SETUP_PATH_SIZE];
        char* folder = in->browserFolders[*count];
        if (*count >= BROWSERS_MAX || !JoinPath(key, sizeof key, root, product) ||
            !AppendText(key, sizeof key, "\\") || !AppendText(key, sizeof key, version) ||
            !AppendText(key, sizeof key, "\\Main") ||
            !ReadRegText(HKEY_LOCAL_MACHINE, key, "Install Directory", folder, SETUP_PATH_SIZE)) {
          continue;
        }
        in->browsers[*count].installDirectory = folder;
        in->browsers[*count].exists = FolderExists(folder);
        if (in->browsers[*count].exists) Report(in->run, "Browser found: ", folder);
        ++*count;
      }
      RegCloseKey(productKey);
    }
    RegCloseKey(rootKey);
  }
}

void PlacePlugin(Install* in) {
  uint32_t browserCount = 0;
  FindBrowsers(in, &browserCount);
  PlanPluginCopies(in->browsers, browserCount, in->folder, IsLeadAnsi, &in->plan);
  if (!browserCount) Report(in->run, "No browser found: the plug-in stays in ", in->folder);
  uint32_t size = 0;
  unsigned char* plugin = ExpandResource(in->run->instance, SETUP_PAYLOAD_PLUGIN, &size);
  if (!plugin || !in->plan.count) in->failed = 1;
  for (uint32_t i = 0; plugin && i < in->plan.count; ++i) {
    const char* folder = in->plan.folder[i];
    const char* made = FolderExists(folder) ? "" : folder;
    uint32_t placed = MakeFolders(folder) ? PlaceFile(in->run, in->plan.copy[i], plugin, size, 0) : 0;
    if (!placed) {
      in->failed = 1;
      continue;
    }
    if (placed == PLACED_AT_RESTART) in->heldCopies |= 1u << i;
    else Report(in->run, "Browser plug-in: ", in->plan.copy[i]);
    // An earlier record of the same copy is kept: it knows whether the folder was ours.
    TakeRecordCopy(&in->record, in->plan.copy[i], RECORD_STRING,
                   reinterpret_cast<const unsigned char*>(made), lstrlenA(made) + 1);
  }
  if (plugin) GlobalFree(plugin);
  if (!in->plan.count) return;

  // Later browsers of the family look for plug-ins under this key; the key above it is removed
  // again only if this made it.
  HKEY root;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETUP_PLUGINS_ROOT, 0, KEY_READ, &root) == ERROR_SUCCESS)
    RegCloseKey(root);
  else
    in->record.has |= RECORD_MADE_PLUGINS_ROOT;
  const struct { const char* key; const char* name; const char* text; } values[] = {
      {SETUP_PLUGIN_KEY, "Path", in->plan.copy[0]},
      {SETUP_PLUGIN_KEY, "Description", "Nuvora Network for Netscape Navigator"},
      {SETUP_PLUGIN_KEY, "ProductName", "The Nuvora Network"},
      {SETUP_PLUGIN_KEY, "Vendor", "Nuvora"},
      {SETUP_PLUGIN_KEY, "Version", "1.4.522"},
      {MIME_KEY, "Description", "NVR Link"},
      {MIME_KEY, "Suffixes", "nvr"},
  };
  for (const auto& v : values)
    if (!WriteRegText(HKEY_LOCAL_MACHINE, v.key, v.name, v.text)) in->failed = 1;
}

}  // namespace

void InstallWork(void* context, const char* folder, uint32_t flags, WizardReportProc report,
                 void* sink, WizardOutcome* outcome) {
  SetupRun* run = BeginWork(context, report, sink, outcome);
  Install* in = static_cast<Install*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(Install)));
  if (!in || !FindSaverPlace(&in->saver)) {
    Report(run, "Not enough memory, or the system folder's name is too long", nullptr);
    outcome->exitCode = SETUP_EXIT_FAILED;
    if (in) GlobalFree(in);
    return;
  }
  in->run = run;
  in->folder = folder;
  in->flags = flags;
  ReadUninstallRecord(&in->earlier);
  RemoveEarlierInstallation(in);
  PlaceProgramFolder(in);
  if (!in->failed) {
    PlaceSaverFile(in);
    MakeCurrent(in);
    PlacePlugin(in);
    if (!WriteUninstallRecord(&in->record, in->saver.recorded)) in->failed = 1;
  }
  // A held file's replacement takes its place at the restart, after any deletion of it that the
  // earlier installation's uninstaller left for then.
  if (!PlanInstallRestart(in->saver.recorded, in->saverHeld, in->saverDeletionPending, &in->plan,
                          in->heldCopies, &in->restart) ||
      !ScheduleAtRestart(&in->restart)) {
    Report(run, "Could not leave the replacements for the restart", nullptr);
    in->failed = 1;
  }
  ListWaiting(&in->restart, outcome->waiting, sizeof outcome->waiting);
  outcome->exitCode = SetupExitCode(in->failed, 0, in->restart.count, in->earlierExit);
  Report(run, in->failed ? "Setup could not complete" : "Completed", nullptr);
  GlobalFree(in);
}

// The uninstall: exactly what the record names. The screen saver and screen saving given back
// while ours is still current, the saver and every copy of the plug-in deleted (or at the
// restart, when a running program holds them), the keys, the uninstaller and its folder.
#include <windows.h>

#include "installer/setup_command.h"
#include "installer/setup_win.h"

namespace {

// How long the copy of the uninstaller waits for the uninstaller that started it to end, so
// that its file can be deleted: it ends at once, but a slow machine may take its time.
constexpr uint32_t UNINSTALLER_END_TRIES = 200;
constexpr uint32_t UNINSTALLER_END_PAUSE_MS = 50;

struct Uninstall {
  SetupRun* run;
  uint32_t heldCopies;
  uint32_t saverHeld;
  UninstallRecord record;
  SaverFile saver;
  RestartPlan restart;
};

void GiveBackCurrentSaver(Uninstall* un) {
  const UninstallRecord* record = &un->record;
  char current[SETUP_PATH_SIZE];
  int isSet = (record->has & RECORD_SAVER_SET) &&
              ReadCurrentSaver(record->saverPlace, current, sizeof current);
  GiveBack back = DecideGiveBack(record, isSet ? current : nullptr);
  if (back.saver == GIVE_BACK_REMOVE_SETTING) {
    Report(un->run, "No screen saver was current before: removing the setting", nullptr);
    WriteCurrentSaver(back.place, nullptr);
  }
  if (back.saver == GIVE_BACK_PREVIOUS) {
    Report(un->run, "Restoring the previous screen saver: ", back.previous);
    WriteCurrentSaver(back.place, back.previous);
  }
  if (back.setActive) SetScreenSaving(back.active);
}

// Deleted now, or 1 when a running program holds it (and the restart must do it). A replacement
// still waiting for the restart must not take its place then.
uint32_t DeleteOrHeld(const SetupRun* run, const char* path) {
  char replacement[SETUP_PATH_SIZE];
  if (ReplacementPath(path, replacement, sizeof replacement)) DeleteFileA(replacement);
  if (DeleteFileA(path) || !FileExists(path)) return 0;
  Report(run, "In use: removed when Windows restarts: ", path);
  return 1;
}

void DeleteFiles(Uninstall* un) {
  un->saverHeld = DeleteOrHeld(un->run, un->saver.reach);
  for (uint32_t i = 0; i < un->record.copyCount; ++i) {
    const PluginCopy* copy = &un->record.copies[i];
    if (DeleteOrHeld(un->run, copy->path)) un->heldCopies |= 1u << i;
    // A folder made for the copy goes with it; one made by the browser stays.
    else if (copy->madeFolder[0]) RemoveDirectoryA(copy->madeFolder);
  }
}

void DeleteKeys(const UninstallRecord* record) {
  DeleteRegTree(HKEY_LOCAL_MACHINE, SETUP_PLUGIN_KEY);
  char first[SETUP_PATH_SIZE];
  HKEY root;
  if ((record->has & RECORD_MADE_PLUGINS_ROOT) &&
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETUP_PLUGINS_ROOT, 0, KEY_READ, &root) == ERROR_SUCCESS) {
    // Only while empty: other plug-ins may have registered there since.
    bool empty = RegEnumKeyA(root, 0, first, sizeof first) != ERROR_SUCCESS;
    RegCloseKey(root);
    if (empty) RegDeleteKeyA(HKEY_LOCAL_MACHINE, SETUP_PLUGINS_ROOT);
  }
  DeleteRegTree(HKEY_LOCAL_MACHINE, SETUP_UNINSTALL_KEY);
}

// The uninstaller in folder: deleted by its copy, which runs elsewhere once it has ended; left
// to whoever ran it in its folder otherwise.
void DeleteUninstaller(const SetupRun* run, const char* folder) {
  char uninstaller[SETUP_PATH_SIZE];
  char own[SETUP_PATH_SIZE];
  FolderOf(run->self, own, sizeof own);
  if (SameText(own, folder) || !JoinPath(uninstaller, sizeof uninstaller, folder, "uninstall.exe"))
    return;
  for (uint32_t i = 0; i < UNINSTALLER_END_TRIES && !DeleteFileA(uninstaller) && FileExists(uninstaller); ++i)
    Sleep(UNINSTALLER_END_PAUSE_MS);
}

}  // namespace

void UninstallWork(void* context, const char* folder, uint32_t flags, WizardReportProc report,
                   void* sink, WizardOutcome* outcome) {
  SetupRun* run = BeginWork(context, report, sink, outcome);
  Uninstall* un = static_cast<Uninstall*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(Uninstall)));
  if (!un || !FindSaverPlace(&un->saver)) {
    outcome->exitCode = SETUP_EXIT_FAILED;
    if (un) GlobalFree(un);
    return;
  }
  un->run = run;
  ReadUninstallRecord(&un->record);
  GiveBackCurrentSaver(un);
  DeleteFiles(un);
  DeleteKeys(&un->record);
  DeleteUninstaller(run, folder);
  RemoveDirectoryA(folder);
  uint32_t failed = 0;
  // Our folder waits for the restart only when something in it does.
  if (!PlanUninstallRestart(un->saver.recorded, un->saverHeld, &un->record, un->heldCopies, folder,
                            FolderExists(folder), &un->restart) ||
      !ScheduleAtRestart(&un->restart)) {
    failed = 1;
  }
  ListWaiting(&un->restart, outcome->waiting, sizeof outcome->waiting);
  outcome->exitCode = SetupExitCode(failed, 0, un->restart.count, 0);
  Report(run, failed ? "The uninstall could not complete" : "Completed", nullptr);
  GlobalFree(un);
}

uint32_t RelayToCopy(const SetupRun* run, uint32_t flags) {
  char folder[SETUP_PATH_SIZE];
  char temp[SETUP_PATH_SIZE];
  char copy[SETUP_PATH_SIZE];
  char line[3 * SETUP_PATH_SIZE];
  FolderOf(run->self, folder, sizeof folder);
  DWORD n = GetTempPathA(sizeof temp, temp);
  if (!folder[0] || !n || n >= sizeof temp || !GetTempFileNameA(temp, "nvu", 0, copy) ||
      !CopyFileA(run->self, copy, FALSE) || !CopyText(line, sizeof line, "\"") ||
      !AppendText(line, sizeof line, copy) ||
      !AppendText(line, sizeof line, flags & SETUP_SILENT ? "\" /S _?=" : "\" _?=") ||
      !AppendText(line, sizeof line, folder)) {
    return SETUP_EXIT_FAILED;
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(copy, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    DeleteFileA(copy);
    return SETUP_EXIT_FAILED;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return SETUP_EXIT_DONE;
}

void ScheduleOwnDeletion(const SetupRun* run, const char* folder) {
  char own[SETUP_PATH_SIZE];
  FolderOf(run->self, own, sizeof own);
  if (SameText(own, folder)) return;
  RestartPlan* plan = static_cast<RestartPlan*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(RestartPlan)));
  if (!plan) return;
  plan->count = CopyText(plan->ops[0].from, sizeof plan->ops[0].from, run->self);
  ScheduleAtRestart(plan);
  GlobalFree(plan);
}

// The setup program's entry: one program in two roles. As nvr-setup.exe it installs; as
// "<folder>\uninstall.exe", or run for a folder ("_?="), it removes. "/S" shows nothing.
#include <windows.h>

#include "installer/setup_command.h"
#include "installer/setup_win.h"
#include "saver/host/command_line.h"

namespace {

const char* NextAnsiChar(const char* text) { return CharNextA(text); }

// Whether the program's own file is named uninstall.exe.
bool NamedUninstaller(const char* self) {
  const char* name = self;
  for (const char* p = self; *p; p = CharNextA(p))
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  return SameText(name, "uninstall.exe");
}

uint32_t Uninstall(SetupRun* run, const SetupCommand* command) {
  if (!(command->flags & SETUP_IN_PLACE)) return RelayToCopy(run, command->flags);
  uint32_t code;
  if (command->flags & SETUP_SILENT) {
    WizardOutcome outcome;
    UninstallWork(run, command->folder, command->flags, nullptr, nullptr, &outcome);
    code = outcome.exitCode;
  } else {
    code = RunUninstallWizard(run->instance, command->folder, UninstallWork, run);
  }
  ScheduleOwnDeletion(run, command->folder);
  return code;
}

uint32_t Install(SetupRun* run, const SetupCommand* command, int parsed) {
  char recorded[SETUP_PATH_SIZE];
  char programFiles[SETUP_PATH_SIZE];
  char folder[SETUP_PATH_SIZE];
  folder[0] = '\0';
  ReadRegText(HKEY_LOCAL_MACHINE, SETUP_UNINSTALL_KEY, "InstallLocation", recorded, sizeof recorded);
  if (!ReadRegText(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                   programFiles, sizeof programFiles)) {
    CopyText(programFiles, sizeof programFiles, "C:\\Program Files");
  }
  int usable = parsed && ChooseInstallFolder(command, recorded, programFiles, IsLeadAnsi, folder, sizeof folder);
  if (!(command->flags & SETUP_SILENT))
    return RunSetupWizard(run->instance, folder, command->flags, InstallWork, run);
  if (!usable) return SETUP_EXIT_FAILED;
  WizardOutcome outcome;
  InstallWork(run, folder, command->flags, nullptr, nullptr, &outcome);
  return outcome.exitCode;
}

}  // namespace

// The process entry, where the system starts the program: no runtime's start-up code runs
// before it.
extern "C" void WINAPI SetupEntry(void) {
  SetupRun run = {};
  run.instance = GetModuleHandleA(nullptr);
  DWORD n = GetModuleFileNameA(nullptr, run.self, sizeof run.self);
  SetupCommand command;
  int parsed = ParseSetupCommand(SkipProgramName(GetCommandLineA(), NextAnsiChar), &command);
  uint32_t code = SETUP_EXIT_FAILED;
  if (n && n < sizeof run.self)
    code = NamedUninstaller(run.self) || (command.flags & SETUP_IN_PLACE) ? Uninstall(&run, &command)
                                                                           : Install(&run, &command, parsed);
  ExitProcess(code);
}

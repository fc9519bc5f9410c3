// The setup program's Win32 side: the system facts it decides on, the registry and the files it
// reads and writes, and the two works, installing and removing.
#ifndef NVR_INSTALLER_SETUP_WIN_H
#define NVR_INSTALLER_SETUP_WIN_H

#include <windows.h>

#include <cstdint>

#include "installer/setup_files.h"
#include "installer/setup_record.h"
#include "installer/wizard_win.h"

// Resources: the packed deliverables.
enum : uint32_t {
  SETUP_PAYLOAD_SAVER = 100,
  SETUP_PAYLOAD_PLUGIN = 101,
};

// What both works share: the program's own module, and where to report.
struct SetupRun {
  HINSTANCE instance;
  WizardReportProc report;  // null when silent
  void* sink;
  char self[SETUP_PATH_SIZE];  // this program's file
};

void Report(const SetupRun* run, const char* first, const char* second);

int IsLeadAnsi(unsigned char byte);
uint32_t IsNtFamily();
// Whether this 32-bit program runs on a 64-bit system, whose system folder it sees redirected.
// Asked at run time: the question is not on Windows 95 or NT 4.0.
uint32_t IsWow64();
// The folder of path, without its separator; "" when it has none.
void FolderOf(const char* path, char* out, uint32_t outSize);
// The saver's place in the native system folder (setup_files.h).
int FindSaverPlace(SaverFile* out);

// Registry: a string value (1 when present and it fits), a DWORD or a string written (1 when
// written), a value or a whole key deleted (what was not there counts as deleted).
int ReadRegText(HKEY root, const char* key, const char* name, char* out, uint32_t outSize);
int WriteRegText(HKEY root, const char* key, const char* name, const char* text);
int WriteRegNumber(HKEY root, const char* key, const char* name, uint32_t number);
void DeleteRegValue(HKEY root, const char* key, const char* name);
void DeleteRegTree(HKEY root, const char* key);
// The record of what to undo, as the uninstall key holds it now.
void ReadUninstallRecord(UninstallRecord* record);
// The record's values written to the uninstall key, and those it lacks deleted there.
int WriteUninstallRecord(const UninstallRecord* record, const char* saver);

// The current screen saver where place keeps it: 1 with it in out, 0 when nothing is set there.
int ReadCurrentSaver(SaverPlace place, char* out, uint32_t outSize);
int WriteCurrentSaver(SaverPlace place, const char* saver);  // null removes the setting
uint32_t ScreenSaving();
void SetScreenSaving(uint32_t on);

uint32_t FileExists(const char* path);
uint32_t FolderExists(const char* path);
// Every missing folder on the way to path made; 1 when it exists then.
int MakeFolders(const char* path);
// data written whole to path, replacing what was there; 0 when the file cannot be written
// (held by a running program, or anything else).
int WriteWholeFile(const char* path, const unsigned char* data, uint32_t size);
// The packed deliverable of resource id, expanded into memory of its own (freed with
// GlobalFree); null when it is missing or malformed.
unsigned char* ExpandResource(HINSTANCE instance, uint32_t id, uint32_t* size);

// The operations carried out at the next start, each family its own way; 1 when scheduled.
int ScheduleAtRestart(const RestartPlan* plan);
// The files of plan, one a line, for the finish page.
void ListWaiting(const RestartPlan* plan, char* out, uint32_t outSize);

// Runs command line and waits for it; its exit code, or ~0 when it could not be started.
uint32_t RunAndWait(const char* commandLine);

// The start of either work: where it reports, and nothing waiting yet. Returns the run.
SetupRun* BeginWork(void* context, WizardReportProc report, void* sink, WizardOutcome* outcome);
// The works, as the wizard runs them (flags as setup_command.h; context a SetupRun).
void InstallWork(void* context, const char* folder, uint32_t flags, WizardReportProc report,
                 void* sink, WizardOutcome* outcome);
void UninstallWork(void* context, const char* folder, uint32_t flags, WizardReportProc report,
                   void* sink, WizardOutcome* outcome);


// The uninstaller cannot delete its own file while it runs: started from the program folder, it
// hands the work to a copy of itself in the temporary folder (run for the folder, "_?=") and
// ends. The copy deletes the uninstaller once that has ended, and its own file is deleted at the
// next restart. Returns the exit code of the first one.
uint32_t RelayToCopy(const SetupRun* run, uint32_t flags);
// The copy's own file, scheduled for deletion at the restart; nothing when run from folder.
void ScheduleOwnDeletion(const SetupRun* run, const char* folder);

#endif

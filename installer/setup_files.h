// Where the setup program's files go, what waits for the restart and in which order, and the
// exit code that tells a deployment tool whether a restart finishes the work.
#ifndef NVR_INSTALLER_SETUP_FILES_H
#define NVR_INSTALLER_SETUP_FILES_H

#include <cstdint>

#include "installer/setup_record.h"
#include "installer/setup_text.h"

// The saver in the system folder. recorded is the path the system's own launcher opens, written
// as the current saver, in DisplayIcon and in the operations for the restart (carried out by the
// system itself, in its native view). reach is where this 32-bit program writes and deletes it:
// the same path, except under WOW64, where its view of the system folder is redirected to the
// 32-bit one and the native folder is reached as "<windows>\Sysnative" (or by switching the
// redirection off around the access and using recorded). Returns 1; 0 when a path does not fit.
struct SaverFile {
  char recorded[SETUP_PATH_SIZE];
  char reach[SETUP_PATH_SIZE];
  uint32_t wow64;
};
int PlaceSaver(uint32_t isWow64, const char* windowsFolder, const char* systemFolder,
               IsLeadByteProc isLeadByte, SaverFile* out);

// A browser as the registry names it: "Install Directory" under <root>\<product>\<version>\Main,
// for root "Software\Netscape" and then "Software\Mozilla", in the order enumerated; exists when
// that folder exists.
struct BrowserEntry {
  const char* installDirectory;
  uint32_t exists;
};

// The plug-in's copies: one in the "Plugins" folder beside each browser whose folder exists, or
// one in "<installFolder>\Plugins" when none could be placed so. The first is the one
// registered. The same copy named twice (in any case, with or without a separator at the
// folder's end) is placed once. Folders too long for the copy's replacement, and browsers beyond SETUP_COPIES_MAX, are
// counted in leftOut. Each copy is recorded with TakeRecordCopy, its data the folder when this
// run made it: an earlier record of the same copy is kept.
struct PluginPlan {
  uint32_t count;
  uint32_t leftOut;
  char folder[SETUP_COPIES_MAX][SETUP_PATH_SIZE];
  char copy[SETUP_COPIES_MAX][SETUP_PATH_SIZE];
};
void PlanPluginCopies(const BrowserEntry* browsers, uint32_t browserCount,
                      const char* installFolder, IsLeadByteProc isLeadByte, PluginPlan* out);

enum : uint32_t {
  // The saver, each copy and its folder, and the installation folder.
  SETUP_RESTART_MAX = 2 * SETUP_COPIES_MAX + 2,
};

// One operation for the restart: from replaces to; with to "", from is deleted. A folder ends
// in '\\'.
struct RestartOp {
  char from[SETUP_PATH_SIZE];
  char to[SETUP_PATH_SIZE];
};

struct RestartPlan {
  uint32_t count;
  RestartOp ops[SETUP_RESTART_MAX];
};

// The replacement written beside a held file: "<path>.new". 1 when it fits; 0 with "" in out.
int ReplacementPath(const char* path, char* out, uint32_t outSize);

// An install: the saver (recorded path) waits as its replacement when a running program holds
// it, or when the earlier installation's uninstaller left its deletion for the restart (which
// would otherwise take the new one); then each copy of plan whose bit in heldCopies is set.
// Returns 1; 0 when a path does not fit (out then holds the operations before it).
int PlanInstallRestart(const char* saver, uint32_t saverHeld, uint32_t saverDeletionPending,
                       const PluginPlan* plan, uint32_t heldCopies, RestartPlan* out);

// An uninstall: the saver when held; each copy of the record whose bit in heldCopies is set, and
// after it the folder made for it; last the installation folder, when anything waits for the
// restart and the folder could not be removed now. Returns 1; 0 as above.
int PlanUninstallRestart(const char* saver, uint32_t saverHeld, const UninstallRecord* record,
                         uint32_t heldCopies, const char* folder, uint32_t folderKept,
                         RestartPlan* out);

// The 95 family carries the operations out from the [rename] section of WININIT.INI, given in
// short names: "NUL=<from>" deletes, "<to>=<from>" replaces, each line ended by "\r\n". Returns 1
// when the line fits out; 0 with "" in out when it does not, or when a name is empty or holds
// '=' or a line break.
int WininitLine(const char* shortFrom, const char* shortTo, char* out, uint32_t outSize);

// WININIT.INI's text (length bytes; 0 when there is no such file) with lines added at the end
// of its first [rename] section, which is added at the end of the text when there is none:
// earlier lines, an earlier uninstaller's among them, are carried out first. Returns 1 with
// *outLength bytes in out (and a terminating NUL); 0 when that does not fit (out holds "").
int AddRenameLines(const char* text, uint32_t length, const char* lines, char* out,
                   uint32_t outSize, uint32_t* outLength);

enum : uint32_t {
  SETUP_EXIT_DONE = 0,
  SETUP_EXIT_CANCELLED = 1,  // the user left the wizard
  SETUP_EXIT_FAILED = 2,     // a file or value could not be written, or an unusable folder
  SETUP_EXIT_RESTART = 3010, // complete only after a restart
};

// The exit code: 3010 whenever this run left operations for the restart, or an earlier
// installation's uninstaller ended with 3010, whatever held the file.
uint32_t SetupExitCode(uint32_t failed, uint32_t cancelled, uint32_t restartOps,
                       uint32_t earlierUninstallExit);

#endif

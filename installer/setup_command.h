// The setup program's command tail, for both of its roles, and the folder it installs into:
//   nvr-setup.exe [/S] [/NOCURRENT] [/D=folder]
//   "<folder>\uninstall.exe" /S [_?=folder]
// "/D=" and "_?=" come last and unquoted: everything after them is the folder.
#ifndef NVR_INSTALLER_SETUP_COMMAND_H
#define NVR_INSTALLER_SETUP_COMMAND_H

#include <cstdint>

#include "installer/setup_text.h"

enum : uint32_t {
  SETUP_SILENT = 1u << 0,      // "/S", exactly so: no window at all
  SETUP_NO_CURRENT = 1u << 1,  // "/NOCURRENT" in any case: the current screen saver stays
  SETUP_FOLDER = 1u << 2,      // "/D=": folder names where to install
  SETUP_IN_PLACE = 1u << 3,    // "_?=": the uninstaller runs where it lies, for folder
};

struct SetupCommand {
  uint32_t flags;
  char folder[SETUP_PATH_SIZE];  // as written, blanks at its end cut; "" without a folder option
};

// Reads the tail (what follows the program name). Options are separated by blanks (bytes up to
// 32); a quoted word runs to its closing quote. Any other word is ignored, as before. Returns 1;
// 0 when the folder given does not fit, which then is left out (SETUP_FOLDER and SETUP_IN_PLACE
// clear) while the other options stand.
int ParseSetupCommand(const char* tail, SetupCommand* command);

enum : uint32_t {
  // The longest name put below the installation folder: "\Plugins\NPNVR.DLL.new".
  SETUP_FOLDER_MAX = SETUP_PATH_SIZE - 1 - 22,
};

// The folder as installed into: absolute ("X:\..." or "\\server\share\..."), not a drive's or a
// share's root, none of * ? " < > | or control characters, no ':' but the drive's, and short
// enough for every name put below it. Separators and blanks at its end are cut. Returns 1 with
// the folder in out; 0 with "" in out when it cannot be installed into.
int CheckInstallFolder(const char* folder, IsLeadByteProc isLeadByte, char* out,
                       uint32_t outSize);

// The folder to offer: the one on the command line, else the earlier installation's (its
// recorded InstallLocation, or "" when none), else "Nuvora NVR" in programFiles. Returns 1 with
// the folder checked as above; 0 with "" in out when the command line names an unusable folder
// (a silent run then ends with an error). An unusable recorded folder falls back to the default.
int ChooseInstallFolder(const SetupCommand* command, const char* recorded,
                        const char* programFiles, IsLeadByteProc isLeadByte, char* out,
                        uint32_t outSize);

#endif

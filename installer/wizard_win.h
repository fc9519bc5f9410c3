// The setup program's wizard, in the platform's own look: dialog resources and the system font.
// The work itself (installing or removing) is the caller's: the progress page runs it and shows
// each step it reports.
#ifndef NVR_INSTALLER_WIZARD_WIN_H
#define NVR_INSTALLER_WIZARD_WIN_H

#include <windows.h>

#include <cstdint>

#include "installer/setup_text.h"

enum : uint32_t {
  WIZARD_WAITING_SIZE = 4096,
};

// What the work leaves for the finish page.
struct WizardOutcome {
  uint32_t exitCode;                    // SETUP_EXIT_* (setup_files.h)
  char waiting[WIZARD_WAITING_SIZE];    // the files that wait for the restart, one a line
                                        // ("\r\n" between them); "" when none
};

// Shows one step of the work on the progress page.
typedef void (*WizardReportProc)(void* sink, const char* line);

// The work: folder and flags (SETUP_* of setup_command.h) as the user chose them. Reports its
// steps through report(sink, line) and fills outcome.
typedef void (*WizardWorkProc)(void* context, const char* folder, uint32_t flags,
                               WizardReportProc report, void* sink, WizardOutcome* outcome);

// The setup's pages: what it installs; the folder (offered: folder, checked before going on);
// "Make NVR Glowpane my screen saver" (ticked unless SETUP_NO_CURRENT is in flags); progress
// (runs work once); finish (names any file that waits for the restart, and offers the restart).
// Returns the exit code: SETUP_EXIT_CANCELLED when the user left before the work began, else the
// work's.
uint32_t RunSetupWizard(HINSTANCE instance, const char* folder, uint32_t flags,
                        WizardWorkProc work, void* context);

// The uninstaller's pages: a confirmation naming folder; progress; finish (as above).
uint32_t RunUninstallWizard(HINSTANCE instance, const char* folder, WizardWorkProc work,
                            void* context);

#endif

#include "installer/wizard_win.h"

#include <cstring>

#include "installer/setup_command.h"
#include "installer/setup_files.h"
#include "installer/setup_win.h"
#include "installer/wizard_ids.h"

namespace {

// How a page was left: the value each page's dialog ends with.
enum : INT_PTR {
  MOVE_NEXT = 1,
  MOVE_BACK = 2,
  MOVE_CANCEL = 3,  // also the window closed; after the work it ends the wizard as Finish does
};

// Posted by the progress page to itself, so that the work starts once the page is on screen.
const UINT WM_WIZARD_WORK = WM_APP + 1;

enum : uint32_t {
  TEXT_SIZE = 1024,   // a page's composed text: the longest fixed one with a folder
  PAINT_ROUNDS = 64,  // bound on the paint messages let through per step, against a window
                      // that never validates
};

// The texts that differ between the setup and the uninstaller.
struct RoleText {
  const char* title;
  const char* working;     // progress page heading
  const char* done;        // finish page heading
  const char* failed;      // finish page heading when the work failed
  const char* doneText;
  const char* failedText;
  const char* waitingText; // above the list of files that wait for the restart
  const char* laterText;   // after it, when the work did not fail (room is short beside a failure)
};

const RoleText SETUP_TEXT = {
    "NVR Glowpane Setup",
    "Installing NVR Glowpane",
    "NVR Glowpane is installed",
    "Setup could not complete",
    "The screen saver is listed in the Display settings, and the browser plug-in opens NVR Link "
    "files (*.nvr) in your browser.\r\n\r\n"
    "Both work with the Nuvora main application, which this setup does not install. They find "
    "it through the file WIN.INI, section [NVR], key Exe; without that entry they look for "
    "c:\\nvr\\nvr.exe.\r\n\r\n"
    "To remove them, use Add/Remove Programs.",
    "A file or a setting could not be written: the steps shown before name it. Nothing that "
    "could not be written was changed. Run Setup again once the cause is removed.",
    "A running program (the screen saver, its preview in the Display settings, or a browser) "
    "holds a file that was installed before. The files below are replaced or removed when "
    "Windows restarts; until then the running program keeps using the old ones.",
    "\r\n\r\nTo remove the programs later, use Add/Remove Programs.",
};

const RoleText UNINSTALL_TEXT = {
    "NVR Glowpane Uninstall",
    "Removing NVR Glowpane",
    "NVR Glowpane is removed",
    "Uninstall could not complete",
    "The screen saver and the browser plug-in are removed.",
    "A file or a setting could not be removed: the steps shown before name it. Nothing that "
    "could not be removed was changed. Run the uninstaller again once the cause is removed.",
    "A running program (the screen saver, its preview, or a browser) holds one of the files. "
    "The files below are removed when Windows restarts.",
    "",
};

const WORD SETUP_PAGES[] = {IDD_WIZARD_INTRO, IDD_WIZARD_FOLDER, IDD_WIZARD_CHOICE,
                            IDD_WIZARD_PROGRESS, IDD_WIZARD_FINISH};
const WORD UNINSTALL_PAGES[] = {IDD_WIZARD_CONFIRM, IDD_WIZARD_PROGRESS, IDD_WIZARD_FINISH};

// One wizard run, shared by its pages through the dialog's DWLP_USER.
struct Wizard {
  const RoleText* text;
  WORD page;  // the dialog shown
  uint32_t flags;
  char folder[SETUP_PATH_SIZE];  // as offered or typed; checked before the work
  WizardWorkProc work;
  void* context;
  uint32_t working;   // the work runs: nothing but painting is answered
  uint32_t worked;    // the work has run, once and for all
  uint32_t restart;   // the user asked for the restart on the finish page
  HWND steps;         // the progress page's list, while the work runs
  int stepsWidth;     // the widest step in pixels, for the list's horizontal scrolling
  WizardOutcome outcome;
};

void SetText(HWND dialog, int id, const char* text) { SetDlgItemTextA(dialog, id, text); }

void ShowControl(HWND dialog, int id, uint32_t shown) {
  ShowWindow(GetDlgItem(dialog, id), shown ? SW_SHOW : SW_HIDE);
}

// The dialog manager's own way to move the focus, which also moves the default button.
void FocusControl(HWND dialog, int id) {
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, id)), TRUE);
}

// The work runs on this thread: let the windows paint what changed, and answer nothing else.
void PaintNow() {
  MSG message;
  for (uint32_t round = 0; round < PAINT_ROUNDS; ++round) {
    if (!PeekMessageA(&message, 0, WM_PAINT, WM_PAINT, PM_REMOVE)) return;
    DispatchMessageA(&message);
  }
}

// What a user or another program asks of the window by message: closing, commands, keys and
// clicks, on the client area or the frame.
const UINT INPUT_RANGES[][2] = {{WM_CLOSE, WM_CLOSE},
                                {WM_COMMAND, WM_SYSCOMMAND},
                                {WM_KEYFIRST, WM_KEYLAST},
                                {WM_MOUSEFIRST, WM_MOUSELAST},
                                {WM_NCMOUSEMOVE, WM_NCMBUTTONDBLCLK}};

// What was asked while the work ran is dropped, not answered late: by then the buttons it aimed
// at are enabled again, and a close would skip the finish page.
void DropInput() {
  MSG message;
  for (const auto& range : INPUT_RANGES) {
    while (PeekMessageA(&message, 0, range[0], range[1], PM_REMOVE)) {
    }
  }
}

// Widens the list's horizontal scrolling to a long step (a path), measured in the list's font.
void FitStep(Wizard* wizard, const char* line) {
  HDC dc = GetDC(wizard->steps);
  if (dc == 0) return;
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(wizard->steps, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font ? SelectObject(dc, font) : 0;
  RECT box = {0, 0, 0, 0};
  DrawTextA(dc, line, -1, &box, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  if (previous) SelectObject(dc, previous);
  ReleaseDC(wizard->steps, dc);
  int width = box.right + 8;  // the margin the list leaves at the left of an item, and more
  if (width > wizard->stepsWidth) {
    wizard->stepsWidth = width;
    SendMessageA(wizard->steps, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width), 0);
  }
}

// WizardReportProc: adds the step at the end of the list, scrolled into view, and paints it.
void ReportStep(void* sink, const char* line) {
  Wizard* wizard = static_cast<Wizard*>(sink);
  if (line == 0) return;
  LRESULT index = SendMessageA(wizard->steps, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
  if (index >= 0) {
    FitStep(wizard, line);
    SendMessageA(wizard->steps, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
  }
  PaintNow();
}

void RunWork(HWND dialog, Wizard* wizard) {
  if (wizard->worked || wizard->working) return;
  wizard->working = 1;
  wizard->steps = GetDlgItem(dialog, IDC_WIZARD_STEPS);
  PaintNow();  // the page itself, before the first step
  // What a work that ends without filling the outcome leaves.
  wizard->outcome.exitCode = SETUP_EXIT_FAILED;
  wizard->outcome.waiting[0] = '\0';
  wizard->work(wizard->context, wizard->folder, wizard->flags, ReportStep, wizard,
               &wizard->outcome);
  wizard->outcome.waiting[WIZARD_WAITING_SIZE - 1] = '\0';
  DropInput();
  wizard->working = 0;
  wizard->worked = 1;
  SetText(dialog, IDC_WIZARD_TEXT, "Click Next to continue.");
  EnableWindow(GetDlgItem(dialog, IDC_WIZARD_NEXT), TRUE);
  FocusControl(dialog, IDC_WIZARD_NEXT);
}

void ShowConfirm(HWND dialog, const Wizard* wizard) {
  char text[TEXT_SIZE];
  CopyText(text, sizeof text, "NVR Glowpane will be removed from ");
  AppendText(text, sizeof text, wizard->folder);
  AppendText(text, sizeof text,
             ", with its screen saver in the Windows system folder and every copy of the NPNVR "
             "browser plug-in that Setup placed. The screen saver that was current before comes "
             "back when NVR Glowpane is still the current one.\r\n\r\n"
             "Click Uninstall to begin.");
  SetText(dialog, IDC_WIZARD_TEXT, text);
}

// The outcome: the text alone, or a shorter one above the files that wait for the restart and
// the offer of it.
void ShowFinish(HWND dialog, const Wizard* wizard) {
  const RoleText* text = wizard->text;
  uint32_t failed = wizard->outcome.exitCode == SETUP_EXIT_FAILED;
  uint32_t waiting = wizard->outcome.waiting[0] != '\0';
  SetText(dialog, IDC_WIZARD_HEADING, failed ? text->failed : text->done);
  if (!waiting) {
    SetText(dialog, IDC_WIZARD_TEXT, failed ? text->failedText : text->doneText);
  } else {
    char body[TEXT_SIZE];
    CopyText(body, sizeof body, failed ? text->failedText : "");
    if (failed) AppendText(body, sizeof body, "\r\n\r\n");
    AppendText(body, sizeof body, text->waitingText);
    if (!failed) AppendText(body, sizeof body, text->laterText);
    SetText(dialog, IDC_WIZARD_RESTART_TEXT, body);
    SetText(dialog, IDC_WIZARD_WAITING, wizard->outcome.waiting);
  }
  ShowControl(dialog, IDC_WIZARD_TEXT, !waiting);
  ShowControl(dialog, IDC_WIZARD_RESTART_TEXT, waiting);
  ShowControl(dialog, IDC_WIZARD_WAITING, waiting);
  ShowControl(dialog, IDC_WIZARD_RESTART, waiting);
}

// Returns what WM_INITDIALOG returns: TRUE lets the dialog manager focus the first tab stop.
BOOL InitPage(HWND dialog, Wizard* wizard) {
  SetWindowTextA(dialog, wizard->text->title);
  switch (wizard->page) {
    case IDD_WIZARD_INTRO:
      SetText(dialog, IDC_WIZARD_HEADING, "What this setup installs");
      return TRUE;
    case IDD_WIZARD_FOLDER:
      SetText(dialog, IDC_WIZARD_HEADING, "Choose the program folder");
      SendMessageA(GetDlgItem(dialog, IDC_WIZARD_FOLDER), EM_LIMITTEXT, SETUP_PATH_SIZE - 1, 0);
      SetText(dialog, IDC_WIZARD_FOLDER, wizard->folder);
      return TRUE;
    case IDD_WIZARD_CHOICE:
      SetText(dialog, IDC_WIZARD_HEADING, "Choose the screen saver");
      CheckDlgButton(dialog, IDC_WIZARD_CURRENT,
                     (wizard->flags & SETUP_NO_CURRENT) ? BST_UNCHECKED : BST_CHECKED);
      return TRUE;
    case IDD_WIZARD_CONFIRM:
      SetText(dialog, IDC_WIZARD_HEADING, "Remove NVR Glowpane");
      ShowConfirm(dialog, wizard);
      return TRUE;
    case IDD_WIZARD_PROGRESS:
      SetText(dialog, IDC_WIZARD_HEADING, wizard->text->working);
      SetText(dialog, IDC_WIZARD_TEXT, "Each step is listed as it is done.");
      PostMessageA(dialog, WM_WIZARD_WORK, 0, 0);
      return TRUE;
    case IDD_WIZARD_FINISH:
      ShowFinish(dialog, wizard);
      FocusControl(dialog, IDC_WIZARD_NEXT);
      return FALSE;
    default:
      return TRUE;
  }
}

// Keeps what the page's controls say, whichever way it is left.
void KeepPage(HWND dialog, Wizard* wizard) {
  switch (wizard->page) {
    case IDD_WIZARD_FOLDER:
      GetDlgItemTextA(dialog, IDC_WIZARD_FOLDER, wizard->folder, sizeof wizard->folder);
      break;
    case IDD_WIZARD_CHOICE:
      if (IsDlgButtonChecked(dialog, IDC_WIZARD_CURRENT) == BST_CHECKED) {
        wizard->flags &= ~static_cast<uint32_t>(SETUP_NO_CURRENT);
      } else {
        wizard->flags |= SETUP_NO_CURRENT;
      }
      break;
    case IDD_WIZARD_FINISH:
      wizard->restart = wizard->outcome.waiting[0] != '\0' &&
                        IsDlgButtonChecked(dialog, IDC_WIZARD_RESTART) == BST_CHECKED;
      break;
    default:
      break;
  }
}

// The folder typed must pass the setup's own check before the work may use it; the page says
// why when it does not, and stays.
int AcceptFolder(HWND dialog, Wizard* wizard) {
  char checked[SETUP_PATH_SIZE];
  if (!CheckInstallFolder(wizard->folder, IsLeadAnsi, checked, sizeof checked)) {
    SetText(dialog, IDC_WIZARD_FOLDER_ERROR,
            "This folder cannot be used. Type a full path such as C:\\Program Files\\Nuvora NVR: "
            "not the root of a drive or a share, without * ? \" < > |, and short enough for the "
            "files put into it.");
    FocusControl(dialog, IDC_WIZARD_FOLDER);
    return 0;
  }
  CopyText(wizard->folder, sizeof wizard->folder, checked);
  return 1;
}

// A button's command; a disabled one's (a mnemonic, or a click read after the work) is ignored.
BOOL Command(HWND dialog, Wizard* wizard, int id) {
  if (id != IDC_WIZARD_NEXT && id != IDC_WIZARD_BACK && id != IDCANCEL) return FALSE;
  if (wizard->working || !IsWindowEnabled(GetDlgItem(dialog, id))) return TRUE;
  if (id == IDCANCEL) {
    EndDialog(dialog, MOVE_CANCEL);
    return TRUE;
  }
  KeepPage(dialog, wizard);
  if (id == IDC_WIZARD_BACK) {
    EndDialog(dialog, MOVE_BACK);
  } else if (wizard->page != IDD_WIZARD_FOLDER || AcceptFolder(dialog, wizard)) {
    EndDialog(dialog, MOVE_NEXT);
  }
  return TRUE;
}

INT_PTR CALLBACK WizardProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  Wizard* wizard = reinterpret_cast<Wizard*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      return InitPage(dialog, reinterpret_cast<Wizard*>(lParam));
    case WM_COMMAND:
      return wizard ? Command(dialog, wizard, LOWORD(wParam)) : FALSE;
    case WM_CLOSE:
      // The close box and Alt+F4 are Cancel, on every page and whatever its buttons; during the
      // work nothing ends it.
      if (wizard && !wizard->working) EndDialog(dialog, MOVE_CANCEL);
      return TRUE;
    case WM_WIZARD_WORK:
      if (wizard) RunWork(dialog, wizard);
      return TRUE;
    default:
      return FALSE;
  }
}

// On NT the restart needs the shutdown privilege, which a token holds but has off; the 95
// family has no tokens. A refused restart leaves the exit code to say that one is needed.
void RestartWindows() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    HANDLE token;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
      TOKEN_PRIVILEGES privileges = {};
      privileges.PrivilegeCount = 1;
      privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
      if (LookupPrivilegeValueA(0, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, 0, 0);
      }
      CloseHandle(token);
    }
  }
  ExitWindowsEx(EWX_REBOOT, 0);
}

// Shows the pages in turn, each as a modal dialog that ends with the way it was left.
uint32_t RunPages(HINSTANCE instance, Wizard* wizard, const WORD* pages, uint32_t count) {
  uint32_t index = 0;
  for (;;) {
    wizard->page = pages[index];
    INT_PTR move = DialogBoxParamA(instance, MAKEINTRESOURCEA(pages[index]), 0, WizardProc,
                                   reinterpret_cast<LPARAM>(wizard));
    if (move == MOVE_NEXT && index + 1 < count) {
      ++index;
    } else if (move == MOVE_BACK && index > 0) {
      --index;
    } else if (move == MOVE_NEXT || move == MOVE_CANCEL) {
      break;
    } else {
      // No page could be shown (a missing resource, no memory): nothing the user chose.
      return wizard->worked ? wizard->outcome.exitCode : SETUP_EXIT_FAILED;
    }
  }
  if (!wizard->worked) return SETUP_EXIT_CANCELLED;
  if (wizard->restart) RestartWindows();
  return wizard->outcome.exitCode;
}

void StartWizard(Wizard* wizard, const RoleText* text, const char* folder, uint32_t flags,
                 WizardWorkProc work, void* context) {
  std::memset(wizard, 0, sizeof *wizard);
  wizard->text = text;
  wizard->flags = flags;
  // An offered folder too long to show is offered as "": the check then says so.
  CopyText(wizard->folder, sizeof wizard->folder, folder ? folder : "");
  wizard->work = work;
  wizard->context = context;
}

}  // namespace

uint32_t RunSetupWizard(HINSTANCE instance, const char* folder, uint32_t flags,
                        WizardWorkProc work, void* context) {
  Wizard wizard;
  StartWizard(&wizard, &SETUP_TEXT, folder, flags, work, context);
  return RunPages(instance, &wizard, SETUP_PAGES, sizeof SETUP_PAGES / sizeof SETUP_PAGES[0]);
}

uint32_t RunUninstallWizard(HINSTANCE instance, const char* folder, WizardWorkProc work,
                            void* context) {
  Wizard wizard;
  StartWizard(&wizard, &UNINSTALL_TEXT, folder, 0, work, context);
  return RunPages(instance, &wizard, UNINSTALL_PAGES,
                  sizeof UNINSTALL_PAGES / sizeof UNINSTALL_PAGES[0]);
}

#include "saver/host/config_dialog_win.h"

#include "saver/host/frame_state_win.h"
#include "saver/resources/resource_ids.h"

// 1 = content on the saver screen is selected by Alt+click, 0 = by a plain click. Only stored
// here; the saver itself never acts on it.
int stopOnMouseMove = 0;

namespace {

// Both come from the string table; the sizes hold the texts with their terminators.
char pwProtectedKey[22];
char profileFile[13];

// The profile section is the one with the empty name: "" and not null, which would mean
// "every section" to the profile functions.
const char SETTINGS_SECTION[] = "";
const char STOP_ON_MOUSE_MOVE_KEY[] = "StopOnMouseMove";

}  // namespace

void LoadConfigStrings() {
  LoadStringA(frameState.moduleInstance, IDS_PWPROTECTED_KEY, pwProtectedKey,
              sizeof pwProtectedKey);
  LoadStringA(frameState.moduleInstance, IDS_CONTROL_INI, profileFile, sizeof profileFile);
}

void ReadSettings() {
  stopOnMouseMove = static_cast<int>(
      GetPrivateProfileIntA(SETTINGS_SECTION, STOP_ON_MOUSE_MOVE_KEY, 0, profileFile));
}

// The dialog has no password control, so the password setting is always written off; the
// system's own screen-saver password is what guards the saver.
void WriteSettings() {
  WritePrivateProfileStringA(SETTINGS_SECTION, pwProtectedKey, "0", profileFile);
  WritePrivateProfileStringA(SETTINGS_SECTION, STOP_ON_MOUSE_MOVE_KEY,
                             stopOnMouseMove ? "1" : "0", profileFile);
}

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      LoadConfigStrings();
      ReadSettings();
      CheckDlgButton(dialog, IDC_ALT_CLICK, static_cast<UINT>(stopOnMouseMove));
      CheckDlgButton(dialog, IDC_PLAIN_CLICK, stopOnMouseMove == 0 ? 1 : 0);
      return TRUE;  // the platform puts the focus on the first tab stop: OK
    case WM_COMMAND:
      // Only the Alt-click button decides; the plain-click one is its complement.
      if (wParam == IDOK) {
        stopOnMouseMove = IsDlgButtonChecked(dialog, IDC_ALT_CLICK) == BST_CHECKED ? 1 : 0;
        WriteSettings();
        EndDialog(dialog, 1);
      } else if (wParam == IDCANCEL) {
        EndDialog(dialog, 0);
      }
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR ShowConfigDialog(HWND owner) {
  return DialogBoxParamA(frameState.moduleInstance, MAKEINTRESOURCEA(IDD_CONFIG), owner,
                         ConfigDialogProc, 0);
}

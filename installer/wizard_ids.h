// Resource identifiers of the setup program's wizard, shared by wizard.rc and wizard_win.cpp.
// All lie in 1000-1999, apart from the setup's other resources; Cancel is IDCANCEL, so that Esc
// reaches it through the dialog manager.
#ifndef NVR_INSTALLER_WIZARD_IDS_H
#define NVR_INSTALLER_WIZARD_IDS_H

// The pages, one dialog each, all of one size.
#define IDD_WIZARD_INTRO 1000     // what the setup installs
#define IDD_WIZARD_FOLDER 1001    // the installation folder
#define IDD_WIZARD_CHOICE 1002    // whether ours becomes the current screen saver
#define IDD_WIZARD_PROGRESS 1003  // the work's steps, for setup and uninstall alike
#define IDD_WIZARD_FINISH 1004    // the outcome and the offer to restart, for both
#define IDD_WIZARD_CONFIRM 1005   // the uninstaller's confirmation

// The buttons at the foot of every page. Next is also Install, Uninstall and Finish.
#define IDC_WIZARD_BACK 1100
#define IDC_WIZARD_NEXT 1101

// The pages' controls.
#define IDC_WIZARD_HEADING 1110       // the page's heading, beside the icon
#define IDC_WIZARD_TEXT 1111          // the page's text under it
#define IDC_WIZARD_FOLDER 1112        // edit: the folder to install into
#define IDC_WIZARD_FOLDER_ERROR 1113  // why the folder typed cannot be used ("" until then)
#define IDC_WIZARD_CURRENT 1114       // checkbox: make ours the current screen saver
#define IDC_WIZARD_STEPS 1115         // list box: the work's steps
#define IDC_WIZARD_RESTART_TEXT 1116  // finish: the text shown when files wait for the restart
#define IDC_WIZARD_WAITING 1117       // finish: read-only edit naming those files
#define IDC_WIZARD_RESTART 1118       // finish: checkbox "Restart Windows now"

#endif

#include "saver/host/config_dialog_win.h"

// Placeholder until the dialog lands: a dialog that cannot be created.
INT_PTR ShowConfigDialog(HWND) { return -1; }

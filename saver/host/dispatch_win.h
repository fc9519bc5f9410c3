#ifndef NVR_SAVER_HOST_DISPATCH_WIN_H
#define NVR_SAVER_HOST_DISPATCH_WIN_H

#include <windows.h>

// Runs the mode that the command tail asks for and returns the process exit code. A fault
// escaping the mode is offered to the platform's unhandled-exception filter; when that asks for
// it to be handled, the saver-running state is switched off and the process ends with the
// result of that call as exit code.
int DispatchCommandLine(HINSTANCE moduleInstance, const char* tail);

#endif

#include <windows.h>

#include "saver/host/command_line.h"
#include "saver/host/dispatch_win.h"

namespace {

const char* NextAnsiChar(const char* text) { return CharNextA(text); }

}  // namespace

// The process entry, where the system starts the program: no runtime's start-up code runs
// before it. The system starts the saver with a command line of its own making; this removes
// the program name and ends the process with the mode's result.
extern "C" void WINAPI SaverEntry(void) {
  const char* tail = SkipProgramName(GetCommandLineA(), NextAnsiChar);
  ExitProcess(static_cast<UINT>(DispatchCommandLine(GetModuleHandleA(nullptr), tail)));
}

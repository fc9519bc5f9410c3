#include <windows.h>

#include "saver/host/command_line.h"
#include "saver/host/dispatch_win.h"

namespace {

const char* NextAnsiChar(const char* text) { return CharNextA(text); }

}  // namespace

// The system starts the saver with a command line of its own making; the runtime's split of it
// plays no part.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const char* tail = SkipProgramName(GetCommandLineA(), NextAnsiChar);
  ExitProcess(static_cast<UINT>(DispatchCommandLine(GetModuleHandleA(nullptr), tail)));
}

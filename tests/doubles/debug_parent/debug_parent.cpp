// A debugging parent: runs the rest of its command line as a program it debugs and appends
// every text that program writes to the debugger's output to LOG, one line each, with line
// feeds shown as \n. Exits with the program's exit code.
//
//   debug_parent.exe LOG PROGRAM [ARGS...]
#include <windows.h>

#include <cstring>

namespace {

const DWORD MAX_TEXT = 1024;

// The rest of the command line after the first two arguments (this program and LOG).
const char* SkipArguments(const char* line, int count) {
  for (int i = 0; i < count; ++i) {
    while (*line == ' ' || *line == '\t') ++line;
    bool quoted = false;
    while (*line && (quoted || (*line != ' ' && *line != '\t'))) {
      if (*line == '"') quoted = !quoted;
      ++line;
    }
  }
  while (*line == ' ' || *line == '\t') ++line;
  return line;
}

void Append(HANDLE log, const char* text, DWORD length) {
  char line[2 * MAX_TEXT + 3];
  DWORD n = 0;
  for (DWORD i = 0; i < length && text[i]; ++i) {
    if (text[i] == '\n') {
      line[n++] = '\\';
      line[n++] = 'n';
    } else {
      line[n++] = text[i];
    }
  }
  line[n++] = '\r';
  line[n++] = '\n';
  DWORD written = 0;
  WriteFile(log, line, n, &written, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return -1;
  HANDLE log = CreateFileA(argv[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return -1;
  char commandLine[4096];
  lstrcpynA(commandLine, SkipArguments(GetCommandLineA(), 2), sizeof commandLine);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                      nullptr, nullptr, &startup, &process))
    return -1;
  DWORD exitCode = static_cast<DWORD>(-1);
  for (;;) {
    DEBUG_EVENT event;
    if (!WaitForDebugEvent(&event, INFINITE)) break;
    DWORD status = DBG_CONTINUE;
    if (event.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT) {
      const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
      char text[MAX_TEXT];
      DWORD length = info.nDebugStringLength < MAX_TEXT ? info.nDebugStringLength : MAX_TEXT;
      SIZE_T read = 0;
      if (!info.fUnicode &&
          ReadProcessMemory(process.hProcess, info.lpDebugStringData, text, length, &read))
        Append(log, text, static_cast<DWORD>(read));
    } else if (event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT) {
      // Not ours to handle: the program's own handlers and filters decide.
      if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
        status = DBG_EXCEPTION_NOT_HANDLED;
    } else if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) {
      if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
    } else if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) {
      if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
    }
    bool ended = event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT;
    if (ended) exitCode = event.u.ExitProcess.dwExitCode;
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    if (ended) break;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseHandle(log);
  return static_cast<int>(exitCode);
}

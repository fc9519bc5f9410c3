// Sends one command to the first top-level window of a class and tells what came of it.
//
//   nvr_send.exe CLASS TEXT      TEXT as WM_COPYDATA; prints the window's reply
//   nvr_send.exe CLASS --close   WM_CLOSE; waits for the window's process to end, prints its
//                                exit code
//   nvr_send.exe --redraw HWND   the window (a decimal handle) exposed and repainted, as when a
//                                covering window moves away
//   nvr_send.exe --item TITLE ID     prints the text of item ID of the dialog titled TITLE
//   nvr_send.exe --click TITLE ID    clicks button ID of that dialog, as the user does
//
// Exit code 0 when the window took the command (and, for --close, its process ended in time).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const DWORD REPLY_WAIT_MS = 15000;
const DWORD EXIT_WAIT_MS = 15000;

int Close(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
  if (!process || !PostMessageA(window, WM_CLOSE, 0, 0)) {
    if (process) CloseHandle(process);
    printf("could not close the window\n");
    return 1;
  }
  DWORD waited = WaitForSingleObject(process, EXIT_WAIT_MS);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  if (waited != WAIT_OBJECT_0) {
    printf("the process did not end within %lu ms\n", static_cast<unsigned long>(EXIT_WAIT_MS));
    return 1;
  }
  printf("ended with exit code %ld\n", static_cast<long>(code));
  return 0;
}

// A dialog's item, for the demo to walk a wizard: its text printed, or the button clicked (posted,
// so that the dialog's work does not hold this program).
int Item(const char* mode, const char* title, const char* id) {
  HWND dialog = FindWindowA("#32770", title);
  HWND item = dialog ? GetDlgItem(dialog, atoi(id)) : nullptr;
  if (!item) {
    printf("no item %s in a dialog titled %s\n", id, title);
    return 1;
  }
  if (strcmp(mode, "--click") == 0)
    return IsWindowEnabled(item) && PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(atoi(id), BN_CLICKED),
                                                 reinterpret_cast<LPARAM>(item)) ? 0 : 1;
  char text[512];
  GetWindowTextA(item, text, sizeof text);
  printf("%s\n", text);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && (strcmp(argv[1], "--item") == 0 || strcmp(argv[1], "--click") == 0))
    return Item(argv[1], argv[2], argv[3]);
  if (argc != 3) {
    printf("usage: nvr_send CLASS TEXT|--close, nvr_send --redraw HWND, nvr_send --item|--click TITLE ID\n");
    return 2;
  }
  if (strcmp(argv[1], "--redraw") == 0) {
    HWND target = reinterpret_cast<HWND>(static_cast<INT_PTR>(strtol(argv[2], nullptr, 10)));
    return IsWindow(target) && RedrawWindow(target, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE) ? 0 : 1;
  }
  HWND window = FindWindowA(argv[1], nullptr);
  if (!window) {
    printf("no window of class %s\n", argv[1]);
    return 1;
  }
  if (strcmp(argv[2], "--close") == 0) return Close(window);
  COPYDATASTRUCT data = {0, static_cast<DWORD>(strlen(argv[2])), argv[2]};
  DWORD_PTR reply = 0;
  if (!SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                           REPLY_WAIT_MS, &reply)) {
    printf("no reply\n");
    return 1;
  }
  printf("%ld\n", static_cast<long>(static_cast<LONG_PTR>(reply)));
  return 0;
}

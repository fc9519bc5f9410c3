// Stand-in for the system's password module, loaded by the saver from its own folder. The test
// steers it through the saver's environment:
//   NVR_PASSWORD_LOG     file that receives one line per event (LOAD, PROMPT, ANSWER, UNLOAD)
//   NVR_PASSWORD_ANSWER  the answer of a prompt that is not held (decimal; default 0, refuse)
//   NVR_PASSWORD_EVENTS  prefix of three named events that hold the prompt open: the module
//                        sets "<prefix>-started" when a prompt begins, then keeps pumping the
//                        thread's messages, as a modal prompt does, until the test sets
//                        "<prefix>-accept" (answer 1) or "<prefix>-refuse" (answer 0); each
//                        message it dispatches meanwhile is logged as PUMPED <hex number>
//   NVR_PASSWORD_NUDGE   "DX DY": at each prompt the mouse moves by that much, as a user's hand
//                        does while typing, from inside the saver's process (under Wine a
//                        full-screen window's process holds the pointer, and only its own moves
//                        reach the screen); logged as NUDGED <x> <y>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

const DWORD HOLD_LIMIT_MS = 30000;  // a test that never releases the prompt: refuse

DWORD Environment(const char* name, char* value, DWORD size) {
  DWORD n = GetEnvironmentVariableA(name, value, size);
  return n < size ? n : 0;  // absent, or too long to be ours
}

void Log(const char* line) {
  char path[MAX_PATH];
  if (!Environment("NVR_PASSWORD_LOG", path, sizeof path)) return;
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, lstrlenA(line), &written, nullptr);
  WriteFile(file, "\r\n", 2, &written, nullptr);
  CloseHandle(file);
}

HANDLE OpenNamedEvent(const char* prefix, const char* suffix) {
  char name[MAX_PATH];
  if (snprintf(name, sizeof name, "%s-%s", prefix, suffix) >= static_cast<int>(sizeof name))
    return nullptr;
  return OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name);
}

// The running state as the saver's process sees it while the prompt is up; -1 unanswered.
int RunningState() {
  BOOL running = FALSE;
  if (!SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0)) return -1;
  return running ? 1 : 0;
}

// Dispatches everything queued for the thread, as a modal prompt's loop would; a quit
// message is put back for the loop it belongs to.
bool PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
    // Written once the saver has handled it, so the test knows what reached it meanwhile.
    char line[64];
    snprintf(line, sizeof line, "PUMPED %x", message.message);
    Log(line);
  }
  return true;
}

BOOL HoldPrompt(const char* prefix) {
  HANDLE started = OpenNamedEvent(prefix, "started");
  HANDLE releases[2] = {OpenNamedEvent(prefix, "accept"), OpenNamedEvent(prefix, "refuse")};
  BOOL answer = FALSE;
  if (started && releases[0] && releases[1]) {
    SetEvent(started);
    DWORD begin = GetTickCount();
    for (;;) {
      DWORD spent = GetTickCount() - begin;
      if (spent >= HOLD_LIMIT_MS) {
        Log("TIMEOUT");
        break;
      }
      // Input queued before the prompt began must wake the wait too, or it is never pumped.
      DWORD woke = MsgWaitForMultipleObjectsEx(2, releases, HOLD_LIMIT_MS - spent, QS_ALLINPUT,
                                               MWMO_INPUTAVAILABLE);
      if (woke == WAIT_OBJECT_0) {
        answer = TRUE;
        break;
      }
      if (woke == WAIT_OBJECT_0 + 1) break;
      if (woke == WAIT_OBJECT_0 + 2 && !PumpMessages()) break;
    }
  } else {
    Log("NOEVENTS");
  }
  if (started) CloseHandle(started);
  for (HANDLE h : releases)
    if (h) CloseHandle(h);
  return answer;
}

void Nudge() {
  char text[64];
  int dx = 0, dy = 0;
  POINT at;
  if (!Environment("NVR_PASSWORD_NUDGE", text, sizeof text) ||
      sscanf(text, "%d %d", &dx, &dy) != 2 || !GetCursorPos(&at))
    return;
  SetCursorPos(at.x + dx, at.y + dy);
  char line[64];
  snprintf(line, sizeof line, "NUDGED %ld %ld", static_cast<long>(at.x + dx), static_cast<long>(at.y + dy));
  Log(line);
}

}  // namespace

extern "C" BOOL WINAPI VerifyScreenSavePwd(HWND window) {
  char line[128];
  snprintf(line, sizeof line, "PROMPT window=%lx running=%d",
           static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)), RunningState());
  Log(line);
  Nudge();
  char text[64];
  BOOL answer;
  if (Environment("NVR_PASSWORD_EVENTS", text, sizeof text))
    answer = HoldPrompt(text);
  else
    answer = Environment("NVR_PASSWORD_ANSWER", text, sizeof text) ? atoi(text) : 0;
  snprintf(line, sizeof line, "ANSWER %d", answer);
  Log(line);
  return answer;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) Log("LOAD");
  if (reason == DLL_PROCESS_DETACH) Log("UNLOAD");
  return TRUE;
}

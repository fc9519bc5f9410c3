// A stand-in for the main application: a top-level window that answers "QuibWhoAmI" as the
// application does, records every link message it receives in a log the tests read, and
// answers each kind with the reply the test chose on its command line.
//
//   --log PATH          append one line per event to PATH
//   --reply KIND=VALUE  reply to forwarded saver messages of KIND (decimal message number, or
//                       `any` for every kind not named); also the reply to the plug-in's sent
//                       messages, named by their own number (3174, 3179, 3180). Default 0.
//   --whoami VALUE      answer to WHOAMI_APP (default 2)
//   --late MS           create the window only after MS milliseconds
//   --busy-on-window MS  once its window exists and what came for it is taken, take no message
//                       for MS milliseconds (busy, not hung: it took messages just before)
//   --palette           answer LM_GETPALETTE with a palette of its own (else 0)
//   --hang-after N      stop pumping messages after the N-th forwarded message
//   --crash-after N     crash (access violation) after the N-th forwarded message
//   --title TEXT        window title (default "NVR stand-in")
//   --show CMD          ShowWindow command for its window (default 7, minimised, not active)
//   --started-event NAME  set the named event when LM_SAVERSTARTED arrives (for timing)
//   --hang-on MSG       stop pumping messages at message MSG (decimal), without answering it
//   --command-on MSG=TEXT  at message MSG, first hand TEXT to the browser-like host (its page
//                       window, as a WM_COPYDATA), once; then answer MSG as usual
//   --crowd N           N more top-level windows, hidden, with the default window procedure
//   --quit              end right after the START lines, without a window
//   --log-probes        log each "QuibWhoAmI" it is asked (PROBED), to count searches
//
// Posted WM_APP + 3 with wParam MS makes it busy for MS milliseconds (BUSY, then AWAKE).
//
// Started without --log (as the plug-in starts it from its default path), it logs to the file
// named by the environment variable NVR_STANDIN_LOG, if set. On "PluginClosing" it asks the
// window of the last "PluginShowAgain" for its status text, as an application would before it
// lets go (the plug-in answers only while that window is still its own), then sends it a scroll
// and logs the answer (LOOKED).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/link_protocol.h"

namespace {

const int MAX_REPLIES = 32;

struct ReplyRule {
  DWORD message;
  LRESULT value;
};

struct StandInState {
  HANDLE log;
  ReplyRule replies[MAX_REPLIES];
  int replyCount;
  LRESULT anyReply;
  LRESULT whoAmIAnswer;
  DWORD lateMs;
  DWORD busyOnWindowMs;
  DWORD wantPalette;
  DWORD hangAfter;   // 0 = never
  DWORD crashAfter;  // 0 = never
  DWORD showCommand;
  char title[256];
  char startedEvent[256];
  UINT whoAmIMessage;
  UINT showAgainMessage;
  UINT closingMessage;
  HWND shownIn;  // the plug-in window of the last "PluginShowAgain"
  DWORD hangOn;
  DWORD commandOn;
  char command[256];
  DWORD crowd;
  DWORD quit;
  DWORD logProbes;
  DWORD forwardCount;
  HPALETTE palette;
};

StandInState state;

const UINT SIM_HANG = WM_APP + 1;
const UINT SIM_CRASH = WM_APP + 2;
const UINT SIM_BUSY = WM_APP + 3;

void LogLine(const char* format, ...) {
  if (state.log == INVALID_HANDLE_VALUE) return;
  char line[1200];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(line, sizeof line - 2, format, args);
  va_end(args);
  if (n < 0) return;
  if (n > static_cast<int>(sizeof line) - 3) n = sizeof line - 3;
  line[n++] = '\r';
  line[n++] = '\n';
  DWORD written = 0;
  // One write per line, so a reader never sees half a line from this writer.
  WriteFile(state.log, line, static_cast<DWORD>(n), &written, nullptr);
}

LRESULT ReplyFor(DWORD message) {
  for (int i = 0; i < state.replyCount; ++i)
    if (state.replies[i].message == message) return state.replies[i].value;
  return state.anyReply;
}

// Reads the next argument (after an option) or null at the end.
const char* NextToken(const char*& cursor, char* out, size_t size) {
  while (*cursor == ' ' || *cursor == '\t') ++cursor;
  if (!*cursor) return nullptr;
  size_t n = 0;
  bool quoted = false;
  while (*cursor && (quoted || (*cursor != ' ' && *cursor != '\t'))) {
    if (*cursor == '"') {
      quoted = !quoted;
    } else if (n + 1 < size) {
      out[n++] = *cursor;
    }
    ++cursor;
  }
  out[n] = '\0';
  return out;
}

LRESULT ParseValue(const char* text) {
  return static_cast<LRESULT>(static_cast<LONG_PTR>(strtoll(text, nullptr, 0)));
}

void ParseCommandLine(const char* line) {
  char token[600];
  const char* cursor = line;
  NextToken(cursor, token, sizeof token);  // the program itself
  while (NextToken(cursor, token, sizeof token)) {
    char value[600];
    if (strcmp(token, "--palette") == 0) {
      state.wantPalette = 1;
      continue;
    }
    if (strcmp(token, "--quit") == 0) {
      state.quit = 1;
      continue;
    }
    if (strcmp(token, "--log-probes") == 0) {
      state.logProbes = 1;
      continue;
    }
    if (!NextToken(cursor, value, sizeof value)) break;
    if (strcmp(token, "--log") == 0) {
      state.log = CreateFileA(value, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE |
                              FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    } else if (strcmp(token, "--reply") == 0) {
      char* eq = strchr(value, '=');
      if (!eq) continue;
      *eq = '\0';
      if (strcmp(value, "any") == 0) {
        state.anyReply = ParseValue(eq + 1);
      } else if (state.replyCount < MAX_REPLIES) {
        state.replies[state.replyCount].message = strtoul(value, nullptr, 0);
        state.replies[state.replyCount].value = ParseValue(eq + 1);
        ++state.replyCount;
      }
    } else if (strcmp(token, "--whoami") == 0) {
      state.whoAmIAnswer = ParseValue(value);
    } else if (strcmp(token, "--late") == 0) {
      state.lateMs = strtoul(value, nullptr, 0);
    } else if (strcmp(token, "--busy-on-window") == 0) {
      state.busyOnWindowMs = strtoul(value, nullptr, 0);
    } else if (strcmp(token, "--hang-after") == 0) {
      state.hangAfter = strtoul(value, nullptr, 0);
    } else if (strcmp(token, "--crash-after") == 0) {
      state.crashAfter = strtoul(value, nullptr, 0);
    } else if (strcmp(token, "--title") == 0) {
      lstrcpynA(state.title, value, sizeof state.title);
    } else if (strcmp(token, "--started-event") == 0) {
      lstrcpynA(state.startedEvent, value, sizeof state.startedEvent);
    } else if (strcmp(token, "--hang-on") == 0) {
      state.hangOn = strtoul(value, nullptr, 0);
    } else if (strcmp(token, "--command-on") == 0) {
      char* eq = strchr(value, '=');
      if (!eq) continue;
      *eq = '\0';
      state.commandOn = strtoul(value, nullptr, 0);
      lstrcpynA(state.command, eq + 1, sizeof state.command);
    } else if (strcmp(token, "--crowd") == 0) {
      state.crowd = strtoul(value, nullptr, 0);
    } else if (strcmp(token, "--show") == 0) {
      state.showCommand = strtoul(value, nullptr, 0);
    }
  }
}

HPALETTE MakePalette() {
  struct {
    WORD version;
    WORD count;
    PALETTEENTRY entries[16];
  } block;
  block.version = 0x300;
  block.count = 16;
  for (int i = 0; i < 16; ++i) {
    block.entries[i].peRed = static_cast<BYTE>(i * 16);
    block.entries[i].peGreen = static_cast<BYTE>(255 - i * 16);
    block.entries[i].peBlue = static_cast<BYTE>(i * 8);
    block.entries[i].peFlags = 0;
  }
  return CreatePalette(reinterpret_cast<LOGPALETTE*>(&block));
}

LRESULT OnCopyData(HWND window, const COPYDATASTRUCT* data) {
  if (!data || data->dwData != LM_SAVERINPUT) return 0;
  SaverInputRecord record;
  memset(&record, 0, sizeof record);
  DWORD size = data->cbData;
  if (data->lpData) memcpy(&record, data->lpData, size < sizeof record ? size : sizeof record);
  LogLine("INPUT window=%lx message=%lx wParam=%lx lParam=%lx z=%lx,%lx,%lx cb=%lu",
          (unsigned long)record.window, (unsigned long)record.message,
          (unsigned long)record.wParam, (unsigned long)record.lParam,
          (unsigned long)record.reserved[0], (unsigned long)record.reserved[1],
          (unsigned long)record.reserved[2], (unsigned long)size);
  ++state.forwardCount;
  // The odd behaviours start once this reply is on its way: the message is posted to ourselves.
  if (state.hangAfter && state.forwardCount == state.hangAfter) PostMessageA(window, SIM_HANG, 0, 0);
  if (state.crashAfter && state.forwardCount == state.crashAfter)
    PostMessageA(window, SIM_CRASH, 0, 0);
  return ReplyFor(record.message);
}

// Hands the command to the browser-like host while the caller still waits for this answer.
void CommandTheHost(void) {
  HWND page = FindWindowA("NvrBrowserPage", nullptr);
  COPYDATASTRUCT data = {0, static_cast<DWORD>(strlen(state.command)), state.command};
  DWORD_PTR result = 0;
  BOOL sent = page && SendMessageTimeoutA(page, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                          SMTO_NORMAL, 10000, &result);
  LogLine("COMMANDED %s -> %s %ld", state.command, sent ? "answered" : "no answer", (long)result);
}

LRESULT CALLBACK StandInWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (state.hangOn && message == state.hangOn) {
    LogLine("HANG");
    Sleep(INFINITE);
  }
  if (state.commandOn && message == state.commandOn) {
    state.commandOn = 0;
    CommandTheHost();
  }
  if (message == state.whoAmIMessage) {
    if (state.logProbes) LogLine("PROBED %lx", (unsigned long)wParam);
    return wParam == WHOAMI_APP ? state.whoAmIAnswer : 0;
  }
  if (message == state.showAgainMessage) {
    LogLine("SHOWAGAIN %lx %ld", (unsigned long)wParam, (long)lParam);
    state.shownIn = reinterpret_cast<HWND>(wParam);
    return 0;
  }
  if (message == state.closingMessage) {
    LogLine("CLOSING %lx %lx", (unsigned long)wParam, (unsigned long)lParam);
    DWORD_PTR ignored = 0;
    if (state.shownIn) {
      SendMessageTimeoutA(state.shownIn, state.whoAmIMessage, WHOAMI_STATUSTEXT, 0,
                          SMTO_ABORTIFHUNG, 2000, &ignored);
      // The scroll with which an application asks whether the element still lives, sent before
      // it replies: an element being destroyed must answer as the browser does, not pass it back.
      DWORD_PTR answer = 0;
      if (SendMessageTimeoutA(state.shownIn, WM_VSCROLL, SB_ENDSCROLL, 0, SMTO_ABORTIFHUNG, 2000,
                              &answer))
        LogLine("LOOKED %lx", (unsigned long)answer);
    }
    return 0;
  }
  switch (message) {
    case WM_COPYDATA:
      return OnCopyData(window, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case LM_SAVERSTARTED:
      LogLine("STARTED wParam=%lx lParam=%ld", (unsigned long)wParam, (long)lParam);
      if (state.startedEvent[0]) {
        HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, state.startedEvent);
        if (event) {
          SetEvent(event);
          CloseHandle(event);
        }
      }
      return 0;
    case LM_SAVERENDING:
      LogLine("ENDING wParam=%lx lParam=%ld", (unsigned long)wParam, (long)lParam);
      return 0;
    case LM_GETPALETTE:
      LogLine("PALETTE");
      if (state.wantPalette && !state.palette) state.palette = MakePalette();
      return state.wantPalette ? reinterpret_cast<LRESULT>(state.palette) : 0;
    case LM_QUERYENGAGED:
      LogLine("QUERYENGAGED");
      return ReplyFor(message);
    case LM_PLUGINPRINT:
      LogLine("PRINT %lx %lx", (unsigned long)wParam, (unsigned long)lParam);
      return 0;
    case LM_PLUGINVSCROLL:
      LogLine("VSCROLL %lx %lx", (unsigned long)wParam, (unsigned long)lParam);
      return ReplyFor(message);
    case LM_PLUGINHSCROLL:
      LogLine("HSCROLL %lx %lx", (unsigned long)wParam, (unsigned long)lParam);
      return ReplyFor(message);
    case SIM_HANG:
      LogLine("HANG");
      Sleep(INFINITE);
      return 0;
    case SIM_BUSY:
      LogLine("BUSY");
      Sleep(static_cast<DWORD>(wParam));
      LogLine("AWAKE");
      return 0;
    case SIM_CRASH: {
      LogLine("CRASH");
      volatile int* nowhere = nullptr;
      *nowhere = 1;
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  state.log = INVALID_HANDLE_VALUE;
  state.whoAmIAnswer = WHOAMI_APP;
  state.showCommand = SW_SHOWMINNOACTIVE;
  lstrcpynA(state.title, "NVR stand-in", sizeof state.title);
  const char* commandLine = GetCommandLineA();
  ParseCommandLine(commandLine);
  char fallbackLog[MAX_PATH];
  if (state.log == INVALID_HANDLE_VALUE &&
      GetEnvironmentVariableA("NVR_STANDIN_LOG", fallbackLog, sizeof fallbackLog) - 1 <
          sizeof fallbackLog - 1)
    state.log = CreateFileA(fallbackLog, FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  LogLine("START %s", commandLine);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  LogLine("STARTUPINFO flags=%lx show=%u desktop=%s", (unsigned long)startup.dwFlags,
          (unsigned)startup.wShowWindow, startup.lpDesktop ? startup.lpDesktop : "");

  state.whoAmIMessage = RegisterWindowMessageA(QUIB_WHOAMI_NAME);
  state.showAgainMessage = RegisterWindowMessageA(PLUGIN_SHOW_AGAIN_NAME);
  state.closingMessage = RegisterWindowMessageA(PLUGIN_CLOSING_NAME);

  if (state.quit) return 0;
  if (state.lateMs) Sleep(state.lateMs);  // a slow application start, as the test asked

  WNDCLASSA windowClass;
  memset(&windowClass, 0, sizeof windowClass);
  windowClass.lpfnWndProc = StandInWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = "NvrStandIn";
  if (!RegisterClassA(&windowClass)) return 2;
  HWND window = CreateWindowExA(0, "NvrStandIn", state.title, WS_OVERLAPPEDWINDOW, 0, 0, 320, 200,
                                nullptr, nullptr, instance, nullptr);
  if (!window) return 3;
  LogLine("WINDOW %lx", (unsigned long)(UINT_PTR)window);
  // The crowd answers as any foreign window does: with the default procedure.
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "NvrStandInCrowd";
  if (state.crowd && RegisterClassA(&windowClass)) {
    for (DWORD i = 0; i < state.crowd; ++i)
      CreateWindowExA(0, "NvrStandInCrowd", "crowd", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                      nullptr, instance, nullptr);
  }
  ShowWindow(window, static_cast<int>(state.showCommand));
  if (state.busyOnWindowMs) {
    MSG pending;
    while (PeekMessageA(&pending, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&pending);
      DispatchMessageA(&pending);
    }
    LogLine("BUSY");
    Sleep(state.busyOnWindowMs);
    LogLine("AWAKE");
  }

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (state.palette) DeleteObject(state.palette);
  if (state.log != INVALID_HANDLE_VALUE) CloseHandle(state.log);
  return 0;
}

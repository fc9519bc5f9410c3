// A browser-like host for the plug-in, steered by a test: it registers the plug-in from its
// version resource as a browser does, loads it by its path, and then carries out one command per
// WM_COPYDATA sent to its page window (class "NvrBrowserPage"), answering with the command's
// result. What the plug-in does to the host's tables, its status texts and its allocations are
// written to the log, one line each.
//
//   browser_host.exe DLL LOG
//
// Commands (numbers in decimal; ID names an instance, 0 to 7):
//   entry SIZE                    NP_GetEntryPoints with a table of SIZE bytes
//   init SIZE VERSION             NP_Initialize with a browser table of SIZE bytes and VERSION
//   shutdown                      NP_Shutdown
//   failalloc N                   the next N allocations fail
//   new ID [high]                 NPP_New (high: the instance record at 0x80010000)
//   window ID X Y W H             a child plug-in window in the page for instance ID
//   setwindow ID OTHER|null|none  NPP_SetWindow with instance OTHER's window, a null window
//                                 field, or no window description
//   destroywindow ID              the plug-in window goes away, the instance stays
//   stream ID                     NewStream, WriteReady, Write of 1000 bytes, AsFile, DestroyStream
//   print ID full|embed           NPP_Print
//   nullinstance                  each instance function with a null instance
//   destroy ID                    NPP_Destroy
//   text ID TEXT                  the plug-in window's text
//   hwnd ID                       answers the plug-in window's handle
//   paint ID                      the plug-in window painted at once; answers the microseconds
//   shot PATH                     the page window's pixels into a bitmap file
//   unload                        the plug-in unloaded without NP_Shutdown; a timer of the host's
//                                 own, due after any of the plug-in's, then logs TICKED and how
//                                 many other thread timers' messages came meanwhile
//   ticks                         answers the longest time, in microseconds, that a thread timer's
//                                 message held the host since the last ask
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "plugin/plugin_api.h"

namespace {

const int MAX_INSTANCES = 8;
const int MAX_BLOCKS = 64;
const UINT_PTR HIGH_INSTANCE_ADDRESS = 0x80010000;
const LRESULT BAD_COMMAND = -1000;
// What the page window's own procedure answers to an application probe: anything but 2.
const LRESULT PAGE_PROBE_ANSWER = 0x5A5A;

typedef NPError(WINAPI* GetEntryPointsProc)(NPPluginFuncs*);
typedef NPError(WINAPI* InitializeProc)(NPNetscapeFuncs*);
typedef NPError(WINAPI* ShutdownProc)(void);

struct HostState {
  HANDLE log;
  HMODULE plugin;
  GetEntryPointsProc getEntryPoints;
  InitializeProc initialize;
  ShutdownProc shutdown;
  NPPluginFuncs pluginFuncs;
  NPNetscapeFuncs browserFuncs;
  NPP instances[MAX_INSTANCES];
  HWND windows[MAX_INSTANCES];
  void* blocks[MAX_BLOCKS];
  int failAllocations;
  HWND page;
  UINT whoAmIMessage;
  LONGLONG longestTickUs;
  UINT_PTR hostTimer;
  int ticksAfterUnload;  // thread timers' messages other than the host's own since the unload
};

HostState host;

void LogLine(const char* format, ...) {
  char line[600];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(line, sizeof line - 2, format, args);
  va_end(args);
  if (n < 0 || host.log == INVALID_HANDLE_VALUE) return;
  if (n > static_cast<int>(sizeof line) - 3) n = sizeof line - 3;
  line[n++] = '\r';
  line[n++] = '\n';
  DWORD written = 0;
  WriteFile(host.log, line, static_cast<DWORD>(n), &written, nullptr);
}

int InstanceId(NPP instance) {
  for (int i = 0; i < MAX_INSTANCES; ++i)
    if (instance && host.instances[i] == instance) return i;
  return -1;
}

// The browser's functions the plug-in may call. Each is logged; the others must never be called.

void HostStatus(NPP instance, const char* message) {
  LogLine("STATUS instance=%d length=%u text=%s", InstanceId(instance),
          static_cast<unsigned>(strlen(message)), message);
}

void* HostMemAlloc(uint32_t size) {
  if (host.failAllocations > 0) {
    --host.failAllocations;
    LogLine("MEMALLOC %u failed", size);
    return nullptr;
  }
  for (int i = 0; i < MAX_BLOCKS; ++i) {
    if (host.blocks[i]) continue;
    // Filled with a pattern: the plug-in must set every field it reads.
    host.blocks[i] = HeapAlloc(GetProcessHeap(), 0, size);
    if (host.blocks[i]) memset(host.blocks[i], 0xA5, size);
    LogLine("MEMALLOC %u", size);
    return host.blocks[i];
  }
  return nullptr;
}

// What every slot of a freed block points to: a procedure taken from a freed record lands here.
LRESULT CALLBACK FreedBlockTrap(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LogLine("UNEXPECTED call through a freed block, message %u", message);
  return 0;
}

void HostMemFree(void* block) {
  for (int i = 0; i < MAX_BLOCKS; ++i) {
    if (!block || host.blocks[i] != block) continue;
    // Never given back, and every pointer-sized slot aimed at the trap: a record used after its
    // free is seen in the log.
    void** slots = static_cast<void**>(block);
    for (size_t n = HeapSize(GetProcessHeap(), 0, block) / sizeof(void*), k = 0; k < n; ++k)
      slots[k] = reinterpret_cast<void*>(FreedBlockTrap);
    host.blocks[i] = nullptr;
    LogLine("MEMFREE");
    return;
  }
  LogLine("MEMFREE unknown block");
}

template <int N>
void Unexpected() {
  LogLine("UNEXPECTED browser function %d", N);
}

// A function address as another function type: through void*, as GetProcAddress results are.
template <typename T, typename F>
T As(F function) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(function));
}

void FillBrowserFuncs(uint16_t size, uint16_t version) {
  NPNetscapeFuncs& f = host.browserFuncs;
  memset(&f, 0, sizeof f);
  f.size = size;
  f.version = version;
  f.geturl = As<NPN_GetURLProc>(Unexpected<0>);
  f.posturl = As<NPN_PostURLProc>(Unexpected<1>);
  f.requestread = As<NPN_RequestReadProc>(Unexpected<2>);
  f.newstream = As<NPN_NewStreamProc>(Unexpected<3>);
  f.write = As<NPN_WriteProc>(Unexpected<4>);
  f.destroystream = As<NPN_DestroyStreamProc>(Unexpected<5>);
  f.status = HostStatus;
  f.uagent = As<NPN_UserAgentProc>(Unexpected<7>);
  f.memalloc = HostMemAlloc;
  f.memfree = HostMemFree;
  f.memflush = As<NPN_MemFlushProc>(Unexpected<10>);
  f.reloadplugins = As<NPN_ReloadPluginsProc>(Unexpected<11>);
}

// NP_GetEntryPoints into a table whose every byte is a pattern: the log says which fields changed.
LRESULT GetEntryPoints(uint16_t size) {
  NPPluginFuncs& f = host.pluginFuncs;
  memset(&f, 0xCC, sizeof f);
  f.size = size;
  NPError result = host.getEntryPoints(&f);
  const BYTE* bytes = reinterpret_cast<const BYTE*>(&f);
  int changedBehindEvent = 0;
  for (size_t i = offsetof(NPPluginFuncs, urlnotify); i < sizeof f; ++i)
    changedBehindEvent += bytes[i] != 0xCC;
  int functions = 0;
  void* const* slots = reinterpret_cast<void* const*>(&f.newp);
  for (int i = 0; i < 9; ++i)
    functions += slots[i] != nullptr && bytes[offsetof(NPPluginFuncs, newp) + i * sizeof(void*)] != 0xCC;
  LogLine("ENTRY result=%d size=%u version=%x functions=%d event=%s changedBehindEvent=%d", result,
          f.size, f.version, functions,
          f.event == nullptr ? "null" : (bytes[offsetof(NPPluginFuncs, event)] == 0xCC ? "untouched" : "set"),
          changedBehindEvent);
  return result;
}

LRESULT CALLBACK PluginChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The browser's own procedure of a plug-in window: what reaches it is logged.
  if (message == host.whoAmIMessage) {
    LogLine("SAVED whoami %u", static_cast<unsigned>(wParam));
    return PAGE_PROBE_ANSWER;
  }
  switch (message) {
    case WM_PAINT: {
      LogLine("SAVED paint");
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      HBRUSH green = CreateSolidBrush(RGB(0, 160, 0));  // the browser's own ground colour
      FillRect(dc, &paint.rcPaint, green);
      DeleteObject(green);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_VSCROLL:
    case WM_HSCROLL:
      LogLine("SAVED %s", message == WM_VSCROLL ? "vscroll" : "hscroll");
      return 0x77;
    case WM_ERASEBKGND:
      LogLine("SAVED erase");
      return 0;
    case WM_NCDESTROY:
      // The plug-in's last message to the window came before this one.
      LogLine("SAVED ncdestroy property=%s", GetPropA(window, "NPNVR.Instance") ? "left" : "gone");
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool ValidId(int id) { return id >= 0 && id < MAX_INSTANCES; }

LRESULT NewInstance(int id, bool high) {
  NPP instance = nullptr;
  if (high) {
    instance = static_cast<NPP>(VirtualAlloc(reinterpret_cast<void*>(HIGH_INSTANCE_ADDRESS), 4096,
                                             MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!instance) return BAD_COMMAND;
  } else {
    instance = static_cast<NPP>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(NPP_t)));
  }
  host.instances[id] = instance;
  char type[] = "application/x-nvr";
  NPError result = host.pluginFuncs.newp(type, instance, NP_EMBED, 0, nullptr, nullptr, nullptr);
  LogLine("NEW %d result=%d pdata=%s instance=%ld", id, result, instance->pdata ? "set" : "null",
          static_cast<long>(reinterpret_cast<INT_PTR>(instance)));
  return result;
}

LRESULT SetWindow(int id, HWND window, bool describe) {
  NPWindow description;
  memset(&description, 0, sizeof description);
  description.window = window;
  description.type = NPWindowTypeWindow;
  RECT rect = {0, 0, 0, 0};
  if (window) GetClientRect(window, &rect);
  description.width = static_cast<uint32_t>(rect.right);
  description.height = static_cast<uint32_t>(rect.bottom);
  return host.pluginFuncs.setwindow(host.instances[id], describe ? &description : nullptr);
}

LRESULT MakeWindow(int id, int x, int y, int width, int height) {
  host.windows[id] = CreateWindowExA(0, "NvrPluginWindow", "", WS_CHILD | WS_VISIBLE, x, y, width,
                                     height, host.page, nullptr, GetModuleHandleA(nullptr), nullptr);
  return host.windows[id] ? 0 : BAD_COMMAND;
}

LRESULT Stream(int id) {
  NPStream stream;
  memset(&stream, 0, sizeof stream);
  stream.url = "file:///c:/page/link.nvr";
  stream.end = 1000;
  uint16_t type = NP_NORMAL;
  char mime[] = "application/x-nvr";
  NPP instance = host.instances[id];
  NPError opened = host.pluginFuncs.newstream(instance, mime, &stream, 0, &type);
  int32_t ready = host.pluginFuncs.writeready(instance, &stream);
  char bytes[1000];
  memset(bytes, 'x', sizeof bytes);
  int32_t written = host.pluginFuncs.write(instance, &stream, 0, sizeof bytes, bytes);
  host.pluginFuncs.asfile(instance, &stream, "c:\\page\\link.nvr");
  NPError closed = host.pluginFuncs.destroystream(instance, &stream, NPRES_DONE);
  LogLine("STREAM %d new=%d type=%u ready=%ld written=%ld destroy=%d", id, opened, type,
          static_cast<long>(ready), static_cast<long>(written), closed);
  return opened;
}

LRESULT Print(int id, bool full) {
  NPPrint print;
  memset(&print, 0, sizeof print);
  print.mode = full ? NP_FULL : NP_EMBED;
  host.pluginFuncs.print(host.instances[id], &print);
  // In the embedded form the same byte belongs to the window description, which must stay 0.
  LogLine("PRINT %d pluginPrinted=%u", id, print.print.fullPrint.pluginPrinted);
  return print.print.fullPrint.pluginPrinted;
}

LRESULT NullInstance() {
  char type[] = "application/x-nvr";
  NPWindow window;
  memset(&window, 0, sizeof window);
  uint16_t stype = NP_NORMAL;
  NPStream stream;
  memset(&stream, 0, sizeof stream);
  NPPrint print;
  memset(&print, 0, sizeof print);
  print.mode = NP_FULL;
  int results[5] = {
      host.pluginFuncs.newp(type, nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr),
      host.pluginFuncs.destroy(nullptr, nullptr),
      host.pluginFuncs.setwindow(nullptr, &window),
      host.pluginFuncs.newstream(nullptr, type, &stream, 0, &stype),
      host.pluginFuncs.destroystream(nullptr, &stream, NPRES_DONE),
  };
  host.pluginFuncs.print(nullptr, &print);
  LogLine("NULLINSTANCE new=%d destroy=%d setwindow=%d newstream=%d destroystream=%d stype=%u "
          "pluginPrinted=%u",
          results[0], results[1], results[2], results[3], results[4], stype,
          print.print.fullPrint.pluginPrinted);
  return 0;
}

// The page window's pixels as a 24-bit bitmap file.
LRESULT Screenshot(const char* path) {
  RECT rect;
  GetClientRect(host.page, &rect);
  int width = rect.right, height = rect.bottom;
  HDC page = GetDC(host.page);
  HDC memory = CreateCompatibleDC(page);
  BITMAPINFO info;
  memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(page, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  LRESULT result = BAD_COMMAND;
  if (bitmap && memory) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, page, 0, 0, SRCCOPY);
    GdiFlush();
    DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    BITMAPFILEHEADER file;
    memset(&file, 0, sizeof file);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + rowBytes * static_cast<DWORD>(height);
    HANDLE out = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(out, &file, sizeof file, &written, nullptr);
      WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr);
      WriteFile(out, bits, rowBytes * static_cast<DWORD>(height), &written, nullptr);
      CloseHandle(out);
      result = 0;
    }
    SelectObject(memory, previous);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(host.page, page);
  return result;
}

// Paints the window at once, as the browser does when a page scrolls; the time it took in
// microseconds.
LRESULT Paint(HWND window) {
  LARGE_INTEGER frequency, begin, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&begin);
  if (!RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW))
    return BAD_COMMAND;
  QueryPerformanceCounter(&end);
  return static_cast<LRESULT>((end.QuadPart - begin.QuadPart) * 1000000 / frequency.QuadPart);
}

// Due later than the plug-in's timer of a second: its line shows that the host outlived that.
const UINT AFTER_PLUGIN_TIMER_MS = 1500;

void CALLBACK HostTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  LogLine("TICKED others=%d", host.ticksAfterUnload);
}

LRESULT Unload() {
  if (!host.plugin || !FreeLibrary(host.plugin)) return BAD_COMMAND;
  host.plugin = nullptr;
  host.hostTimer = SetTimer(nullptr, 0, AFTER_PLUGIN_TIMER_MS, HostTimer);
  return host.hostTimer ? 0 : BAD_COMMAND;
}

LRESULT LongestTick() {
  LRESULT longest = static_cast<LRESULT>(host.longestTickUs);
  host.longestTickUs = 0;
  return longest;
}

LRESULT RunCommand(char* text) {
  char verb[32] = "";
  int a = 0, b = 0, c = 0, d = 0, e = 0;
  char word[400] = "";
  sscanf(text, "%31s", verb);
  if (strcmp(verb, "entry") == 0 && sscanf(text, "%*s %d", &a) == 1)
    return GetEntryPoints(static_cast<uint16_t>(a));
  if (strcmp(verb, "init") == 0 && sscanf(text, "%*s %d %i", &a, &b) == 2) {
    FillBrowserFuncs(static_cast<uint16_t>(a), static_cast<uint16_t>(b));
    return host.initialize(&host.browserFuncs);
  }
  if (strcmp(verb, "shutdown") == 0) return host.shutdown();
  if (strcmp(verb, "failalloc") == 0 && sscanf(text, "%*s %d", &a) == 1) {
    host.failAllocations = a;
    return 0;
  }
  if (strcmp(verb, "nullinstance") == 0) return NullInstance();
  if (strcmp(verb, "unload") == 0) return Unload();
  if (strcmp(verb, "ticks") == 0) return LongestTick();
  if (strcmp(verb, "shot") == 0 && sscanf(text, "%*s %399s", word) == 1) return Screenshot(word);
  if (sscanf(text, "%*s %d", &a) != 1 || !ValidId(a)) return BAD_COMMAND;
  if (strcmp(verb, "new") == 0) return NewInstance(a, strstr(text, "high") != nullptr);
  if (strcmp(verb, "window") == 0 && sscanf(text, "%*s %d %d %d %d %d", &a, &b, &c, &d, &e) == 5)
    return MakeWindow(a, b, c, d, e);
  if (strcmp(verb, "setwindow") == 0 && sscanf(text, "%*s %d %399s", &a, word) == 2) {
    if (strcmp(word, "null") == 0) return SetWindow(a, nullptr, true);
    if (strcmp(word, "none") == 0) return SetWindow(a, nullptr, false);
    int other = atoi(word);
    return ValidId(other) ? SetWindow(a, host.windows[other], true) : BAD_COMMAND;
  }
  if (strcmp(verb, "destroywindow") == 0) return DestroyWindow(host.windows[a]) ? 0 : BAD_COMMAND;
  if (strcmp(verb, "stream") == 0) return Stream(a);
  if (strcmp(verb, "print") == 0) return Print(a, strstr(text, "full") != nullptr);
  if (strcmp(verb, "destroy") == 0) return host.pluginFuncs.destroy(host.instances[a], nullptr);
  if (strcmp(verb, "text") == 0) {
    const char* rest = strchr(text, ' ');
    rest = rest ? strchr(rest + 1, ' ') : nullptr;
    return SetWindowTextA(host.windows[a], rest ? rest + 1 : "") ? 0 : BAD_COMMAND;
  }
  if (strcmp(verb, "hwnd") == 0) return reinterpret_cast<LRESULT>(host.windows[a]);
  if (strcmp(verb, "paint") == 0) return Paint(host.windows[a]);
  return BAD_COMMAND;
}

LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    char text[512];
    DWORD size = data->cbData < sizeof text - 1 ? data->cbData : sizeof text - 1;
    memcpy(text, data->lpData, size);
    text[size] = '\0';
    LRESULT result = RunCommand(text);
    LogLine("COMMAND %s -> %ld", text, static_cast<long>(result));
    return result;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Reads one value of the version resource's "040904E4" block, as a browser registering the
// plug-in does.
void LogVersionValue(const void* block, const char* key) {
  char query[64];
  snprintf(query, sizeof query, "\\StringFileInfo\\040904E4\\%s", key);
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueA(block, query, &value, &length) && value)
    LogLine("REGISTER %s=%s", key, static_cast<const char*>(value));
  else
    LogLine("REGISTER %s missing", key);
}

bool Register(char* path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (!size) return false;
  void* block = HeapAlloc(GetProcessHeap(), 0, size);
  bool read = block && GetFileVersionInfoA(path, 0, size, block);
  if (read) {
    for (const char* key : {"MIMEType", "FileExtents", "FileOpenName", "FileDescription",
                            "InternalName", "OriginalFilename", "ProductName", "FileVersion",
                            "ProductVersion"})
      LogVersionValue(block, key);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueA(block, "\\", reinterpret_cast<void**>(&fixed), &length) && fixed)
      LogLine("REGISTER version=%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
              LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
              LOWORD(fixed->dwFileVersionLS));
  }
  HeapFree(GetProcessHeap(), 0, block);
  return read;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  host.log = CreateFileA(argv[2], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  host.whoAmIMessage = RegisterWindowMessageA("QuibWhoAmI");
  if (!Register(argv[1])) LogLine("REGISTER failed");
  host.plugin = LoadLibraryA(argv[1]);
  if (!host.plugin) return 3;
  host.getEntryPoints = As<GetEntryPointsProc>(GetProcAddress(host.plugin, "NP_GetEntryPoints"));
  host.initialize = As<InitializeProc>(GetProcAddress(host.plugin, "NP_Initialize"));
  host.shutdown = As<ShutdownProc>(GetProcAddress(host.plugin, "NP_Shutdown"));
  if (!host.getEntryPoints || !host.initialize || !host.shutdown) return 4;

  WNDCLASSA page;
  memset(&page, 0, sizeof page);
  page.lpfnWndProc = PageProc;
  page.hInstance = GetModuleHandleA(nullptr);
  page.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  page.lpszClassName = "NvrBrowserPage";
  WNDCLASSA child = page;
  child.lpfnWndProc = PluginChildProc;
  child.hbrBackground = nullptr;
  child.lpszClassName = "NvrPluginWindow";
  if (!RegisterClassA(&page) || !RegisterClassA(&child)) return 5;
  host.page = CreateWindowExA(0, "NvrBrowserPage", "Browser host", WS_POPUP | WS_VISIBLE, 0, 0,
                              1000, 700, nullptr, nullptr, page.hInstance, nullptr);
  if (!host.page) return 6;
  LogLine("READY");
  MSG msg;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    // A thread timer's message is timed: how long the plug-in's timer holds the browser.
    bool tick = msg.message == WM_TIMER && !msg.hwnd;
    if (tick && !host.plugin && msg.wParam != host.hostTimer) ++host.ticksAfterUnload;
    LARGE_INTEGER begin, end;
    if (tick) QueryPerformanceCounter(&begin);
    DispatchMessageA(&msg);
    if (!tick) continue;
    QueryPerformanceCounter(&end);
    LONGLONG us = (end.QuadPart - begin.QuadPart) * 1000000 / frequency.QuadPart;
    if (us > host.longestTickUs) host.longestTickUs = us;
  }
  if (host.plugin) FreeLibrary(host.plugin);
  if (host.log != INVALID_HANDLE_VALUE) CloseHandle(host.log);
  return 0;
}

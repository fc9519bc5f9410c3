// The harness: the browser-like host that loads the plug-in.
#include "harness.h"

#include "plugin/plugin_api.h"

namespace harness {

BrowserHost::BrowserHost(bool underDebugger) : log_("nph"), trace_("npt") {
  std::string host = Quoted(BinPath("browser_host.exe")) + " " + Quoted(BinPath("NPNVR.DLL")) +
                     " " + Quoted(log_.path);
  if (underDebugger) host = Quoted(BinPath("debug_parent.exe")) + " " + Quoted(trace_.path) + " " + host;
  Start(child_, host);
  WaitUntil([&] { return (page_ = FindProcessWindow(0, "NvrBrowserPage", nullptr)) != nullptr; },
            10000);
}

BrowserHost::~BrowserHost() {
  if (page_) PostMessageA(page_, WM_CLOSE, 0, 0);
  child_.WaitExit(10000, nullptr);
}

LRESULT BrowserHost::Do(const std::string& command) {
  COPYDATASTRUCT data = {0, static_cast<DWORD>(command.size()), const_cast<char*>(command.data())};
  DWORD_PTR reply = 0;
  if (!SendMessageTimeoutA(page_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                           15000, &reply))
    return NO_REPLY;
  return static_cast<LRESULT>(reply);
}

void BrowserHost::Ready(int instances) {
  ASSERT_EQ(0, Do("entry " + std::to_string(sizeof(NPPluginFuncs))));
  ASSERT_EQ(0, Do("init " + std::to_string(BROWSER_FUNCS_MIN_SIZE) + " 0x0013"));
  for (int i = 0; i < instances; ++i) ASSERT_EQ(0, Do("new " + std::to_string(i)));
}

HWND BrowserHost::Window(int id, int x, int y, int width, int height) {
  std::string n = std::to_string(id);
  size_t painted = Lines("SAVED paint").size();
  Do("window " + n + " " + std::to_string(x) + " " + std::to_string(y) + " " +
     std::to_string(width) + " " + std::to_string(height));
  EXPECT_TRUE(WaitUntil([&] { return Lines("SAVED paint").size() > painted; }, 5000));
  return reinterpret_cast<HWND>(Do("hwnd " + n));
}

std::vector<std::string> BrowserHost::Lines(const char* prefix) const {
  return LinesStartingWith(log_.path, prefix);
}

std::vector<std::string> BrowserHost::Trace() const { return ReadLines(trace_.path); }

}  // namespace harness

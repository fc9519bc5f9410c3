// Helpers for the tests of the saver window, its dismissal and the password check: a folder
// with a copy of the saver and the password-module double, the double's controls, the
// system's screen-saver-running state, and real input.
#ifndef NVR_TESTS_WINE_FRAME_SUPPORT_H
#define NVR_TESTS_WINE_FRAME_SUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

#include "bridge_support.h"
#include "harness.h"

namespace frame {

extern const char SAVER_CLASS[];

// A temporary folder holding a copy of the saver and, when asked, the password-module double,
// which the saver then finds first; removed with the record.
struct SaverFolder {
  std::string dir, saver;
  explicit SaverFolder(bool withPasswordModule);
  ~SaverFolder();
  SaverFolder(const SaverFolder&) = delete;
  SaverFolder& operator=(const SaverFolder&) = delete;
};

// "ScreenSaveUsePassword" for the life of the record.
struct PasswordSwitch {
  harness::ScopedRegValue value;
  explicit PasswordSwitch(DWORD on);
};

// The double's controls, handed to the saver processes started while the record lives: its
// log, and events that hold each prompt open until the test accepts or refuses it.
class PasswordModule {
 public:
  PasswordModule();
  ~PasswordModule();
  PasswordModule(const PasswordModule&) = delete;
  PasswordModule& operator=(const PasswordModule&) = delete;

  bool WaitPrompt(DWORD timeoutMs = 10000);  // a prompt has started
  void Accept();
  void Refuse();
  // Waits for the count-th ANSWER line: the prompt has returned to the saver.
  bool WaitAnswers(size_t count, DWORD timeoutMs = 10000);
  std::vector<std::string> Lines(const char* prefix) const;
  // Whether a PUMPED line for message was logged after the count-th PROMPT line.
  bool PumpedDuringPrompt(size_t prompt, UINT message) const;

 private:
  bridge::TempFile log_;
  HANDLE started_, accept_, refuse_;
};

// The system's screen-saver-running state as a fresh process reads it: 0, 1, or 255 when
// the system does not answer.
DWORD RunningState();

// Switches the running state off when the test ends, also when it fails midway.
struct RunningStateReset {
  ~RunningStateReset();
};

// The stand-in application and a full-screen saver in front of it.
struct FullScreen {
  bridge::TempFile appLog{"fra"};
  harness::Child app, saver;
  HWND window = nullptr;
  // Starts the stand-in, then the saver program at saverPath, and waits until the saver window
  // is in front.
  bool Start(const std::string& saverPath);
  // Waits for the saver process to end; its exit code.
  DWORD Exit(DWORD timeoutMs = 10000);
};

// Whether the window is in front and its thread gives it the keyboard.
bool HasKeyboard(HWND window);
// Moves the cursor and waits until the system reports it there.
bool MoveCursor(int x, int y);
void Click(DWORD downFlag, DWORD upFlag);
// Whether the system shows a cursor at present.
bool CursorShowing();
// Waits until the window is gone.
bool WaitGone(HWND window, DWORD timeoutMs = 10000);
// Waits until the tick count is at least ms past since.
void WaitTicks(DWORD since, DWORD ms);

}  // namespace frame

#endif

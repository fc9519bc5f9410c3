// The saver's command line as plain text: removing the program name, the grammar of the
// command tail, and the window handle written on it.
#ifndef NVR_SAVER_HOST_COMMAND_LINE_H
#define NVR_SAVER_HOST_COMMAND_LINE_H

#include <cstdint>

// Steps from one character of the system's code page to the next; a multi-byte character is
// stepped over whole. Given the terminating NUL it may return its argument.
typedef const char* (*NextCharProc)(const char* text);

// The command tail: what follows the program name and the blanks after it (may be empty).
const char* SkipProgramName(const char* commandLine, NextCharProc nextChar);

enum CommandMode : uint32_t {
  COMMAND_CONFIG_NO_OWNER,    // empty tail: the settings dialog without owner
  COMMAND_RUN_SAVER,          // "S": full screen
  COMMAND_PREVIEW,            // "P" or "L": inside the window given as handle
  COMMAND_CONFIG_FOREGROUND,  // "C": the settings dialog owned by the foreground window
  COMMAND_CHANGE_PASSWORD,    // "A": owner given as handle, 0 when none
  COMMAND_UNUSABLE,           // any other byte: exit code -1
};

struct CommandRequest {
  CommandMode mode;
  uint32_t handle;  // the decimal window handle after "P", "L" or "A"; 0 otherwise or when absent
};

// Reads the first mode letter of the tail and, for "P", "L" and "A", the handle after it.
// Nothing past that is read: a second option has no effect.
CommandRequest ParseCommandTail(const char* tail);

// The leading decimal digits of text as an unsigned 32-bit value, wrapping; 0 when none.
uint32_t ParseWindowHandle(const char* text);

#endif

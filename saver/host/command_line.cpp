#include "saver/host/command_line.h"

namespace {

// One step of nextChar, never past the terminating NUL, and always forward: a stepping
// function that misjudges a lead byte at the end of the text cannot carry us out of it.
const char* StepChar(const char* text, NextCharProc nextChar) {
  const char* next = nextChar(text);
  const char* p = text;
  if (*p) ++p;
  while (p < next && *p) ++p;
  return p;
}

}  // namespace

const char* SkipProgramName(const char* commandLine, NextCharProc nextChar) {
  const char* p = commandLine;
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') p = StepChar(p, nextChar);
    if (*p == '"') ++p;
  } else {
    while (static_cast<unsigned char>(*p) > 32) p = StepChar(p, nextChar);
  }
  while (*p && static_cast<unsigned char>(*p) <= 32) ++p;
  return p;
}

uint32_t ParseWindowHandle(const char* text) {
  uint32_t value = 0;
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10u + static_cast<uint32_t>(*p - '0');
  }
  return value;
}

namespace {

// The handle after a "P", "L" or "A": spaces only (a tab is not a space here), then digits.
uint32_t HandleAfterLetter(const char* letter) {
  const char* p = letter + 1;
  while (*p == ' ') ++p;
  return ParseWindowHandle(p);
}

}  // namespace

CommandRequest ParseCommandTail(const char* tail) {
  const char* p = tail;
  while (*p == ' ' || *p == '-' || *p == '/') ++p;
  switch (*p) {
    case '\0':
      return {COMMAND_CONFIG_NO_OWNER, 0};
    case 'S':
    case 's':
      return {COMMAND_RUN_SAVER, 0};
    case 'P':
    case 'p':
    case 'L':
    case 'l':
      return {COMMAND_PREVIEW, HandleAfterLetter(p)};
    case 'C':
    case 'c':
      return {COMMAND_CONFIG_FOREGROUND, 0};
    case 'A':
    case 'a':
      return {COMMAND_CHANGE_PASSWORD, HandleAfterLetter(p)};
    default:
      return {COMMAND_UNUSABLE, 0};
  }
}

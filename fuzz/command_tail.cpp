// Program-name removal and the command-tail grammar over arbitrary bytes, with single- and
// double-byte stepping: the tail stays inside the text and starts with no blank, and only the
// modes that read a handle carry one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "saver/host/command_line.h"

namespace {

const char* NextByte(const char* text) { return *text ? text + 1 : text; }

// A double-byte code page: 0x81 to 0x9F and 0xE0 to 0xFC lead.
const char* NextDoubleByte(const char* text) {
  unsigned char c = static_cast<unsigned char>(*text);
  if (!c) return text;
  if (((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && text[1]) return text + 2;
  return text + 1;
}

void Check(const char* line, size_t length, NextCharProc next) {
  const char* tail = SkipProgramName(line, next);
  if (tail < line || tail > line + length) abort();
  // The tail starts with no blank.
  if (*tail && static_cast<unsigned char>(*tail) <= 32) abort();
  CommandRequest request = ParseCommandTail(tail);
  if (request.mode > COMMAND_UNUSABLE) abort();
  if (request.mode != COMMAND_PREVIEW && request.mode != COMMAND_CHANGE_PASSWORD &&
      request.handle != 0) {
    abort();
  }
  ParseWindowHandle(tail);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input has no terminating NUL of its own.
  std::vector<char> line(size + 1);
  if (size) memcpy(line.data(), data, size);
  line[size] = '\0';
  size_t length = strlen(line.data());
  Check(line.data(), length, NextByte);
  Check(line.data(), length, NextDoubleByte);
  return 0;
}

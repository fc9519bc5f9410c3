#include "installer/setup_text.h"

#include <cstring>

size_t CharLength(const char* p, IsLeadByteProc isLeadByte) {
  if (isLeadByte && isLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') return 2;
  return 1;
}

int CopyText(char* out, size_t outSize, const char* text) {
  if (outSize == 0) return 0;
  out[0] = '\0';
  return AppendText(out, outSize, text);
}

int AppendText(char* out, size_t outSize, const char* text) {
  // Only memcpy and strlen are had without a runtime: the string in out is measured by hand.
  size_t used = 0;
  while (used < outSize && out[used]) ++used;
  size_t n = std::strlen(text);
  if (used >= outSize || n >= outSize - used) return 0;
  std::memcpy(out + used, text, n + 1);
  return 1;
}

int JoinPath(char* out, size_t outSize, const char* folder, const char* name) {
  if (CopyText(out, outSize, folder) && AppendText(out, outSize, "\\") &&
      AppendText(out, outSize, name)) {
    return 1;
  }
  if (outSize) out[0] = '\0';
  return 0;
}

int CopyData(char* out, size_t outSize, const unsigned char* data, uint32_t size) {
  if (outSize == 0) return 0;
  out[0] = '\0';
  size_t n = 0;
  while (n < size && data[n] != 0) ++n;
  if (n >= outSize) return 0;
  if (n) std::memcpy(out, data, n);
  out[n] = '\0';
  return 1;
}

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

int SameText(const char* a, const char* b) {
  for (; *a && Lower(*a) == Lower(*b); ++a, ++b) {
  }
  return Lower(*a) == Lower(*b);
}

void TrimFolder(char* folder, IsLeadByteProc isLeadByte) {
  // Where the run of blanks and separators at the end begins, found from the front.
  char* end = folder;
  for (char* p = folder; *p;) {
    size_t n = CharLength(p, isLeadByte);
    bool trimmable = n == 1 && (static_cast<unsigned char>(*p) <= 32 || *p == '\\' || *p == '/');
    p += n;
    if (!trimmable) end = p;
  }
  *end = '\0';
}

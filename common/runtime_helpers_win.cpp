// The memory and string helpers that the compiler may call for copies, clears and comparisons of
// records at any time (it expects these four of any environment), and strlen, which the code
// calls by name. The deliverables link no C runtime: msvcrt.dll belongs to the compiler,
// not to the system, and a Windows 95 or NT 4.0 machine has it only when another program's setup
// brought it, in whatever version that was. Built only into the deliverables (the build keeps the
// compiler from turning these loops back into calls of themselves).
#include <cstddef>

extern "C" {

void* memset(void* target, int value, size_t count) {
  unsigned char* p = static_cast<unsigned char*>(target);
  while (count--) *p++ = static_cast<unsigned char>(value);
  return target;
}

void* memcpy(void* target, const void* source, size_t count) {
  unsigned char* to = static_cast<unsigned char*>(target);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  while (count--) *to++ = *from++;
  return target;
}

void* memmove(void* target, const void* source, size_t count) {
  unsigned char* to = static_cast<unsigned char*>(target);
  const unsigned char* from = static_cast<const unsigned char*>(source);
  if (to <= from) return memcpy(target, source, count);
  while (count--) to[count] = from[count];  // from the end, where the ranges overlap
  return target;
}

int memcmp(const void* left, const void* right, size_t count) {
  const unsigned char* a = static_cast<const unsigned char*>(left);
  const unsigned char* b = static_cast<const unsigned char*>(right);
  for (; count; --count, ++a, ++b)
    if (*a != *b) return *a < *b ? -1 : 1;
  return 0;
}

size_t strlen(const char* text) {
  const char* end = text;
  while (*end) ++end;
  return static_cast<size_t>(end - text);
}

}  // extern "C"

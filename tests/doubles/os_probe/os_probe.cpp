// Tool: os_probe MODULE [PATTERN] loads MODULE as a library, calls its DetermineOStype export
// found by name, and exits with the answer. This program's own image spans MODULE's preferred
// address range (it is linked just below it, with a large zeroed array), so the loader must put
// MODULE elsewhere; with PATTERN (hex bytes, such as 0f85a007) that part of the array is first
// filled with the pattern repeated: a module that reads an absolute address without being
// relocated reads those bytes. (Taking the range with VirtualAlloc from a program linked high
// fails under 32-bit Wine: the main thread's stack is reserved across it.)
// Exit 0xFFFFFFFF: no module or no export; 0xFFFFFFFE: bad pattern or the range not spanned.
#include <windows.h>

namespace {

const DWORD NO_EXPORT = 0xFFFFFFFFu;
const DWORD NO_RANGE = 0xFFFFFFFEu;
const DWORD MAX_PATTERN = 64;
const DWORD SPAN = 0x100000;

// Where MODULE's preferred range lies; zeroed data takes no room in this program's file.
BYTE span[SPAN];

typedef DWORD (*DetermineOStypeProc)(void);

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The pattern's bytes into out; their count, or 0 when the text is not 1 to MAX_PATTERN hex pairs.
DWORD ParsePattern(const char* text, BYTE* out) {
  DWORD n = 0;
  for (; text[0] && text[1]; text += 2) {
    int high = HexDigit(text[0]), low = HexDigit(text[1]);
    if (high < 0 || low < 0 || n == MAX_PATTERN) return 0;
    out[n++] = BYTE(high << 4 | low);
  }
  return text[0] ? 0 : n;
}

// The preferred base and size of the image in file path, from its headers; false if unreadable.
bool PreferredRange(const char* path, ULONG_PTR* base, DWORD* size) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BYTE head[4096];
  DWORD got = 0;
  BOOL read = ReadFile(file, head, sizeof head, &got, nullptr);
  CloseHandle(file);
  if (!read || got < sizeof(IMAGE_DOS_HEADER)) return false;
  LONG at = reinterpret_cast<const IMAGE_DOS_HEADER*>(head)->e_lfanew;
  if (at < 0 || DWORD(at) > got - sizeof(IMAGE_NT_HEADERS64)) return false;
  const IMAGE_NT_HEADERS32* nt32 = reinterpret_cast<const IMAGE_NT_HEADERS32*>(head + at);
  const IMAGE_NT_HEADERS64* nt64 = reinterpret_cast<const IMAGE_NT_HEADERS64*>(head + at);
  if (nt32->Signature != IMAGE_NT_SIGNATURE) return false;
  if (nt32->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
    *base = nt32->OptionalHeader.ImageBase;
    *size = nt32->OptionalHeader.SizeOfImage;
  } else if (nt64->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    *base = ULONG_PTR(nt64->OptionalHeader.ImageBase);  // the 64-bit build of this tool reads it
    *size = nt64->OptionalHeader.SizeOfImage;
  } else {
    return false;
  }
  return true;
}

// Fills the preferred range of the image in path, which this program's array spans, with the pattern.
bool FillPreferredRange(const char* path, const char* patternText) {
  BYTE pattern[MAX_PATTERN];
  DWORD length = ParsePattern(patternText, pattern);
  ULONG_PTR base = 0;
  DWORD size = 0;
  if (length == 0 || !PreferredRange(path, &base, &size)) return false;
  ULONG_PTR spanAt = reinterpret_cast<ULONG_PTR>(span);
  if (base < spanAt || base - spanAt > SPAN || size > SPAN - (base - spanAt)) return false;
  BYTE* range = span + (base - spanAt);
  for (DWORD i = 0; i < size; ++i) range[i] = pattern[i % length];
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return int(NO_EXPORT);
  if (argc > 2 && !FillPreferredRange(argv[1], argv[2])) return int(NO_RANGE);
  HMODULE module = LoadLibraryA(argv[1]);
  if (!module) return int(NO_EXPORT);
  // Through void (*)(), the one pointer type a function pointer is cast from without a warning.
  DetermineOStypeProc probe = reinterpret_cast<DetermineOStypeProc>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, "DetermineOStype")));
  DWORD answer = probe ? probe() : NO_EXPORT;
  FreeLibrary(module);
  return int(answer);
}

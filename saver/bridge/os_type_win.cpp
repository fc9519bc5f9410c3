#include "saver/bridge/os_type_win.h"

#include <stdint.h>

#include "saver/bridge/os_type.h"

static_assert(sizeof(OSVERSIONINFOA) == 148, "the query needs the full 148-byte record");

// A caller may load this program with LoadLibraryA, and a loader may then map it away from its
// preferred base without relocating it or binding its imports. So the export's path holds no
// absolute address (no globals, no string literals, no jump tables): every absolute address
// would read the caller's memory. It finds its own image from where its code runs, and reads the
// GetVersionExA slot from its own import table by name.

// Where this image sits in memory. The call pushes the run-time address of label 1; the word
// after the return holds that label's offset in the image, an image-relative value the linker
// fills in and no loader has to touch. The x86_64 code reaches the header relative to itself.
extern "C" const BYTE* OwnImageBase(void);
#if defined(__x86_64__)
asm(".text\n"
    ".globl OwnImageBase\n"
    "OwnImageBase:\n"
    "  leaq __ImageBase(%rip), %rax\n"
    "  ret\n");
#else
asm(".text\n"
    ".globl _OwnImageBase\n"
    "_OwnImageBase:\n"
    "  call 1f\n"
    "1:\n"
    "  popl %eax\n"
    "  subl 2f-1b(%eax), %eax\n"
    "  ret\n"
    "2:\n"
    "  .rva 1b\n");
#endif

// The probe takes GetVersionExA from the import table by name; this reference is what puts it
// there.
extern "C" __attribute__((used)) BOOL(WINAPI* const nvrVersionImport)(LPOSVERSIONINFOA) = GetVersionExA;

namespace {

typedef BOOL(WINAPI* VersionQuery)(LPOSVERSIONINFOA);

// Four bytes as one little-endian word: names are compared against constants held in the
// instructions, since a string in the data would be an absolute address.
constexpr uint32_t Word(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
         uint32_t(uint8_t(d)) << 24;
}

// Byte by byte, so that no build calls memcpy (an import of the C runtime library) for it.
uint32_t Load32(const BYTE* at) {
  return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

// True when length bytes from rva lie inside an image of imageSize bytes.
bool Inside(ULONG_PTR rva, ULONG_PTR length, DWORD imageSize) {
  return rva <= imageSize && length <= imageSize - rva;
}

// "KERNEL32.DLL" in any letter case (13 bytes with the terminator, checked by the caller).
bool IsKernelName(const BYTE* name) {
  const uint32_t lower = 0x20202020u;  // the digits and the dot already have this bit
  return (Load32(name) | lower) == Word('k', 'e', 'r', 'n') &&
         (Load32(name + 4) | lower) == Word('e', 'l', '3', '2') &&
         (Load32(name + 8) | lower) == Word('.', 'd', 'l', 'l') && name[12] == 0;
}

// "GetVersionExA" exactly (14 bytes with the terminator, checked by the caller).
bool IsVersionQueryName(const BYTE* name) {
  return Load32(name) == Word('G', 'e', 't', 'V') && Load32(name + 4) == Word('e', 'r', 's', 'i') &&
         Load32(name + 8) == Word('o', 'n', 'E', 'x') && name[12] == 'A' && name[13] == 0;
}

// GetVersionExA as the loader bound it into this image, or null: when the slot still holds what
// the linker wrote (the same name offset as the lookup table beside it), or when the headers or
// the import table cannot be read within the image.
VersionQuery BoundVersionQuery(const BYTE* base) {
  const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  // The headers lie in the first page, which every loader maps.
  const LONG HEADER_PAGE = 0x1000;
  if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < LONG(sizeof *dos) ||
      dos->e_lfanew > HEADER_PAGE - LONG(sizeof(IMAGE_NT_HEADERS)))
    return nullptr;
  const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC ||
      nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT)
    return nullptr;
  const DWORD imageSize = nt->OptionalHeader.SizeOfImage;
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!Inside(imports.VirtualAddress, imports.Size, imageSize)) return nullptr;

  const DWORD descriptors = imports.Size / sizeof(IMAGE_IMPORT_DESCRIPTOR);
  const IMAGE_IMPORT_DESCRIPTOR* d =
      reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
  for (DWORD i = 0; i < descriptors && d[i].Name != 0; ++i) {
    const DWORD lookupAt = d[i].OriginalFirstThunk, slotsAt = d[i].FirstThunk;
    // Without a lookup table beside the slots, a bound slot cannot be told from an unbound one.
    if (!Inside(d[i].Name, 13, imageSize) || !IsKernelName(base + d[i].Name) || lookupAt == 0)
      continue;
    const ULONG_PTR* lookup = reinterpret_cast<const ULONG_PTR*>(base + lookupAt);
    const ULONG_PTR* slots = reinterpret_cast<const ULONG_PTR*>(base + slotsAt);
    for (DWORD k = 0; Inside(lookupAt, (k + 1) * sizeof(ULONG_PTR), imageSize) &&
                      Inside(slotsAt, (k + 1) * sizeof(ULONG_PTR), imageSize) && lookup[k] != 0;
         ++k) {
      if (lookup[k] & IMAGE_ORDINAL_FLAG) continue;
      const ULONG_PTR nameAt = lookup[k] + 2;  // after the 16-bit hint
      if (!Inside(nameAt, 14, imageSize) || !IsVersionQueryName(base + nameAt)) continue;
      return slots[k] != lookup[k] ? reinterpret_cast<VersionQuery>(slots[k]) : nullptr;
    }
  }
  return nullptr;
}

// The same three numbers as the NT-family system keeps them for GetVersionExA: in the process
// environment block, which needs no import to read.
void ReadVersionFromProcessBlock(OSVERSIONINFOA* info) {
  // Read with a plain instruction: the toolchain's __readfsdword draws a false -Warray-bounds.
  const BYTE* peb;
#if defined(_WIN64)
  asm("movq %%gs:0x60, %0" : "=r"(peb));
  const size_t versionAt = 0x118;
#else
  asm("movl %%fs:0x30, %0" : "=r"(peb));
  const size_t versionAt = 0xA4;
  // The 95 family keeps its process database there instead, which holds no version: its first
  // byte is the kernel object type of a process, 5 on Windows 95 and 6 on 98 and Me (which
  // cannot be told apart here). The NT block starts with a flag byte, 0 or 1.
  const BYTE PROCESS_OBJECT_95 = 5, PROCESS_OBJECT_98 = 6;
  if (peb[0] == PROCESS_OBJECT_95 || peb[0] == PROCESS_OBJECT_98) {
    info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    info->dwMajorVersion = 4;
    info->dwMinorVersion = peb[0] == PROCESS_OBJECT_95 ? 0 : 10;
    return;
  }
#endif
  // OSMajorVersion, OSMinorVersion, OSBuildNumber (16 bits), OSCSDVersion, OSPlatformId.
  info->dwMajorVersion = *reinterpret_cast<const ULONG*>(peb + versionAt);
  info->dwMinorVersion = *reinterpret_cast<const ULONG*>(peb + versionAt + 4);
  info->dwPlatformId = *reinterpret_cast<const ULONG*>(peb + versionAt + 12);
}

}  // namespace

extern "C" DWORD DetermineOStype(void) {
  OSVERSIONINFOA info;
  // Zeroed by hand: ZeroMemory is memset, an import of the C runtime library.
  for (size_t i = 0; i < sizeof info; ++i) reinterpret_cast<volatile BYTE*>(&info)[i] = 0;
  info.dwOSVersionInfoSize = sizeof info;  // 148: the record's full size
  if (VersionQuery query = BoundVersionQuery(OwnImageBase())) {
    // Should the query fail, the zeroed record gives "other" 0.0 instead of undefined fields.
    query(&info);
  } else {
    ReadVersionFromProcessBlock(&info);
  }
  return PackOsType(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}

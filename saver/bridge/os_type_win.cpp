#include "saver/bridge/os_type_win.h"

#include <winternl.h>

#include "saver/bridge/os_type.h"

static_assert(sizeof(OSVERSIONINFOA) == 148, "the query needs the full 148-byte record");

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// A loader that maps this program as a library for a caller (LoadLibraryA of the .scr) may
// leave its import slots unbound: some bind imports only for DLLs. An unbound slot still holds
// what the linker wrote: the offset of the import's name inside this image, or an ordinal.
bool ImportsBound() {
  const BYTE* base = reinterpret_cast<const BYTE*>(&__ImageBase);
  const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + __ImageBase.e_lfanew);
  ULONG_PTR slot = reinterpret_cast<ULONG_PTR>(&GetVersionExA);
  ULONG_PTR ordinalFlag = static_cast<ULONG_PTR>(1) << (sizeof(ULONG_PTR) * 8 - 1);
  return slot >= nt->OptionalHeader.SizeOfImage && !(slot & ordinalFlag);
}

// The same three numbers as the NT-family system keeps them for GetVersionExA: in the process
// environment block, which needs no import to read.
void ReadVersionFromProcessBlock(OSVERSIONINFOA* info) {
#if defined(_WIN64)
  const BYTE* peb = reinterpret_cast<const BYTE*>(__readgsqword(0x60));
  const size_t versionAt = 0x118;
#else
  const BYTE* peb = reinterpret_cast<const BYTE*>(__readfsdword(0x30));
  const size_t versionAt = 0xA4;
#endif
  // OSMajorVersion, OSMinorVersion, OSBuildNumber (16 bits), OSCSDVersion, OSPlatformId.
  info->dwMajorVersion = *reinterpret_cast<const ULONG*>(peb + versionAt);
  info->dwMinorVersion = *reinterpret_cast<const ULONG*>(peb + versionAt + 4);
  info->dwPlatformId = *reinterpret_cast<const ULONG*>(peb + versionAt + 12);
}

}  // namespace

extern "C" DWORD DetermineOStype(void) {
  OSVERSIONINFOA info;
  // Zeroed by hand: ZeroMemory could be an import too.
  for (size_t i = 0; i < sizeof info; ++i) reinterpret_cast<volatile BYTE*>(&info)[i] = 0;
  info.dwOSVersionInfoSize = sizeof info;  // 148: the record's full size
  if (ImportsBound()) {
    // Should the query fail, the zeroed record gives "other" 0.0 instead of undefined fields.
    GetVersionExA(&info);
  } else {
    ReadVersionFromProcessBlock(&info);
  }
  return PackOsType(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}

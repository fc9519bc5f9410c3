// Tool: loads the module named on its command line as a library, calls its DetermineOStype
// export found by name, and exits with the answer (0xFFFFFFFF: no module or no export).
#include <windows.h>

typedef DWORD (*DetermineOStypeProc)(void);

int main(int argc, char** argv) {
  if (argc < 2) return -1;
  HMODULE module = LoadLibraryA(argv[1]);
  if (!module) return -1;
  DetermineOStypeProc probe =
      reinterpret_cast<DetermineOStypeProc>(GetProcAddress(module, "DetermineOStype"));
  DWORD answer = probe ? probe() : 0xFFFFFFFFu;
  FreeLibrary(module);
  return static_cast<int>(answer);
}

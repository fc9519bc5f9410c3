#include <windows.h>

// Process entry, until the command-line dispatcher lands.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }

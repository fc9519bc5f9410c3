// Tool: monitor_count exits with the number of monitors the system reports. The two-monitor bed
// asks it once before its tests, so that a Wine that sees one monitor is named as the cause
// instead of showing up as failures of the saver.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return GetSystemMetrics(SM_CMONITORS); }

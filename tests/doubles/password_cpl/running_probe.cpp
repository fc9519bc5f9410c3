// Tool: exits with the system's screen-saver-running state as a fresh process reads it
// (0 or 1), or 255 when the system does not answer the question.
#include <windows.h>

int main() {
  BOOL running = FALSE;
  if (!SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0)) return 255;
  return running ? 1 : 0;
}

#include "saver/bridge/os_type.h"

uint32_t PackOsType(uint32_t platformId, uint32_t majorVersion, uint32_t minorVersion) {
  uint32_t type = OSTYPE_OTHER;
  if (platformId == 1) {
    type = OSTYPE_WIN32_WINDOWS;
  } else if (platformId == 2) {
    type = OSTYPE_WIN32_NT;
  }
  return (type << 16) | ((majorVersion & 0xFFu) << 8) | (minorVersion & 0xFFu);
}

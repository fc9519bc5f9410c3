// Packing of the operating-system probe's answer: type code in bits 16 and up, major and minor
// version bytes below.
#ifndef NVR_SAVER_BRIDGE_OS_TYPE_H
#define NVR_SAVER_BRIDGE_OS_TYPE_H

#include <cstdint>

enum : uint32_t {
  OSTYPE_WIN32_NT = 3,       // platform id 2
  OSTYPE_WIN32_WINDOWS = 4,  // platform id 1
  OSTYPE_OTHER = 5,          // any other platform id, Win32s (0) among them
};

uint32_t PackOsType(uint32_t platformId, uint32_t majorVersion, uint32_t minorVersion);

// The type code of a packed answer, as the launch decides on it: the low 16 bits of result >> 16.
inline uint32_t OsTypeCode(uint32_t packed) { return (packed >> 16) & 0xFFFFu; }

#endif

#include "saver/bridge/splash_path.h"

#include <cstring>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Bytes of the character starting at p: 2 for a lead byte with a following byte, else 1.
size_t CharLength(const char* p, LeadBytePredicate isLeadByte) {
  if (isLeadByte && isLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') return 2;
  return 1;
}

// Appends n bytes of text at out[*used], keeping room for the terminator.
bool Put(char* out, size_t outSize, size_t* used, const char* text, size_t n) {
  if (n >= outSize - *used) return false;
  std::memcpy(out + *used, text, n);
  *used += n;
  out[*used] = '\0';
  return true;
}

}  // namespace

int SplitPath(const char* path, char* drive, size_t driveSize, char* directory,
              size_t directorySize, LeadBytePredicate isLeadByte) {
  if (driveSize == 0 || directorySize == 0) return 0;
  drive[0] = '\0';
  directory[0] = '\0';
  int whole = 1;
  const char* scan = path;
  if (path[0] != '\0' && path[1] == ':') {
    if (driveSize >= DRIVE_SIZE) {
      drive[0] = path[0];
      drive[1] = ':';
      drive[2] = '\0';
    } else {
      whole = 0;
    }
    scan = path + 2;
  }
  const char* afterSeparator = nullptr;
  for (const char* p = scan; *p != '\0'; p += CharLength(p, isLeadByte)) {
    if (IsSeparator(*p)) afterSeparator = p + 1;
  }
  if (!afterSeparator) return whole;
  // Copy whole characters only, so a cut never leaves half a double-byte character.
  size_t used = 0;
  for (const char* p = scan; p < afterSeparator;) {
    size_t n = CharLength(p, isLeadByte);
    if (used + n > directorySize - 1) {
      whole = 0;
      break;
    }
    std::memcpy(directory + used, p, n);
    used += n;
    p += n;
  }
  directory[used] = '\0';
  return whole;
}

int MakePath(char* out, size_t outSize, const char* drive, const char* directory,
             const char* name, const char* extension, LeadBytePredicate isLeadByte) {
  if (outSize == 0) return 0;
  out[0] = '\0';
  size_t used = 0;
  bool fits = true;
  if (drive && drive[0] != '\0') {
    char letter[2] = {drive[0], ':'};
    fits = Put(out, outSize, &used, letter, 2);
  }
  if (fits && directory && directory[0] != '\0') {
    // Where the final character begins, found character by character, so that the trail byte of
    // a double-byte character is never taken for it; a lead byte is never a separator.
    const char* last = directory;
    for (const char* p = directory; *p != '\0'; p += CharLength(p, isLeadByte)) last = p;
    fits = Put(out, outSize, &used, directory, std::strlen(directory));
    if (fits && !IsSeparator(*last)) {
      fits = Put(out, outSize, &used, "\\", 1);
    }
  }
  if (fits && name && name[0] != '\0') fits = Put(out, outSize, &used, name, std::strlen(name));
  if (fits && extension && extension[0] != '\0') {
    if (extension[0] != '.') fits = Put(out, outSize, &used, ".", 1);
    if (fits) fits = Put(out, outSize, &used, extension, std::strlen(extension));
  }
  if (!fits) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}

int AppendPath(char* buffer, size_t bufferSize, const char* text) {
  size_t used = 0;
  while (used < bufferSize && buffer[used] != '\0') ++used;
  if (used >= bufferSize) return 0;
  size_t n = std::strlen(text);
  if (n >= bufferSize - used) return 0;
  std::memcpy(buffer + used, text, n + 1);
  return 1;
}

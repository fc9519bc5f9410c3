// Splitting a command line into drive and directory, and composing a path from its parts, over
// byte strings in the system's ANSI code page. Every output is bounded by the size passed in.
#ifndef NVR_SAVER_BRIDGE_SPLASH_PATH_H
#define NVR_SAVER_BRIDGE_SPLASH_PATH_H

#include <cstddef>

#include "common/app_profile.h"

// Nonzero when byte starts a double-byte character in the code page in use; its next byte then
// belongs to it and is never a separator.
typedef int (*LeadBytePredicate)(unsigned char byte);

enum : size_t {
  PATH_SIZE = APP_PATH_SIZE,  // every path buffer
  DRIVE_SIZE = 3,             // a letter, ':' and the terminator
  DIRECTORY_SIZE = 256,       // at most 255 bytes and the terminator
};

// Drive (the first two bytes when the second is ':') and directory (up to and including the last
// '\\' or '/' after the drive) of path. Both outputs are always terminated. Returns 1 when both
// parts fit whole, 0 when one had to be cut (at a character boundary).
int SplitPath(const char* path, char* drive, size_t driveSize, char* directory,
              size_t directorySize, LeadBytePredicate isLeadByte);

// drive's first character and ':', the directory with a '\\' added unless it ends in a separator,
// the name, and the extension after a '.' unless it begins with one. Null or empty parts are left
// out (an empty extension adds nothing). Returns 1 when the whole path fits out; otherwise 0 and
// out holds an empty string, since a cut path would name a different file.
int MakePath(char* out, size_t outSize, const char* drive, const char* directory,
             const char* name, const char* extension, LeadBytePredicate isLeadByte);

// Appends text to the string in buffer. Returns 1 when it fits whole; otherwise 0 and buffer is
// left as it was.
int AppendPath(char* buffer, size_t bufferSize, const char* text);

#endif

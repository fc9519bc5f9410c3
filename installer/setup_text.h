// Bounded text and path handling shared by the setup program's decisions, over byte strings in
// the system's ANSI code page. Every output is bounded by the size passed in, and a text that
// does not fit whole is never cut: a cut path names a different file.
#ifndef NVR_INSTALLER_SETUP_TEXT_H
#define NVR_INSTALLER_SETUP_TEXT_H

#include <cstddef>
#include <cstdint>

enum : uint32_t {
  SETUP_PATH_SIZE = 260,  // every path buffer, the system's own limit with its terminator
};

// Nonzero when byte starts a double-byte character in the code page in use: its next byte
// belongs to it and is never a separator, a blank or a quote. Null for a single-byte code page.
typedef int (*IsLeadByteProc)(unsigned char byte);

// Copies text to out. Returns 1 when it fits whole; otherwise 0 and out holds "".
int CopyText(char* out, size_t outSize, const char* text);

// Appends text to the string in out. Returns 1 when it fits whole; otherwise 0 and out is left
// as it was.
int AppendText(char* out, size_t outSize, const char* text);

// folder, a backslash and name (folder given without a separator at its end). 1 when it fits
// whole; otherwise 0 and out holds "".
int JoinPath(char* out, size_t outSize, const char* folder, const char* name);

// A string value as the registry hands it over: size bytes, ended by the first NUL or by size.
// 1 when it fits whole; otherwise 0 and out holds "".
int CopyData(char* out, size_t outSize, const unsigned char* data, uint32_t size);

// Equal apart from the case of ASCII letters, as the system compares file names.
int SameText(const char* a, const char* b);

// Cuts blanks and path separators ('\\' or '/') from the end of folder in place, character by
// character so that the trail byte of a double-byte character is kept.
void TrimFolder(char* folder, IsLeadByteProc isLeadByte);

// Bytes of the character at p: 2 for a lead byte with a following byte, else 1.
size_t CharLength(const char* p, IsLeadByteProc isLeadByte);

#endif

#include "installer/setup_command.h"

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32 && c != '\0'; }

bool StartsWith(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix)
    if (*text != *prefix) return false;
  return true;
}

// The word at p is exactly word (compared by ASCII case when anyCase), ended by a blank or NUL.
bool IsWord(const char* p, const char* word, bool anyCase) {
  for (; *word; ++p, ++word) {
    char c = *p;
    if (anyCase && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != *word) return false;
  }
  return *p == '\0' || IsBlank(*p);
}

// Blanks and quotes are below 0x40, where no trail byte of a double-byte character lies: the
// words are found byte by byte.
const char* SkipWord(const char* p) {
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p) ++p;
  }
  while (*p && !IsBlank(*p)) ++p;
  return p;
}

}  // namespace

int ParseSetupCommand(const char* tail, SetupCommand* command) {
  command->flags = 0;
  command->folder[0] = '\0';
  for (const char* p = tail; *p;) {
    if (IsBlank(*p)) {
      ++p;
      continue;
    }
    uint32_t folderFlag = 0;
    if (StartsWith(p, "/D=")) folderFlag = SETUP_FOLDER;
    if (StartsWith(p, "_?=")) folderFlag = SETUP_IN_PLACE;
    if (folderFlag) {
      const char* folder = p + 3;
      size_t n = 0;
      while (folder[n]) ++n;
      while (n && IsBlank(folder[n - 1])) --n;
      if (n >= sizeof command->folder) return 0;
      for (size_t i = 0; i < n; ++i) command->folder[i] = folder[i];
      command->folder[n] = '\0';
      command->flags |= folderFlag;
      return 1;
    }
    if (IsWord(p, "/S", false)) command->flags |= SETUP_SILENT;
    if (IsWord(p, "/NOCURRENT", true)) command->flags |= SETUP_NO_CURRENT;
    p = SkipWord(p);
  }
  return 1;
}

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Where the path below the root begins: after "X:\" or after "\\server\share\"; null when the
// folder is not absolute or names the root itself.
const char* BelowRoot(const char* folder, IsLeadByteProc isLeadByte) {
  if (IsLetter(folder[0]) && folder[1] == ':') {
    if (!IsSeparator(folder[2])) return nullptr;
    return folder[3] ? folder + 3 : nullptr;
  }
  if (!IsSeparator(folder[0]) || !IsSeparator(folder[1])) return nullptr;
  // Server and share: two names, each ended by a separator.
  const char* p = folder + 2;
  for (int part = 0; part < 2; ++part) {
    const char* name = p;
    while (*p && !IsSeparator(*p)) p += CharLength(p, isLeadByte);
    if (p == name || !*p) return nullptr;
    ++p;
  }
  return *p ? p : nullptr;
}

}  // namespace

int CheckInstallFolder(const char* folder, IsLeadByteProc isLeadByte, char* out,
                       uint32_t outSize) {
  if (!CopyText(out, outSize, folder)) return 0;
  TrimFolder(out, isLeadByte);
  size_t length = 0;
  bool usable = BelowRoot(out, isLeadByte) != nullptr;
  for (const char* p = out; usable && *p; p += CharLength(p, isLeadByte)) {
    if (CharLength(p, isLeadByte) == 2) continue;
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 32 || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|' ||
        (c == ':' && p != out + 1)) {
      usable = false;
    }
  }
  while (out[length]) ++length;
  if (usable && length <= SETUP_FOLDER_MAX) return 1;
  out[0] = '\0';
  return 0;
}

int ChooseInstallFolder(const SetupCommand* command, const char* recorded,
                        const char* programFiles, IsLeadByteProc isLeadByte, char* out,
                        uint32_t outSize) {
  if (command->flags & SETUP_FOLDER) return CheckInstallFolder(command->folder, isLeadByte, out, outSize);
  if (recorded[0] && CheckInstallFolder(recorded, isLeadByte, out, outSize)) return 1;
  char base[SETUP_PATH_SIZE];
  char folder[SETUP_PATH_SIZE];
  folder[0] = '\0';
  if (CopyText(base, sizeof base, programFiles)) {
    TrimFolder(base, isLeadByte);
    JoinPath(folder, sizeof folder, base, "Nuvora NVR");
  }
  return CheckInstallFolder(folder, isLeadByte, out, outSize);
}

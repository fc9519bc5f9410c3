#include "installer/setup_files.h"

#include <cstring>

namespace {

constexpr char SAVER_NAME[] = "nvrss32.scr";
constexpr char PLUGIN_NAME[] = "NPNVR.DLL";

// folder, trimmed of separators at its end, joined with name.
int JoinTrimmed(char* out, uint32_t outSize, const char* folder, const char* name,
                IsLeadByteProc isLeadByte) {
  char trimmed[SETUP_PATH_SIZE];
  if (!CopyText(trimmed, sizeof trimmed, folder)) {
    if (outSize) out[0] = '\0';
    return 0;
  }
  TrimFolder(trimmed, isLeadByte);
  return JoinPath(out, outSize, trimmed, name);
}

}  // namespace

int PlaceSaver(uint32_t isWow64, const char* windowsFolder, const char* systemFolder,
               IsLeadByteProc isLeadByte, SaverFile* out) {
  out->wow64 = isWow64 != 0;
  out->reach[0] = '\0';
  if (!JoinTrimmed(out->recorded, sizeof out->recorded, systemFolder, SAVER_NAME, isLeadByte))
    return 0;
  if (!isWow64) return CopyText(out->reach, sizeof out->reach, out->recorded);
  char native[SETUP_PATH_SIZE];
  return JoinTrimmed(native, sizeof native, windowsFolder, "Sysnative", isLeadByte) &&
         JoinPath(out->reach, sizeof out->reach, native, SAVER_NAME);
}

int ReplacementPath(const char* path, char* out, uint32_t outSize) {
  if (CopyText(out, outSize, path) && AppendText(out, outSize, ".new")) return 1;
  if (outSize) out[0] = '\0';
  return 0;
}

namespace {

// Adds the copy "<folder>\Plugins\NPNVR.DLL" unless it is there already; counts what cannot be.
void AddCopy(PluginPlan* plan, const char* base, IsLeadByteProc isLeadByte) {
  char folder[SETUP_PATH_SIZE];
  char copy[SETUP_PATH_SIZE];
  char replacement[SETUP_PATH_SIZE];
  if (!JoinTrimmed(folder, sizeof folder, base, "Plugins", isLeadByte) ||
      !JoinPath(copy, sizeof copy, folder, PLUGIN_NAME) ||
      !ReplacementPath(copy, replacement, sizeof replacement)) {
    ++plan->leftOut;
    return;
  }
  for (uint32_t i = 0; i < plan->count; ++i)
    if (SameText(plan->copy[i], copy)) return;
  if (plan->count >= SETUP_COPIES_MAX) {
    ++plan->leftOut;
    return;
  }
  std::memcpy(plan->folder[plan->count], folder, sizeof folder);
  std::memcpy(plan->copy[plan->count], copy, sizeof copy);
  ++plan->count;
}

}  // namespace

void PlanPluginCopies(const BrowserEntry* browsers, uint32_t browserCount,
                      const char* installFolder, IsLeadByteProc isLeadByte, PluginPlan* out) {
  out->count = 0;
  out->leftOut = 0;
  // Entries naming no existing folder are stale: left behind by a browser since removed.
  for (uint32_t i = 0; i < browserCount; ++i) {
    const char* directory = browsers[i].installDirectory;
    if (directory && directory[0] && browsers[i].exists) AddCopy(out, directory, isLeadByte);
  }
  if (out->count == 0) AddCopy(out, installFolder, isLeadByte);
}

namespace {

int Add(RestartPlan* plan, const char* from, const char* to) {
  if (plan->count >= SETUP_RESTART_MAX) return 0;
  RestartOp* op = &plan->ops[plan->count];
  if (!CopyText(op->from, sizeof op->from, from) || !CopyText(op->to, sizeof op->to, to)) return 0;
  ++plan->count;
  return 1;
}

int AddReplacement(RestartPlan* plan, const char* path) {
  char replacement[SETUP_PATH_SIZE];
  return ReplacementPath(path, replacement, sizeof replacement) && Add(plan, replacement, path);
}

// A folder's deletion names it with a '\\' at its end, as earlier setups scheduled it.
int AddFolderDeletion(RestartPlan* plan, const char* folder) {
  char name[SETUP_PATH_SIZE];
  return CopyText(name, sizeof name, folder) && AppendText(name, sizeof name, "\\") &&
         Add(plan, name, "");
}

}  // namespace

int PlanInstallRestart(const char* saver, uint32_t saverHeld, uint32_t saverDeletionPending,
                       const PluginPlan* plan, uint32_t heldCopies, RestartPlan* out) {
  out->count = 0;
  if ((saverHeld || saverDeletionPending) && !AddReplacement(out, saver)) return 0;
  for (uint32_t i = 0; i < plan->count && i < SETUP_COPIES_MAX; ++i)
    if ((heldCopies >> i & 1u) && !AddReplacement(out, plan->copy[i])) return 0;
  return 1;
}

int PlanUninstallRestart(const char* saver, uint32_t saverHeld, const UninstallRecord* record,
                         uint32_t heldCopies, const char* folder, uint32_t folderKept,
                         RestartPlan* out) {
  out->count = 0;
  if (saverHeld && !Add(out, saver, "")) return 0;
  for (uint32_t i = 0; i < record->copyCount && i < SETUP_COPIES_MAX; ++i) {
    if (!(heldCopies >> i & 1u)) continue;
    const PluginCopy* copy = &record->copies[i];
    if (!Add(out, copy->path, "")) return 0;
    // The folder made for the copy goes after it; one made by the browser stays.
    if (copy->madeFolder[0] && !AddFolderDeletion(out, copy->madeFolder)) return 0;
  }
  if (out->count && folderKept && folder[0] && !AddFolderDeletion(out, folder)) return 0;
  return 1;
}

namespace {

bool IsLineName(const char* name) {
  if (!name || !name[0]) return false;
  for (const char* p = name; *p; ++p)
    if (*p == '=' || *p == '\r' || *p == '\n') return false;
  return true;
}

// Whether the line at text[at..] begins (after blanks) with word, compared by ASCII case.
bool LineStartsWith(const char* text, uint32_t length, uint32_t at, const char* word) {
  while (at < length && (text[at] == ' ' || text[at] == '\t')) ++at;
  for (; *word; ++word, ++at) {
    if (at >= length) return false;
    char c = text[at];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != *word) return false;
  }
  return true;
}

uint32_t NextLine(const char* text, uint32_t length, uint32_t at) {
  while (at < length && text[at] != '\n') ++at;
  return at < length ? at + 1 : at;
}

bool Put(char* out, uint32_t outSize, uint32_t* used, const char* text, uint32_t n) {
  if (n >= outSize - *used) return false;
  if (n) std::memcpy(out + *used, text, n);
  *used += n;
  out[*used] = '\0';
  return true;
}

}  // namespace

int WininitLine(const char* shortFrom, const char* shortTo, char* out, uint32_t outSize) {
  bool deletion = !shortTo || !shortTo[0];
  if (IsLineName(shortFrom) && (deletion || IsLineName(shortTo)) &&
      CopyText(out, outSize, deletion ? "NUL" : shortTo) && AppendText(out, outSize, "=") &&
      AppendText(out, outSize, shortFrom) && AppendText(out, outSize, "\r\n")) {
    return 1;
  }
  if (outSize) out[0] = '\0';
  return 0;
}

int AddRenameLines(const char* text, uint32_t length, const char* lines, char* out,
                   uint32_t outSize, uint32_t* outLength) {
  *outLength = 0;
  if (outSize == 0) return 0;
  out[0] = '\0';
  // Where the lines go: before the line that opens the section after [rename], or at the end.
  uint32_t at = 0;
  bool found = false;
  while (at < length && !found) {
    found = LineStartsWith(text, length, at, "[rename]");
    at = NextLine(text, length, at);
  }
  if (found)
    while (at < length && !LineStartsWith(text, length, at, "[")) at = NextLine(text, length, at);
  uint32_t used = 0;
  bool open = at > 0 && text[at - 1] != '\n';  // the text before ends within a line
  uint32_t n = static_cast<uint32_t>(std::strlen(lines));
  if (Put(out, outSize, &used, text, at) && (!open || Put(out, outSize, &used, "\r\n", 2)) &&
      (found || Put(out, outSize, &used, "[rename]\r\n", 10)) &&
      Put(out, outSize, &used, lines, n) && Put(out, outSize, &used, text + at, length - at)) {
    *outLength = used;
    return 1;
  }
  out[0] = '\0';
  return 0;
}

uint32_t SetupExitCode(uint32_t failed, uint32_t cancelled, uint32_t restartOps,
                       uint32_t earlierUninstallExit) {
  if (failed) return SETUP_EXIT_FAILED;
  if (cancelled) return SETUP_EXIT_CANCELLED;
  if (restartOps || earlierUninstallExit == SETUP_EXIT_RESTART) return SETUP_EXIT_RESTART;
  return SETUP_EXIT_DONE;
}

// Undoing a journal: the steps of <undo area>\journal, last first, once the area, every line and
// every path in it have been found to be what they say.
#include "install/JournalRollback.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "classlib/FileHandle.h"
#include "install/EntriesBelow.h"
#include "install/EntryNames.h"
#include "install/FormattedText.h"
#include "install/OwnFiles.h"
#include "install/PathSafety.h"
#include "install/ProtectedArea.h"
#include "install/WholeFile.h"

namespace {

constexpr DWORD kMaxJournalSize = 16u << 20;  // far more than the lines of any patch

BOOL Exists(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

UndoResult Ended(int notUndone, BOOL refused, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
UndoResult Ended(int notUndone, BOOL refused, const char* format, ...) {
  UndoResult result{notUndone, refused, ""};
  va_list arguments;
  va_start(arguments, format);
  result.why = FormattedTextV(format, arguments);
  va_end(arguments);
  return result;
}

// Relative paths below one root, each checked before it is used: every folder on the way that
// exists is no reparse point and resolves exactly where the root and its name say, so that no link
// or junction, at any depth, turns a step on an entry of the configuration folder into one
// elsewhere. The entry itself may be a link: a step renames, replaces or removes an entry, which
// acts on the link, never on what it leads to.
class CPlacesBelow {
 public:
  BOOL Open(const char* root) {
    if (strlen(root) >= MAX_PATH) return FALSE;
    strcpy(m_root, root);
    char resolved[kResolvedPathSize];
    if (!ResolvePath(root, resolved)) return FALSE;
    m_resolved = resolved;
    return TRUE;
  }
  const char* Root() const { return m_root; }

  // root\relative into full (MAX_PATH bytes); FALSE when it does not fit or leads elsewhere.
  // With entryToo, the entry itself must be no link either.
  BOOL Check(const char* relative, char* full, BOOL entryToo = FALSE) {
    if (!JoinItemPath(full, m_root, relative, MAX_PATH - 1)) return FALSE;
    const size_t start = strlen(full) - strlen(relative);
    for (size_t end = start + strcspn(full + start, "\\");;
         end += 1 + strcspn(full + end + 1, "\\")) {
      const bool entry = full[end] == '\0';
      if (entry && !entryToo) break;
      const std::string place(full, end);
      if (m_folders.count(place) == 0) {
        const DWORD attributes = GetFileAttributesA(place.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) break;  // nothing there to lead elsewhere
        char resolved[kResolvedPathSize];
        const std::string expected = m_resolved + ("\\" + place.substr(start));
        if (IsReparsePoint(attributes) || !ResolvePath(place.c_str(), resolved) ||
            _stricmp(resolved, expected.c_str()) != 0) {
          return FALSE;
        }
        if (!entry) m_folders.insert(place);
      }
      if (entry) break;
    }
    return TRUE;
  }

 private:
  char m_root[MAX_PATH] = "";
  std::string m_resolved;
  std::set<std::string> m_folders;  // folders found to be where they say
};

// Opens the area name below the configuration folder and checks that it is a plain folder there
// (no link, and where its name says), still protected. The handle, kept open without sharing
// deletion, keeps it from being renamed.
BOOL OpenTrustedArea(CPlacesBelow& config, const char* name, CFileHandle* area, char* why,
                     size_t size) {
  char path[MAX_PATH];
  BY_HANDLE_FILE_INFORMATION information;
  if (!config.Check(name, path, TRUE) || !Exists(path) ||
      !area->Create(path, READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT) ||
      !area->GetInformation(&information) || !IsFolder(information.dwFileAttributes) ||
      IsReparsePoint(information.dwFileAttributes)) {
    snprintf(why, size, "it is not a plain folder in the configuration folder");
    return FALSE;
  }
  return IsProtectedFolder(area->GetSafeHandle(), why, size);
}

// The paths of one step, checked: into target and kept (each MAX_PATH bytes, empty where the step
// has none). FALSE, naming the path in why, when one leads elsewhere.
BOOL CheckStep(const JournalStep& step, CPlacesBelow& config, CPlacesBelow& area, char* target,
               char* kept, char* why, size_t size) {
  target[0] = kept[0] = '\0';
  const struct {
    const char* relative;
    CPlacesBelow& below;
    char* full;
  } places[] = {{step.target, config, target}, {step.kept, area, kept}};
  for (const auto& place : places) {
    if (place.relative[0] != '\0' && !place.below.Check(place.relative, place.full)) {
      snprintf(why, size, "line %d: %s\\%s does not lead where its name says", step.line,
               place.below.Root(), place.relative);
      return FALSE;
    }
  }
  return TRUE;
}

// Undoes one step, its paths checked; TRUE when what it did is gone (or it had not begun). Each
// act goes through a handle on the target's folder, found where its name says at that moment
// (EntriesBelow.h): a folder swapped for a junction since the check refuses the act instead of
// carrying it elsewhere.
BOOL UndoStep(JournalStepKind kind, const char* target, const char* kept) {
  switch (kind) {
    case kStepFolderMade:  // empty again once every later step is undone
      return !IsFolder(GetFileAttributesA(target)) || RemoveEntryBelow(target, TRUE);
    case kStepFileMade:  // the file in target's name is the install's
      return !Exists(target) || RemoveEntryBelow(target, FALSE);
    case kStepFileRenewed:  // the backup exists only once the renewal began
      if (Exists(kept)) {
        // The new file may be a read-only patch file, which a move would not replace. Its flag
        // is cleared only where it is the install's file alone (MakeOwnFileWritable): through a
        // hard link or a link it would be another file's.
        const DWORD placed = GetFileAttributesA(target);
        if (placed != INVALID_FILE_ATTRIBUTES && (placed & FILE_ATTRIBUTE_READONLY) != 0)
          MakeOwnFileWritable(target);
        return MoveEntryInto(kept, target, TRUE);
      }
      return TRUE;
    case kStepFolderMovedAside:  // the copy's new folder is empty again by now
      if (!Exists(kept)) return TRUE;
      if (Exists(target) && !RemoveEntryBelow(target, TRUE)) return FALSE;
      return MoveEntryInto(kept, target, FALSE);
    case kStepConfigMade:  // after the undo area is gone
    case kStepCommitted:   // the mark itself changed nothing
      return TRUE;
  }
  return FALSE;
}

// Where each line of text begins: line n (1 is the first) at [n - 1].
std::vector<size_t> LineStarts(const std::vector<char>& text) {
  std::vector<size_t> starts{0};
  for (size_t at = 0; at + 1 < text.size(); ++at) {
    if (text[at] == '\r' && text[at + 1] == '\n') starts.push_back(at + 2);
  }
  return starts;
}

// Ends the journal at offset: the line that begins there, and all after it, are gone.
BOOL CutJournalAt(const CFileHandle& journal, size_t offset) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(journal.GetSafeHandle(), at, nullptr, FILE_BEGIN) &&
         SetEndOfFile(journal.GetSafeHandle());
}

// Keeps the area of a finished install as the previous generation.
void KeepAsPrevious(const char* config, const char* undoArea) {
  char previous[MAX_PATH];
  if (JoinItemPath(previous, config, kPreviousAreaName, MAX_PATH - 1) && RemoveOwnTree(previous) &&
      MoveFileExA(undoArea, previous, MOVEFILE_WRITE_THROUGH)) {
    return;
  }
  RemoveOwnTree(undoArea);
}

// Undoes the journal of the area name below config (the undo area, or the kept generation, which
// is undone where it lies). A committed journal in the undo area is kept as the previous
// generation, unless the caller asks to undo it all the same.
UndoResult RollBackArea(const char* config, const char* name, BOOL evenIfCommitted,
                        UndoProgress progress, MadeFolders* made) {
  char undoArea[MAX_PATH];  // the paths of an old journal name it, wherever the area is now
  char areaPath[MAX_PATH];
  char path[MAX_PATH];
  CPlacesBelow inConfig;
  CPlacesBelow inArea;
  CFileHandle pin;
  char why[256];
  if (!JoinItemPath(undoArea, config, kUndoAreaName, MAX_PATH - 1) ||
      !JoinItemPath(areaPath, config, name, MAX_PATH - 1) ||
      !JoinItemPath(path, areaPath, kJournalName, MAX_PATH - 1) || !inConfig.Open(config)) {
    return Ended(1, FALSE, "%s cannot be looked at", config);
  }
  if (!OpenTrustedArea(inConfig, name, &pin, why, sizeof why) || !inArea.Open(areaPath)) {
    return Ended(0, TRUE, "%s was not made by this program and is not executed: %s", areaPath, why);
  }
  if (!Exists(path)) {
    // Killed before its journal existed: the run had done nothing yet.
    pin.Close();
    return RemoveOwnTree(areaPath) ? UndoResult{} : Ended(1, FALSE, "%s stays", areaPath);
  }
  std::vector<char> text;
  std::vector<JournalStep> steps;
  JournalFault fault;
  if (!ReadWholeFile(path, kMaxJournalSize, &text))
    return Ended(1, FALSE, "%s cannot be read", path);
  const std::vector<size_t> lineStarts = LineStarts(text);
  if (!ParseJournal(text.data(), text.size(), &steps, &fault)) {
    return Ended(0, TRUE, "%s is not executed: line %d: %s", path, fault.line, fault.why.c_str());
  }
  if (!steps.empty() && steps.back().kind == kStepCommitted && !evenIfCommitted) {
    pin.Close();
    KeepAsPrevious(config, undoArea);
    return UndoResult{};
  }
  // Every path is checked before the first step is undone: a journal with one that leads
  // elsewhere is not begun.
  char target[MAX_PATH], kept[MAX_PATH];
  for (const JournalStep& step : steps) {
    if (!CheckStep(step, inConfig, inArea, target, kept, why, sizeof why)) {
      return Ended(0, TRUE, "%s is not executed: %s", path, why);
    }
  }
  // Each step undone leaves the journal, so that its text is always the steps still to be undone.
  // A rollback killed midway is then finished by the next one without undoing any step twice:
  // undone again once a folder it had moved aside is back, a file added there would be the old
  // file, and it would go for good. The first step that cannot be undone ends the rollback: the
  // steps before it are left for the next try, in order.
  CFileHandle journal;
  if (!journal.Create(path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH)) {
    return Ended(static_cast<int>(steps.size()), FALSE, "%s cannot be written", path);
  }
  int levels = 0;
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
    if (step->kind == kStepConfigMade) {
      // Its folders go after the area; the line stays until then.
      if (step->levels > levels) levels = step->levels;
      continue;
    }
    if (!CheckStep(*step, inConfig, inArea, target, kept, why, sizeof why) ||
        !UndoStep(step->kind, target, kept) ||
        !CutJournalAt(journal, lineStarts[step->line - 1])) {
      const int left = static_cast<int>(steps.rend() - step);
      return Ended(left, FALSE, "%d step(s) of %s could not be undone, from line %d", left, path,
                   step->line);
    }
    if (step->kind != kStepCommitted && progress.stepUndone != nullptr) {
      progress.stepUndone(progress.context);
    }
  }
  journal.Close();
  pin.Close();
  if (!RemoveOwnTree(areaPath)) return Ended(1, FALSE, "%s could not be removed", areaPath);
  // The folders the install made before its journal: the configuration folder, and its parent.
  const MadeFolders madeHere{config, levels};
  if (made != nullptr) {
    *made = madeHere;
    return UndoResult{};
  }
  return RemoveMadeFolders(madeHere) ? UndoResult{}
                                     : Ended(1, FALSE, "%s could not be removed", config);
}

}  // namespace

BOOL RemoveMadeFolders(const MadeFolders& made) {
  std::string folder = made.config;
  BOOL removed = TRUE;
  for (int level = 0; level < made.levels; ++level) {
    if (Exists(folder.c_str()) && !RemoveDirectoryA(folder.c_str())) removed = FALSE;
    const size_t cut = folder.rfind('\\');
    if (cut == std::string::npos) break;
    folder.resize(cut);
  }
  return removed;
}

UndoResult RollBackJournal(InstallJournal* journal, MadeFolders* made) {
  // A folder the install made is removed below; a handle still open on it would keep it.
  ReleaseHeldFolders(journal);
  journal->file.Close();
  return RollBackArea(journal->config.c_str(), kUndoAreaName, FALSE, UndoProgress{}, made);
}

UndoResult RecoverUndoArea(const char* config, MadeFolders* made) {
  char undoArea[MAX_PATH];
  if (!JoinItemPath(undoArea, config, kUndoAreaName, MAX_PATH - 1) || !Exists(undoArea)) {
    return UndoResult{};
  }
  return RollBackArea(config, kUndoAreaName, FALSE, UndoProgress{}, made);
}

UndoResult RestorePreviousGeneration(const char* config, UndoProgress progress,
                                     MadeFolders* made) {
  char previous[MAX_PATH];
  char undoArea[MAX_PATH];
  if (!JoinItemPath(previous, config, kPreviousAreaName, MAX_PATH - 1) ||
      !JoinItemPath(undoArea, config, kUndoAreaName, MAX_PATH - 1) || !Exists(previous)) {
    return Ended(1, FALSE, "%s holds no kept generation", config);
  }
  // A run's leftover is finished first by the next install; until then, nothing is put back.
  if (Exists(undoArea)) return Ended(1, FALSE, "%s is in the way", undoArea);
  // Undone where it lies, as a failed install's journal would be; what could not be undone stays
  // in it.
  return RollBackArea(config, kPreviousAreaName, TRUE, progress, made);
}

#include "install/InstallJournal.h"

#include <cstdio>
#include <cstring>

#include "install/EntryNames.h"
#include "install/FilesInUse.h"
#include "install/OpenBelow.h"
#include "install/OwnFiles.h"
#include "install/PathSafety.h"
#include "install/ProtectedArea.h"

namespace {

// Appends bytes to the journal; the handle is opened write-through, so a line is on the disk
// before the step it announces begins.
BOOL Append(InstallJournal* journal, const char* text, size_t length) {
  DWORD written = 0;
  return journal->file.IsOpen() &&
         WriteFile(journal->file.GetSafeHandle(), text, static_cast<DWORD>(length), &written,
                   nullptr) &&
         written == static_cast<DWORD>(length);
}

BOOL WriteStep(InstallJournal* journal, const JournalStep& step) {
  PhaseTimer timer(journal->times, kPhaseJournal);
  char line[kJournalLineSize];
  if (!FormatJournalStep(step, line, sizeof line) || !Append(journal, line, strlen(line))) {
    return FALSE;
  }
  ++journal->steps;
  return TRUE;
}

// Backups to a folder of the undo area. Wine makes sure a new name is not there already in
// another case by reading the whole folder, so a single folder of 3,000 backups cost 3,000 reads
// of up to 3,000 entries, and that was most of the time an install over an installed patch took.
constexpr int32_t kBackupsPerFolder = 128;

// <undo area>\<step / 128>\<step><suffix>: where the next step keeps what it replaces, into path
// (and below the area into kept). The folder is made on the way (the area goes as a whole, so it
// is not a step of its own).
BOOL KeptName(InstallJournal* journal, const char* suffix, char* path, char* kept) {
  const int32_t bucket = journal->steps / kBackupsPerFolder;
  snprintf(kept, MAX_PATH, "%d\\%d%s", static_cast<int>(bucket), static_cast<int>(journal->steps),
           suffix);
  std::string folder;
  if (!JoinItemPath(&folder, journal->undoArea, std::to_string(bucket).c_str(), MAX_PATH - 1))
    return FALSE;
  if (bucket != journal->bucketMade) {
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      return FALSE;
    journal->bucketMade = bucket;
  }
  return JoinItemPath(path, journal->undoArea.c_str(), kept, MAX_PATH - 1);
}

// The folder part of path, a path below the configuration folder, as a handle checked to lead
// where its name says (kept for the next entry of the same folder); *leaf is the last component
// of path. Null when the folder is not there or leads elsewhere.
// The held folder's slot used longest ago (or never), for the next folder to hold.
InstallJournal::HeldFolder* LeastRecentlyUsed(InstallJournal* journal) {
  InstallJournal::HeldFolder* least = &journal->heldFolders[0];
  for (InstallJournal::HeldFolder& held : journal->heldFolders) {
    if (held.lastUse < least->lastUse) least = &held;
  }
  return least;
}

HANDLE CheckedFolderOf(InstallJournal* journal, const char* path, const char** leaf) {
  const char* cut = strrchr(path, '\\');
  if (cut == nullptr || PathBelow(path, journal->config.c_str()) == nullptr) return nullptr;
  *leaf = cut + 1;
  const size_t length = static_cast<size_t>(cut - path);
  for (InstallJournal::HeldFolder& held : journal->heldFolders) {
    if (held.handle.IsOpen() && held.path.size() == length &&
        _strnicmp(held.path.c_str(), path, length) == 0) {
      held.lastUse = ++journal->folderUses;
      return held.handle.GetSafeHandle();
    }
  }
  InstallJournal::HeldFolder* least = LeastRecentlyUsed(journal);
  char resolved[kResolvedPathSize];
  least->path.assign(path, length);
  if (!OpenFolderWhereNamed(least->path.c_str(),
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &least->handle,
                            resolved)) {
    least->handle.Close();
    least->path.clear();
    return nullptr;
  }
  least->lastUse = ++journal->folderUses;
  return least->handle.GetSafeHandle();
}

// Holds folder, just made by the install in a held folder (so where its name says), for what is
// made in it next, in place of the least recently used.
void HoldMadeFolder(InstallJournal* journal, const char* folder, CFileHandle* made) {
  InstallJournal::HeldFolder* least = LeastRecentlyUsed(journal);
  least->path = folder;
  least->handle.Attach(made->Detach());
  least->lastUse = ++journal->folderUses;
}

enum MoveResult { kMoved, kHeld, kNotMoved };

// Moves the file at path to the new name to, through one handle, once that handle is found to
// lead strictly below root: what is checked is what is moved, whatever happens to the name
// meanwhile. Nothing is moved for a file that leads elsewhere, nor for one another program holds
// against deletion (kHeld: this open is the same as the look for files in use).
MoveResult MoveFileBelow(const char* root, const char* path, const char* to) {
  CFileHandle file;
  char resolved[kResolvedPathSize];
  if (!file.Create(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS)) {
    return FailedAsHeld() ? kHeld : kNotMoved;
  }
  if (!ResolveHandle(file.GetSafeHandle(), resolved) || !IsStrictlyBelow(root, resolved)) {
    return kNotMoved;
  }
  // The new name as the native call takes it: "\??\" and the full path, in UTF-16.
  constexpr int kNameChars = MAX_PATH + 8;
  // Aligned as the structure: it holds a HANDLE, at offset 4 in a 32-bit program and 8 in a 64-bit
  // one, and FileName follows it.
  alignas(FILE_RENAME_INFO) char buffer[sizeof(FILE_RENAME_INFO) + kNameChars * sizeof(WCHAR)] = {};
  FILE_RENAME_INFO* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer);
  wcscpy(rename->FileName, L"\\??\\");
  const int converted =
      MultiByteToWideChar(CP_ACP, 0, to, -1, rename->FileName + 4, kNameChars - 4);
  if (converted <= 0) return kNotMoved;
  rename->ReplaceIfExists = FALSE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>((converted - 1 + 4) * sizeof(WCHAR));
  return SetFileInformationByHandle(file.GetSafeHandle(), FileRenameInfo, rename, sizeof buffer)
             ? kMoved
             : kNotMoved;
}

// Moves the replaced file at path to its backup, trying again while another program holds it,
// within the installation's budget for waiting; one held to the end is named in the journal's
// held.
BOOL MoveToBackup(InstallJournal* journal, const char* path, const char* backup) {
  PhaseTimer timer(journal->times, kPhaseBackups);
  for (int tries = 1;; ++tries) {
    const MoveResult moved = MoveFileBelow(journal->resolvedConfig, path, backup);
    if (moved != kHeld) return moved == kMoved;
    if (!WaitToTryAgain(tries, &journal->waitedMs)) {
      journal->held = path;
      return FALSE;
    }
  }
}

}  // namespace

void ReleaseHeldFolders(InstallJournal* journal) {
  for (InstallJournal::HeldFolder& held : journal->heldFolders) {
    held.handle.Close();
    held.path.clear();
  }
}

BOOL BeginJournal(InstallJournal* journal, const char* config) {
  journal->file.Close();
  journal->steps = 0;
  journal->bucketMade = -1;
  journal->held.clear();
  journal->waitedMs = 0;
  journal->config = config;
  std::string path;
  if (!JoinItemPath(&journal->undoArea, journal->config, kUndoAreaName, MAX_PATH - 1) ||
      !JoinItemPath(&path, journal->undoArea, kJournalName, MAX_PATH - 1) ||
      GetFileAttributesA(journal->undoArea.c_str()) != INVALID_FILE_ATTRIBUTES ||
      !ResolvePath(config, journal->resolvedConfig) ||
      !CreateProtectedFolder(journal->undoArea.c_str())) {
    return FALSE;
  }
  journal->file.Create(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH);
  const std::string header = std::string(kJournalHeader) + "\r\n";
  if (!Append(journal, header.data(), header.size())) {
    journal->file.Close();
    RemoveOwnTree(journal->undoArea.c_str());
    return FALSE;
  }
  return TRUE;
}

BOOL JournalConfigMade(InstallJournal* journal, int levels) {
  return WriteStep(journal, JournalStep{kStepConfigMade, levels, "", "", 0});
}

BOOL JournalMakeFolder(InstallJournal* journal, const char* folder) {
  const char* target = PathBelow(folder, journal->config.c_str());
  const char* leaf = nullptr;
  HANDLE parent = target != nullptr ? CheckedFolderOf(journal, folder, &leaf) : nullptr;
  if (parent == nullptr) return FALSE;
  // Something already there (a file of that name) is not ours to remove again.
  if (GetFileAttributesA(folder) != INVALID_FILE_ATTRIBUTES ||
      !WriteStep(journal, JournalStep{kStepFolderMade, 0, target, "", 0})) {
    return IsFolder(GetFileAttributesA(folder));
  }
  // Made in the folder checked, never through a link on the way. A folder that appeared since
  // the look above is not the install's (the walk would trust it to be empty): CREATE_NEW fails.
  CFileHandle made;
  made.Attach(OpenBelow(parent, leaf, FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY | FILE_TRAVERSE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, CREATE_NEW, TRUE));
  if (!made.IsOpen()) return FALSE;
  HoldMadeFolder(journal, folder, &made);
  return TRUE;
}

BOOL JournalPlaceFile(InstallJournal* journal, const char* source, const char* destination,
                      DWORD existing, const ManifestEntry* expected, std::vector<char>& buffer,
                      CopyVerdict* verdict) {
  *verdict = kCopyFailed;
  char backup[MAX_PATH] = "";
  char kept[MAX_PATH] = "";
  const BOOL replacing = existing != INVALID_FILE_ATTRIBUTES;
  if (IsFolder(existing)) return FALSE;  // a folder is never replaced by a file
  if (replacing && !KeptName(journal, ".bak", backup, kept)) return FALSE;
  const char* target = PathBelow(destination, journal->config.c_str());
  if (target == nullptr ||
      !WriteStep(journal,
                 JournalStep{replacing ? kStepFileRenewed : kStepFileMade, 0, target, kept, 0})) {
    return FALSE;
  }
  // The old file becomes the backup, so the new one is written into a name of its own: a hard
  // link to the old file keeps its old bytes. Once the backup exists the rollback puts it back
  // over whatever the name then holds.
  if (replacing && !MoveToBackup(journal, destination, backup)) return FALSE;
  // Made new in the folder checked (CREATE_NEW never opens through whatever has the name, a
  // dangling link Wine does not list among them: such a name is refused). A copy that fails is
  // removed at once, through its own handle; one killed midway is removed, or the backup put
  // back, by the rollback.
  const char* leaf = nullptr;
  HANDLE folder = CheckedFolderOf(journal, destination, &leaf);
  if (folder == nullptr) return FALSE;
  PhaseTimer timer(journal->times, kPhaseCopies);
  *verdict = CopyAndVerify(source, folder, leaf, expected, buffer);
  return *verdict == kCopyMatches;
}

BOOL JournalMoveAside(InstallJournal* journal, const char* folder) {
  char aside[MAX_PATH];
  char kept[MAX_PATH];
  const char* target = PathBelow(folder, journal->config.c_str());
  if (target == nullptr || !KeptName(journal, ".dir", aside, kept) ||
      !WriteStep(journal, JournalStep{kStepFolderMovedAside, 0, target, kept, 0})) {
    return FALSE;
  }
  // A held folder at or below it would go with it, and what is made next under its old name
  // would land in the undo area: it is let go of first.
  const size_t length = strlen(folder);
  for (InstallJournal::HeldFolder& held : journal->heldFolders) {
    if (_strnicmp(held.path.c_str(), folder, length) == 0 &&
        (held.path.size() == length || held.path[length] == '\\')) {
      held.handle.Close();
      held.path.clear();
    }
  }
  // By a handle found to lead below the configuration folder, as a replaced file is moved: a
  // folder swapped for a junction since the walk looked at it is not taken from elsewhere.
  return MoveFileBelow(journal->resolvedConfig, folder, aside) == kMoved;
}

BOOL DiscardJournal(InstallJournal* journal) {
  const BOOL noted = WriteStep(journal, JournalStep{kStepCommitted, 0, "", "", 0});
  journal->file.Close();
  ReleaseHeldFolders(journal);
  return RemoveOwnTree(journal->undoArea.c_str()) && noted;
}

BOOL CommitJournal(InstallJournal* journal) {
  PhaseTimer timer(journal->times, kPhaseCommit);
  const BOOL noted = WriteStep(journal, JournalStep{kStepCommitted, 0, "", "", 0});
  journal->file.Close();
  if (!noted) {
    // Without its mark the area would be rolled back by the next run: it goes now instead.
    RemoveOwnTree(journal->undoArea.c_str());
    return FALSE;
  }
  std::string previous;
  if (!JoinItemPath(&previous, journal->config, kPreviousAreaName, MAX_PATH - 1) ||
      (GetFileAttributesA(previous.c_str()) != INVALID_FILE_ATTRIBUTES &&
       !RemoveOwnTree(previous.c_str())) ||
      !MoveFileExA(journal->undoArea.c_str(), previous.c_str(), MOVEFILE_WRITE_THROUGH)) {
    RemoveOwnTree(journal->undoArea.c_str());
    return FALSE;
  }
  return TRUE;
}

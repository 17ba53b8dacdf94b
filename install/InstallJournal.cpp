#include "install/InstallJournal.h"

#include <cstdio>
#include <cstring>

#include "install/EntryNames.h"
#include "install/PathSafety.h"

namespace {

constexpr size_t kJournalLineSize = 4 * MAX_PATH + 8;

// Appends one line; the handle is opened write-through, so the line is on the disk before the
// step it announces begins.
BOOL WriteLine(InstallJournal* journal, const char* kind, const char* a, const char* b,
               const char* c) {
  char line[kJournalLineSize];
  const int length = snprintf(line, sizeof line, "%s\t%s\t%s\t%s\r\n", kind, a, b, c);
  DWORD written = 0;
  if (journal->file == INVALID_HANDLE_VALUE || length <= 0 ||
      length >= static_cast<int>(sizeof line) ||
      !WriteFile(journal->file, line, static_cast<DWORD>(length), &written, nullptr) ||
      written != static_cast<DWORD>(length)) {
    return FALSE;
  }
  ++journal->steps;
  return TRUE;
}

// Backups to a folder of the undo area. Wine makes sure a new name is not there already in
// another case by reading the whole folder, so a single folder of 3,000 backups cost 3,000 reads
// of up to 3,000 entries, and that was most of the time an install over an installed patch took.
constexpr int32_t kBackupsPerFolder = 128;

// <undo area>\<step / 128>\<step><suffix>: where the next step keeps what it replaces. The
// folder is made on the way (the area goes as a whole, so it is not a step of its own).
BOOL KeptName(InstallJournal* journal, const char* suffix, char* path) {
  const int32_t bucket = journal->steps / kBackupsPerFolder;
  char folder[MAX_PATH];
  char name[32];
  snprintf(name, sizeof name, "%d", static_cast<int>(bucket));
  if (!JoinItemPath(folder, journal->undoArea, name, MAX_PATH - 1)) return FALSE;
  if (bucket != journal->bucketMade) {
    if (!CreateDirectoryA(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return FALSE;
    journal->bucketMade = bucket;
  }
  snprintf(name, sizeof name, "%d%s", static_cast<int>(journal->steps), suffix);
  return JoinItemPath(path, folder, name, MAX_PATH - 1);
}

// The temporary beside destination: <destination>.qx48new, or <folder>\<step>.qx48new where that
// would not fit.
BOOL TemporaryName(const InstallJournal* journal, const char* destination, char* temporary) {
  const size_t length = strlen(destination);
  if (length + strlen(kTemporarySuffix) < MAX_PATH) {
    memcpy(temporary, destination, length);
    strcpy(temporary + length, kTemporarySuffix);
    return TRUE;
  }
  char folder[MAX_PATH];
  strcpy(folder, destination);
  char* cut = strrchr(folder, '\\');
  if (cut == nullptr) return FALSE;
  *cut = '\0';
  char name[32];
  snprintf(name, sizeof name, "%d%s", static_cast<int>(journal->steps), kTemporarySuffix);
  return JoinItemPath(temporary, folder, name, MAX_PATH - 1);
}

}  // namespace

BOOL BeginJournal(InstallJournal* journal, const char* config) {
  memset(journal, 0, sizeof *journal);
  journal->file = INVALID_HANDLE_VALUE;
  journal->bucketMade = -1;
  if (strlen(config) >= MAX_PATH) return FALSE;
  strcpy(journal->config, config);
  char path[MAX_PATH];
  if (!JoinItemPath(journal->undoArea, config, kUndoAreaName, MAX_PATH - 1) ||
      !JoinItemPath(path, journal->undoArea, kJournalName, MAX_PATH - 1) ||
      GetFileAttributesA(journal->undoArea) != INVALID_FILE_ATTRIBUTES ||
      !CreateDirectoryA(journal->undoArea, nullptr)) {
    return FALSE;
  }
  journal->file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
  if (journal->file == INVALID_HANDLE_VALUE) {
    RemoveDirectoryA(journal->undoArea);
    return FALSE;
  }
  return TRUE;
}

BOOL JournalCreatedFolder(InstallJournal* journal, const char* folder) {
  return WriteLine(journal, "D", folder, "", "");
}

BOOL JournalMakeFolder(InstallJournal* journal, const char* folder) {
  // Something already there (a file of that name) is not ours to remove again.
  if (GetFileAttributesA(folder) != INVALID_FILE_ATTRIBUTES ||
      !WriteLine(journal, "D", folder, "", "")) {
    return IsFolder(GetFileAttributesA(folder));
  }
  // A folder that appeared since the look above is not the install's: the walk would trust it
  // to be empty.
  return CreateDirectoryA(folder, nullptr) && IsFolder(GetFileAttributesA(folder));
}

BOOL JournalPlaceFile(InstallJournal* journal, const char* source, const char* destination,
                      DWORD existing) {
  char temporary[MAX_PATH];
  char backup[MAX_PATH] = "";
  const BOOL replacing = existing != INVALID_FILE_ATTRIBUTES;
  if (IsFolder(existing)) return FALSE;  // a folder is never replaced by a file
  if (!TemporaryName(journal, destination, temporary) ||
      (replacing && !KeptName(journal, ".bak", backup))) {
    return FALSE;
  }
  if (!WriteLine(journal, replacing ? "R" : "A", temporary, destination, backup)) return FALSE;
  // Made new, never opened through whatever has that name already (a dangling link, which Wine
  // does not list, would otherwise be written through). A leftover of that name is the journal's
  // to remove: it goes, and the copy is tried once more.
  if (!CopyFileA(source, temporary, TRUE) &&
      (!DeleteOwnFile(temporary) || !CopyFileA(source, temporary, TRUE))) {
    DeleteOwnFile(temporary);
    return FALSE;
  }
  if (!replacing) return MoveFileExA(temporary, destination, MOVEFILE_WRITE_THROUGH);
  // The old file stays as the backup under a second name, and the new one is moved over the
  // destination by name: the file is never missing, and a hard link to it keeps its old bytes.
  if (CreateHardLinkA(backup, destination, nullptr)) {
    if (MoveFileExA(temporary, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return TRUE;
    }
    // The destination is untouched: its second name goes now, so that the rollback need not move
    // a file over itself (which Windows refuses while another program holds it).
    DeleteFileA(backup);
    return FALSE;
  }
  // No hard links on this volume (FAT): the old file becomes the backup by name instead.
  return ReplaceFileA(destination, temporary, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                      nullptr);
}

BOOL JournalMoveAside(InstallJournal* journal, const char* folder) {
  char aside[MAX_PATH];
  if (!KeptName(journal, ".dir", aside) || !WriteLine(journal, "V", folder, aside, ""))
    return FALSE;
  return MoveFileExA(folder, aside, MOVEFILE_WRITE_THROUGH);
}

BOOL CommitJournal(InstallJournal* journal) {
  const BOOL noted = WriteLine(journal, "C", "", "", "");
  CloseHandle(journal->file);
  journal->file = INVALID_HANDLE_VALUE;
  if (!noted) {
    // Without its mark the area would be rolled back by the next run: it goes now instead.
    RemoveOwnTree(journal->undoArea);
    return FALSE;
  }
  char previous[MAX_PATH];
  if (!JoinItemPath(previous, journal->config, kPreviousAreaName, MAX_PATH - 1) ||
      (GetFileAttributesA(previous) != INVALID_FILE_ATTRIBUTES && !RemoveOwnTree(previous)) ||
      !MoveFileExA(journal->undoArea, previous, MOVEFILE_WRITE_THROUGH)) {
    RemoveOwnTree(journal->undoArea);
    return FALSE;
  }
  return TRUE;
}

BOOL DeleteOwnFile(const char* path) {
  if (DeleteFileA(path)) return TRUE;
  // A read-only file. Wine neither marks a link to a file nor deletes one to a read-only file, and
  // clearing the attribute through such a link would change the file it leads to: only a file
  // that is where its path says has its attribute cleared.
  if (GetLastError() != ERROR_ACCESS_DENIED || !ResolvesToItself(path)) return FALSE;
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY) && DeleteFileA(path);
}

namespace {

// RemoveOwnTree for an item whose attributes are known (from its folder's listing): a kept
// generation holds thousands of files, and each look at one is a walk down its whole path.
BOOL RemoveOwnItem(const char* path, DWORD attributes) {
  if (attributes == INVALID_FILE_ATTRIBUTES) return TRUE;
  if (!IsFolder(attributes) || IsReparsePoint(attributes)) {
    return IsFolder(attributes) ? RemoveDirectoryA(path) : DeleteOwnFile(path);
  }
  char pattern[MAX_PATH];
  WIN32_FIND_DATAA entry;
  if (JoinItemPath(pattern, path, "*", MAX_PATH - 1)) {
    HANDLE listing = FindFirstFileA(pattern, &entry);
    if (listing != INVALID_HANDLE_VALUE) {
      do {
        char inner[MAX_PATH];
        // A name Windows would read as another place (Wine lists Unix names with a backslash)
        // is never joined: the folder then stays, not empty.
        if (!IsDotEntry(entry.cFileName) && IsSafeEntryName(entry.cFileName) &&
            JoinItemPath(inner, path, entry.cFileName, MAX_PATH - 1)) {
          RemoveOwnItem(inner, entry.dwFileAttributes);
        }
      } while (FindNextFileA(listing, &entry));
      FindClose(listing);
    }
  }
  return RemoveDirectoryA(path) || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
}

}  // namespace

BOOL RemoveOwnTree(const char* folder) {
  return RemoveOwnItem(folder, GetFileAttributesA(folder));
}

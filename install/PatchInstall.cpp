#include "install/PatchInstall.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cctype>
#include <cstring>

#include "install/EntryNames.h"
#include "install/PatchPaths.h"

namespace {

void CountError(PatchInstallJob* job) { ++job->errorCount; }

BOOL IsFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

BOOL IsReparsePoint(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

BOOL IsDotEntry(const char* name) { return strcmp(name, ".") == 0 || strcmp(name, "..") == 0; }

// TRUE when the folder holds a reparse point at any depth, or a part of it is too deep to look at.
// The shell's delete walks through linked folders (Wine's follows a Unix link into its target), so
// a vendor folder is only deleted when nothing in it leads elsewhere.
BOOL HoldsReparsePoint(const char* folder) {
  char pattern[MAX_PATH];
  if (!JoinItemPath(pattern, folder, "*.*", kMaxCopyPathLength)) {
    return TRUE;
  }
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA(pattern, &entry);
  if (listing == INVALID_HANDLE_VALUE) {
    return GetLastError() != ERROR_FILE_NOT_FOUND;
  }
  BOOL found = FALSE;
  do {
    if (IsDotEntry(entry.cFileName)) {
      continue;
    }
    if (IsReparsePoint(entry.dwFileAttributes)) {
      found = TRUE;
    } else if (IsFolder(entry.dwFileAttributes)) {
      char inner[MAX_PATH];
      found = !JoinItemPath(inner, folder, entry.cFileName, kMaxListedFolderLength) || HoldsReparsePoint(inner);
    }
  } while (!found && FindNextFileA(listing, &entry));
  FindClose(listing);
  return found;
}

// Where path really is, every link followed, into resolved (kResolvedPathSize bytes). FALSE when
// it cannot be opened or its resolved path does not fit.
BOOL ResolvePath(const char* path, char* resolved) {
  // No access asked: attributes only, so a file another program holds without sharing opens too.
  HANDLE item = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (item == INVALID_HANDLE_VALUE) {
    return FALSE;
  }
  const DWORD length =
      GetFinalPathNameByHandleA(item, resolved, kResolvedPathSize, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  CloseHandle(item);
  return length != 0 && length < static_cast<DWORD>(kResolvedPathSize);
}

// TRUE when the existing path resolves strictly below the job's destination root. Wine shows a
// Unix link to a file as a plain file, so the attributes alone cannot tell where a write lands.
BOOL ResolvesBelowRoot(const PatchInstallJob* job, const char* path) {
  char resolved[kResolvedPathSize];
  if (job->destinationRoot[0] == '\0' || !ResolvePath(path, resolved)) {
    return FALSE;
  }
  size_t rootLength = strlen(job->destinationRoot);
  if (job->destinationRoot[rootLength - 1] == '\\') {
    --rootLength;
  }
  return _strnicmp(resolved, job->destinationRoot, rootLength) == 0 && resolved[rootLength] == '\\' &&
         resolved[rootLength + 1] != '\0';
}

// Deletes an installed vendor folder with everything in it. TRUE when nothing of that name is left
// as a folder; a file of the vendor's name is never deleted (the copy then fails to make the
// folder).
BOOL DeleteVendorFolder(const PatchInstallJob* job, const char* folder) {
  const DWORD attributes = GetFileAttributesA(folder);
  if (!IsFolder(attributes)) {
    return TRUE;
  }
  if (IsReparsePoint(attributes) || !ResolvesBelowRoot(job, folder) || HoldsReparsePoint(folder)) {
    return FALSE;
  }
  // The source list ends with an empty string: two terminators.
  char from[MAX_PATH + 1] = {};
  strncpy(from, folder, MAX_PATH - 1);
  SHFILEOPSTRUCTA operation = {};
  operation.hwnd = nullptr;
  operation.wFunc = FO_DELETE;
  operation.pFrom = from;
  operation.pTo = nullptr;
  operation.fFlags = FOF_MULTIDESTFILES | FOF_NOCONFIRMATION;
  // Its result is not trusted either way: what counts is whether the folder is gone.
  SHFileOperationA(&operation);
  return !PathFileExistsA(folder);
}

// Copies one file over whatever the installation has of that name. FALSE when it did not arrive.
BOOL CopyPatchFile(const PatchInstallJob* job, const char* source, const char* destination) {
  const DWORD existing = GetFileAttributesA(destination);
  if (existing != INVALID_FILE_ATTRIBUTES) {
    // A read-only file stays, as Windows leaves it; Wine, run by root, would overwrite it.
    if (IsReparsePoint(existing) || (existing & FILE_ATTRIBUTE_READONLY) != 0 ||
        !ResolvesBelowRoot(job, destination)) {
      return FALSE;
    }
    return CopyFileA(source, destination, FALSE);
  }
  if (!CopyFileA(source, destination, FALSE)) {
    return FALSE;
  }
  // Wine lists no dangling Unix link, yet creating a file through one creates the link's target.
  // A new file found elsewhere is taken away again from where it really landed.
  if (!ResolvesBelowRoot(job, destination)) {
    char resolved[kResolvedPathSize];
    if (ResolvePath(destination, resolved)) {
      DeleteFileA(resolved);
    }
    return FALSE;
  }
  return TRUE;
}

// The identity of the folder at path; FALSE when it cannot be opened.
BOOL GetFolderIdentity(const char* path, FolderIdentity* identity) {
  HANDLE folder = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) {
    return FALSE;
  }
  BY_HANDLE_FILE_INFORMATION information;
  const BOOL ok = GetFileInformationByHandle(folder, &information);
  CloseHandle(folder);
  if (ok) {
    identity->volume = information.dwVolumeSerialNumber;
    identity->indexHigh = information.nFileIndexHigh;
    identity->indexLow = information.nFileIndexLow;
  }
  return ok;
}

// Enters source on the job's walk path. FALSE, entering nothing, when the walk is already inside
// that folder or as deep as a path can go.
BOOL EnterSourceFolder(PatchInstallJob* job, const char* source) {
  FolderIdentity identity;
  if (job->walkDepth < 0 || job->walkDepth >= kMaxWalkDepth || !GetFolderIdentity(source, &identity)) {
    return FALSE;
  }
  for (int i = 0; i < job->walkDepth; ++i) {
    const FolderIdentity& outer = job->walkPath[i];
    if (outer.volume == identity.volume && outer.indexHigh == identity.indexHigh && outer.indexLow == identity.indexLow) {
      return FALSE;
    }
  }
  job->walkPath[job->walkDepth++] = identity;
  return TRUE;
}

// A path the file system takes as it stands: "X:\..." or "\\server\share\...", not relative to
// the current folder or drive and not in a device namespace.
BOOL IsFullyQualifiedPath(const char* path) {
  if (isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '\\') {
    return TRUE;
  }
  return path[0] == '\\' && path[1] == '\\' && path[2] != '\0' && strchr("\\?.", path[2]) == nullptr;
}

// One entry of a listing: validated, announced through the hook, then copied or descended into.
void CopyEntry(const char* sourceFolder, const char* destinationFolder, const WIN32_FIND_DATAA& entry,
               CopyItemHook hook, PatchInstallJob* job) {
  const char* name = entry.cFileName;
  if (IsDotEntry(name)) {
    return;
  }
  if (!IsSafeEntryName(name)) {
    CountError(job);
    return;
  }
  const BOOL folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const size_t maxSource = folder ? kMaxListedFolderLength : kMaxCopyPathLength;
  char source[MAX_PATH];
  char destination[MAX_PATH];
  if (!JoinItemPath(source, sourceFolder, name, maxSource) ||
      !JoinItemPath(destination, destinationFolder, name, kMaxCopyPathLength)) {
    CountError(job);
    return;
  }
  if (folder) {
    const DWORD existing = GetFileAttributesA(destination);
    if (IsReparsePoint(entry.dwFileAttributes) ||
        (existing != INVALID_FILE_ATTRIBUTES && (IsReparsePoint(existing) || !ResolvesBelowRoot(job, destination)))) {
      CountError(job);
      return;
    }
    if (hook != nullptr) {
      hook(job, source, destination, TRUE);
    }
    CopyFolderTree(source, destination, hook, job);
    return;
  }
  if (hook != nullptr) {
    hook(job, source, destination, FALSE);
  }
  if (!CopyPatchFile(job, source, destination)) {
    CountError(job);
  }
}

// The rest of CopyFolderTree, once source is listed (listing may be INVALID_HANDLE_VALUE for an
// empty folder) and entered: the destination first, then every entry.
void CopyListing(HANDLE listing, WIN32_FIND_DATAA& entry, const char* source, const char* destination,
                 CopyItemHook hook, PatchInstallJob* job) {
  if (!MakeDirectories(destination)) {
    CountError(job);
  } else if (job->destinationRoot[0] == '\0' && !ResolvePath(destination, job->destinationRoot)) {
    // Without knowing where the root really is, no write could be kept inside it.
    job->destinationRoot[0] = '\0';
    CountError(job);
    return;
  }
  if (listing == INVALID_HANDLE_VALUE) {
    return;
  }
  do {
    CopyEntry(source, destination, entry, hook, job);
  } while (FindNextFileA(listing, &entry));
  if (GetLastError() != ERROR_NO_MORE_FILES) {
    CountError(job);
  }
}

}  // namespace

BOOL IsVendorFolder(const char* path) {
  if (path == nullptr || strlen(path) >= MAX_PATH) {
    return FALSE;
  }
  char name[MAX_PATH];
  strcpy(name, path);
  PathStripPathA(name);
  return _stricmp(name, kVendorFolderName) == 0;
}

BOOL MakeDirectories(const char* path) {
  if (path == nullptr || path[0] == '\0' || strlen(path) >= MAX_PATH) {
    return FALSE;
  }
  if (PathFileExistsA(path)) {
    return IsFolder(GetFileAttributesA(path));
  }
  char parent[MAX_PATH];
  strcpy(parent, path);
  PathRemoveFileSpecA(parent);
  // A root that does not exist ("Q:\" of a missing drive) is its own parent.
  if (parent[0] == '\0' || strlen(parent) >= strlen(path)) {
    return FALSE;
  }
  if (!PathFileExistsA(parent)) {
    MakeDirectories(parent);
  }
  CreateDirectoryA(path, nullptr);
  return IsFolder(GetFileAttributesA(path));
}

void CopyFolderTree(const char* source, const char* destination, CopyItemHook hook, PatchInstallJob* job) {
  char pattern[MAX_PATH];
  if (!JoinItemPath(pattern, source, "*.*", kMaxCopyPathLength)) {
    CountError(job);
    return;
  }
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA(pattern, &entry);
  // An existing folder with nothing to list (a drive root has no "." entry) is merely empty.
  if (listing == INVALID_HANDLE_VALUE &&
      (GetLastError() != ERROR_FILE_NOT_FOUND || !IsFolder(GetFileAttributesA(source)))) {
    CountError(job);
    return;
  }
  if (EnterSourceFolder(job, source)) {
    CopyListing(listing, entry, source, destination, hook, job);
    --job->walkDepth;
  } else {
    CountError(job);
  }
  if (listing != INVALID_HANDLE_VALUE) {
    FindClose(listing);
  }
}

void OnCopyItem(PatchInstallJob* job, const char* source, const char* destination, BOOL folder) {
  if (folder) {
    if (IsVendorFolder(source) && job->clearOldPatch != 0 && PathFileExistsA(destination) &&
        !DeleteVendorFolder(job, destination)) {
      CountError(job);
    }
    return;
  }
  char relative[MAX_PATH] = "";
  if (job->patchRoot[0] == '\0' ||
      !PathRelativePathToA(relative, job->patchRoot, FILE_ATTRIBUTE_DIRECTORY, source, FILE_ATTRIBUTE_NORMAL)) {
    relative[0] = '\0';
  }
  const char* shown = relative;
  if (strncmp(shown, ".\\", 2) == 0) {
    shown += 2;
  } else if (shown[0] == '\\') {
    shown += 1;
  }
  if (relative[0] == '\0') {
    shown = source;
  }
  if (job->mailbox != nullptr) {
    PostStatus(job->mailbox, "Copy %s to %s", shown, job->row != nullptr ? job->row->installPath : "");
  }
}

void CopyPatchTree(PatchInstallJob* job) {
  const CString patch = GetPatchFolder();
  memset(job->patchRoot, 0, sizeof(job->patchRoot));
  if (patch.IsEmpty()) {
    CountError(job);
    return;
  }
  strncpy(job->patchRoot, patch, sizeof(job->patchRoot) - 1);

  // The installation must be where the row says: a vanished installation gets no new folders.
  const char* installFolder = job->row->installPath;
  const CString config = GetConfigFolder(installFolder);
  if (config.IsEmpty() || !IsFullyQualifiedPath(config) || !IsFolder(GetFileAttributesA(installFolder))) {
    CountError(job);
    return;
  }
  CopyFolderTree(job->patchRoot, config, OnCopyItem, job);
}

int InstallPatch(const InstallationRow& row, StatusMailbox* mailbox, int clearOldPatch) {
  PatchInstallJob job;
  memset(&job, 0, sizeof(job));
  job.row = &row;
  job.mailbox = mailbox;
  job.clearOldPatch = clearOldPatch;
  CopyPatchTree(&job);
  return job.errorCount;
}

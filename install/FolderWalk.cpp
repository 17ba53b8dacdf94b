#include "install/FolderWalk.h"

#include <shlwapi.h>

#include <cstring>

#include "classlib/FileHandle.h"
#include "classlib/FindFile.h"
#include "install/EntryNames.h"

namespace {

void CountError(FolderWalk* walk, const char* path) {
  if (walk->errorCount++ == 0) walk->firstError = path;
}

BOOL PlaceFile(FolderWalk* walk, const char* source, const char* destination, DWORD existing) {
  return walk->copyFile != nullptr ? walk->copyFile(walk, source, destination, existing)
                                   : CopyFileA(source, destination, FALSE);
}

// Copies one file over whatever the destination has of that name (nothing when inNewFolder).
// FALSE when it did not arrive.
BOOL CopyTreeFile(FolderWalk* walk, const char* source, const char* destination, BOOL inNewFolder) {
  const DWORD existing = inNewFolder ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(destination);
  if (existing != INVALID_FILE_ATTRIBUTES) {
    // A read-only file stays, as Windows leaves it; Wine, run by root, would overwrite it.
    // The owner's step checks where the file leads on the handle it moves it by (CopyFileStep).
    if (IsReparsePoint(existing) || (existing & FILE_ATTRIBUTE_READONLY) != 0 ||
        (walk->copyFile == nullptr && !ResolvesBelowRoot(walk->destinationRoot, destination))) {
      return FALSE;
    }
    return walk->dryRun || PlaceFile(walk, source, destination, existing);
  }
  if (walk->dryRun) {
    return TRUE;
  }
  if (!PlaceFile(walk, source, destination, existing)) {
    return FALSE;
  }
  // Wine lists no dangling Unix link, yet CopyFileA creating a file through one creates the
  // link's target. A new file found elsewhere is taken away again from where it really landed.
  // A step of the owner's never writes through a link (see CopyFileStep).
  if (walk->copyFile == nullptr && !ResolvesBelowRoot(walk->destinationRoot, destination)) {
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
  CFileHandle folder;
  if (!folder.Create(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS)) {
    return FALSE;
  }
  FileIdentityInfo id;
  if (folder.GetIdentity(&id)) {
    identity->volume = id.volume;
    memcpy(&identity->indexLow, id.id, sizeof identity->indexLow);
    memcpy(&identity->indexHigh, id.id + 8, sizeof identity->indexHigh);
    return TRUE;
  }
  BY_HANDLE_FILE_INFORMATION information;  // Windows 7
  if (!folder.GetInformation(&information)) {
    return FALSE;
  }
  identity->volume = information.dwVolumeSerialNumber;
  identity->indexHigh = information.nFileIndexHigh;
  identity->indexLow = information.nFileIndexLow;
  return TRUE;
}

// Enters source on the walk's path. FALSE, entering nothing, when the walk is already inside
// that folder or as deep as a path can go.
BOOL EnterSourceFolder(FolderWalk* walk, const char* source) {
  FolderIdentity identity;
  if (walk->walkDepth < 0 || walk->walkDepth >= kMaxWalkDepth ||
      !GetFolderIdentity(source, &identity)) {
    return FALSE;
  }
  for (int i = 0; i < walk->walkDepth; ++i) {
    const FolderIdentity& outer = walk->walkPath[i];
    if (outer.volume == identity.volume && outer.indexHigh == identity.indexHigh &&
        outer.indexLow == identity.indexLow) {
      return FALSE;
    }
  }
  walk->walkPath[walk->walkDepth++] = identity;
  return TRUE;
}

void Announce(FolderWalk* walk, const char* source, const char* destination, BOOL folder) {
  if (walk->hook != nullptr) {
    walk->hook(walk, source, destination, folder);
  }
}

// One entry of a listing: validated, announced through the hook, then copied or descended into.
// In a destination folder the walk has just made (inNewFolder), nothing is there to look for:
// Wine answers a look for a name that is not there by reading the whole folder.
void CopyEntry(const char* sourceFolder, const char* destinationFolder,
               const WIN32_FIND_DATAA& entry, BOOL inNewFolder, FolderWalk* walk) {
  const char* name = entry.cFileName;
  if (!IsSafeEntryName(name)) {
    CountError(walk, name);
    return;
  }
  const BOOL folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const size_t maxSource = folder ? kMaxListedFolderLength : kMaxCopyPathLength;
  char source[MAX_PATH];
  char destination[MAX_PATH];
  if (!JoinItemPath(source, sourceFolder, name, maxSource) ||
      !JoinItemPath(destination, destinationFolder, name, kMaxCopyPathLength)) {
    CountError(walk, name);
    return;
  }
  if (folder) {
    const DWORD existing = inNewFolder ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(destination);
    if (IsReparsePoint(entry.dwFileAttributes) ||
        (existing != INVALID_FILE_ATTRIBUTES &&
         (IsReparsePoint(existing) || !ResolvesBelowRoot(walk->destinationRoot, destination)))) {
      CountError(walk, destination);
      return;
    }
    Announce(walk, source, destination, TRUE);
    CopyFolderTree(source, destination, walk);
    return;
  }
  Announce(walk, source, destination, FALSE);
  if (!CopyTreeFile(walk, source, destination, inNewFolder)) {
    CountError(walk, destination);
  }
}

// The walk's folder, made by the owner's step when it has one (only the last level can be
// missing then: the walk makes every folder on its way down). *made: the owner's step made it,
// so nothing is in it that the walk did not put there.
BOOL MakeWalkFolder(FolderWalk* walk, const char* path, BOOL* made) {
  *made = FALSE;
  if (IsFolder(GetFileAttributesA(path))) {
    return TRUE;
  }
  if (walk->makeFolder == nullptr) {
    return MakeDirectories(path);
  }
  *made = walk->makeFolder(walk, path);
  return *made;
}

// The rest of CopyFolderTree, once source is listed (the listing may be closed for an empty
// folder) and entered: the destination first, then every entry.
void CopyListing(CFindFile& listing, WIN32_FIND_DATAA& entry, const char* source,
                 const char* destination, FolderWalk* walk) {
  BOOL made = FALSE;
  if (walk->dryRun) {
    // A folder that would be made has nothing in it yet to resolve or to check.
    if (walk->destinationRoot[0] == '\0' && IsFolder(GetFileAttributesA(destination)) &&
        !ResolvePath(destination, walk->destinationRoot)) {
      walk->destinationRoot[0] = '\0';
    }
  } else if (!MakeWalkFolder(walk, destination, &made)) {
    CountError(walk, destination);
  } else if (walk->destinationRoot[0] == '\0' && !ResolvePath(destination, walk->destinationRoot)) {
    // Without knowing where the root really is, no write could be kept inside it.
    walk->destinationRoot[0] = '\0';
    CountError(walk, destination);
    return;
  }
  if (!listing.IsOpen()) {
    return;
  }
  do {
    CopyEntry(source, destination, entry, made, walk);
  } while (listing.FindNext(&entry));
  if (GetLastError() != ERROR_NO_MORE_FILES) {
    CountError(walk, source);
  }
}

}  // namespace

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

void CopyFolderTree(const char* source, const char* destination, FolderWalk* walk) {
  char pattern[MAX_PATH];
  if (!JoinItemPath(pattern, source, "*.*", kMaxCopyPathLength)) {
    CountError(walk, source);
    return;
  }
  WIN32_FIND_DATAA entry;
  CFindFile listing;
  // An existing folder with nothing to list (a drive root has no "." entry) is merely empty.
  if (!listing.FindFirst(pattern, &entry) &&
      (GetLastError() != ERROR_FILE_NOT_FOUND || !IsFolder(GetFileAttributesA(source)))) {
    CountError(walk, source);
    return;
  }
  if (EnterSourceFolder(walk, source)) {
    CopyListing(listing, entry, source, destination, walk);
    --walk->walkDepth;
  } else {
    CountError(walk, source);
  }
}

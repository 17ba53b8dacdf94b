// Removing what the install made or kept itself, never through a link to somewhere else.
#include "install/OwnFiles.h"

#include "install/EntryNames.h"
#include "install/PathSafety.h"

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

// Removing what the install made or kept itself, never through a link to somewhere else.
#include "install/OwnFiles.h"

#include "install/EntryNames.h"
#include "install/FolderListing.h"
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

BOOL RemoveOwnTree(const char* folder) {
  const DWORD attributes = GetFileAttributesA(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES) return TRUE;
  if (!IsFolder(attributes) || IsReparsePoint(attributes)) {
    return IsFolder(attributes) ? RemoveDirectoryA(folder) : DeleteOwnFile(folder);
  }
  // Each entry goes as its folder's listing names it (a kept generation holds thousands, and a
  // look at each would be a walk down its whole path); a folder once it has been listed. A name
  // Windows would read as another place (Wine lists Unix names with a backslash) is never joined:
  // its folder then stays, not empty.
  ListFolderTree(
      folder,
      [](const ListedEntry& entry) {
        if (entry.path[0] == '\0' || !IsSafeEntryName(entry.name)) return kListingSkip;
        if (!IsFolder(entry.attributes)) {
          DeleteOwnFile(entry.path);
        } else if (IsReparsePoint(entry.attributes)) {
          RemoveDirectoryA(entry.path);
        }
        return kListingGoOn;
      },
      [](const ListedEntry& entry) { RemoveDirectoryA(entry.path); });
  return RemoveDirectoryA(folder) || GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES;
}

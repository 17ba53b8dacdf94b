// Removing what the install made or kept itself, never through a link to somewhere else.
#include "install/OwnFiles.h"

#include <cstring>

#include "classlib/FileHandle.h"

#include "install/EntryNames.h"
#include "install/FolderListing.h"
#include "install/PathSafety.h"

namespace {

// Opens path to change its attributes and delete it, when it is a plain file with this one name
// that is where its path says. Attributes belong to the file, not to the name: through a second
// name (a hard link to a file outside, which a user may plant) or a link (which Wine shows as a
// plain file) they would be another file's. What follows acts through this handle, so a name
// swapped meanwhile changes nothing.
BOOL OpenSoleFile(const char* path, CFileHandle* file, DWORD* attributes) {
  BY_HANDLE_FILE_INFORMATION information;
  char resolved[kResolvedPathSize] = "";
  if (!file->Create(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT) ||
      !file->GetInformation(&information) || information.nNumberOfLinks != 1 ||
      (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
      !ResolveHandle(file->GetSafeHandle(), resolved) || !IsResolvedPath(resolved, path)) {
    return FALSE;
  }
  *attributes = information.dwFileAttributes;
  return TRUE;
}

}  // namespace

BOOL SetAttributesThrough(HANDLE item, DWORD attributes) {
  FILE_BASIC_INFO basic = {};  // times of 0 stay as they are
  basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(item, FileBasicInfo, &basic, sizeof basic);
}

BOOL MakeOwnFileWritable(const char* path) {
  CFileHandle file;
  DWORD attributes = 0;
  return OpenSoleFile(path, &file, &attributes) &&
         ((attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
          SetAttributesThrough(file.GetSafeHandle(), attributes & ~FILE_ATTRIBUTE_READONLY));
}

BOOL DeleteOwnFile(const char* path) {
  if (DeleteFileA(path)) return TRUE;
  if (GetLastError() != ERROR_ACCESS_DENIED) return FALSE;
  // A read-only file: its flag is cleared only where it is the install's file alone.
  CFileHandle file;
  DWORD attributes = 0;
  if (!OpenSoleFile(path, &file, &attributes) ||
      !SetAttributesThrough(file.GetSafeHandle(), attributes & ~FILE_ATTRIBUTE_READONLY))
    return FALSE;
  FILE_DISPOSITION_INFO disposition = {TRUE};
  if (SetFileInformationByHandle(file.GetSafeHandle(), FileDispositionInfo, &disposition,
                                 sizeof disposition))
    return TRUE;
  // Not deleted after all: the file keeps its flag.
  SetAttributesThrough(file.GetSafeHandle(), attributes);
  return FALSE;
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

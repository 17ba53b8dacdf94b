#include "install/EntriesBelow.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "classlib/FileHandle.h"
#include "install/OpenBelow.h"
#include "install/OwnFiles.h"
#include "install/PathSafety.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The folder part of path opened where its name says into folder; *leaf is the last component.
BOOL OpenFolderOf(const char* path, CFileHandle* folder, const char** leaf) {
  const char* cut = strrchr(path, '\\');
  if (cut == nullptr || cut - path >= MAX_PATH) return FALSE;
  char parent[MAX_PATH];
  char resolved[kResolvedPathSize];
  memcpy(parent, path, static_cast<size_t>(cut - path));
  parent[cut - path] = '\0';
  *leaf = cut + 1;
  return OpenFolderWhereNamed(parent, kShareAll, folder, resolved);
}

constexpr int kMaxTreeDepth = MAX_PATH / 2;  // each level adds at least "\\x" to a path
constexpr DWORD kTreeAccess =
    DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

BOOL EmptyFolderThrough(HANDLE folder, int depth);

// Removes the entry name of folder, opened relative to it; a folder after everything in it.
BOOL RemoveThrough(HANDLE folder, const std::wstring& name, BOOL isFolder, int depth) {
  CFileHandle entry;
  entry.Attach(OpenBelowW(folder, name.data(), name.size(), kTreeAccess, kShareAll, OPEN_EXISTING,
                          isFolder));
  BY_HANDLE_FILE_INFORMATION information;
  if (!entry.IsOpen() || !entry.GetInformation(&information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    return FALSE;
  const DWORD attributes = information.dwFileAttributes;
  if (isFolder && !EmptyFolderThrough(entry.GetSafeHandle(), depth + 1)) return FALSE;
  // A read-only file's flag is cleared only where it has no other name.
  if (!isFolder && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
      (information.nNumberOfLinks != 1 ||
       !SetAttributesThrough(entry.GetSafeHandle(), attributes & ~FILE_ATTRIBUTE_READONLY)))
    return FALSE;
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return SetFileInformationByHandle(entry.GetSafeHandle(), FileDispositionInfo, &disposition,
                                    sizeof disposition);
}

// Removes everything in the folder held open as folder. The names are listed first, through the
// handle, then removed: a listing is not asked to go on over entries removed under it.
BOOL EmptyFolderThrough(HANDLE folder, int depth) {
  if (depth > kMaxTreeDepth) return FALSE;
  std::vector<std::pair<std::wstring, DWORD>> entries;
  if (!ListBelow(folder, &entries)) return FALSE;
  BOOL all = TRUE;
  for (const auto& [name, attributes] : entries) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      all = FALSE;  // not followed, not removed
      continue;
    }
    if (!RemoveThrough(folder, name, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0, depth))
      all = FALSE;
  }
  return all;
}

}  // namespace

BOOL RemoveTreeBelow(const char* path) {
  CFileHandle parent;
  const char* leaf = nullptr;
  if (!OpenFolderOf(path, &parent, &leaf)) return FALSE;
  WCHAR wide[MAX_PATH];
  const int chars = MultiByteToWideChar(CP_ACP, 0, leaf, -1, wide, MAX_PATH);
  if (chars <= 1) return FALSE;
  CFileHandle folder;
  folder.Attach(OpenBelowW(parent.GetSafeHandle(), wide, static_cast<size_t>(chars - 1),
                           kTreeAccess, kShareAll, OPEN_EXISTING, TRUE));
  if (!folder.IsOpen()) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  folder.Close();
  return RemoveThrough(parent.GetSafeHandle(), std::wstring(wide, static_cast<size_t>(chars - 1)),
                       TRUE, 0);
}

BOOL RemoveEntryBelow(const char* path, BOOL folder) {
  CFileHandle parent;
  const char* leaf = nullptr;
  if (!OpenFolderOf(path, &parent, &leaf)) return FALSE;
  CFileHandle entry;
  entry.Attach(OpenBelow(parent.GetSafeHandle(), leaf,
                         DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll,
                         OPEN_EXISTING, folder));
  if (!entry.IsOpen()) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  BY_HANDLE_FILE_INFORMATION information;
  if (!entry.GetInformation(&information)) return FALSE;
  const DWORD attributes = information.dwFileAttributes;
  const BOOL readOnly = !folder && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly &&
      (information.nNumberOfLinks != 1 ||
       !SetAttributesThrough(entry.GetSafeHandle(), attributes & ~FILE_ATTRIBUTE_READONLY)))
    return FALSE;
  FILE_DISPOSITION_INFO disposition = {TRUE};
  if (SetFileInformationByHandle(entry.GetSafeHandle(), FileDispositionInfo, &disposition,
                                 sizeof disposition))
    return TRUE;
  if (readOnly) SetAttributesThrough(entry.GetSafeHandle(), attributes);  // stays, flag and all
  return FALSE;
}

BOOL MoveEntryInto(const char* from, const char* to, BOOL replace) {
  CFileHandle parent;
  const char* leaf = nullptr;
  CFileHandle moved;
  if (!OpenFolderOf(to, &parent, &leaf) ||
      !moved.Create(from, DELETE | SYNCHRONIZE, kShareAll, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT))
    return FALSE;
  return RenameBelow(moved.GetSafeHandle(), parent.GetSafeHandle(), leaf, replace);
}

#include "install/PathSafety.h"

#include <cctype>
#include <cstring>

#include "classlib/FileHandle.h"

BOOL ResolveHandle(HANDLE item, char* resolved) {
  const DWORD length = GetFinalPathNameByHandleA(item, resolved, kResolvedPathSize,
                                                 FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  return length != 0 && length < static_cast<DWORD>(kResolvedPathSize);
}

BOOL ResolvePath(const char* path, char* resolved) {
  // No access asked: attributes only, so a file another program holds without sharing opens too.
  CFileHandle item;
  return item.Create(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS) &&
         ResolveHandle(item.GetSafeHandle(), resolved);
}

BOOL IsStrictlyBelow(const char* root, const char* resolved) {
  if (root[0] == '\0') return FALSE;
  size_t rootLength = strlen(root);
  if (root[rootLength - 1] == '\\') {
    --rootLength;
  }
  return _strnicmp(resolved, root, rootLength) == 0 && resolved[rootLength] == '\\' &&
         resolved[rootLength + 1] != '\0';
}

BOOL ResolvesBelowRoot(const char* root, const char* path) {
  char resolved[kResolvedPathSize];
  return root[0] != '\0' && ResolvePath(path, resolved) && IsStrictlyBelow(root, resolved);
}

BOOL ResolvesToItself(const char* path) {
  char resolved[kResolvedPathSize];
  return ResolvePath(path, resolved) && strncmp(resolved, "\\\\?\\", 4) == 0 &&
         _stricmp(resolved + 4, path) == 0;
}

BOOL IsFullyQualifiedPath(const char* path) {
  if (isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '\\') {
    return TRUE;
  }
  return path[0] == '\\' && path[1] == '\\' && path[2] != '\0' &&
         strchr("\\?.", path[2]) == nullptr;
}

BOOL IsResolvedPath(const char* resolved, const char* path) {
  if (_strnicmp(resolved, "\\\\?\\UNC\\", 8) == 0)
    return strncmp(path, "\\\\", 2) == 0 && _stricmp(resolved + 8, path + 2) == 0;
  return strncmp(resolved, "\\\\?\\", 4) == 0 && _stricmp(resolved + 4, path) == 0;
}

BOOL OpenFolderWhereNamed(const char* path, DWORD share, CFileHandle* folder, char* resolved) {
  resolved[0] = '\0';
  // The attributes alone: GetFileInformationByHandle would also ask the volume, which under Wine
  // is a round trip to another process for every folder the install makes something in.
  FILE_BASIC_INFO basic;
  return folder->Create(path, FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY | FILE_TRAVERSE, share,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT) &&
         GetFileInformationByHandleEx(folder->GetSafeHandle(), FileBasicInfo, &basic,
                                      sizeof basic) &&
         (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
         ResolveHandle(folder->GetSafeHandle(), resolved) && IsResolvedPath(resolved, path);
}

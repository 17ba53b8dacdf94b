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

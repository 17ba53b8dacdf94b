#pragma once
#include <windows.h>

#include "classlib/FileHandle.h"

// What the install asks of the file system before it writes or deletes: what an entry is, where
// it really leads, and whether a path is one the file system takes as it stands.

constexpr int kResolvedPathSize = 1024;  // a link may lead anywhere, so its target gets more room

// Every path a walk or a listing takes fits MAX_PATH: at most 259 characters and the terminator.
// A folder is listed with the pattern folder + "\*.*", so a folder to be listed has at most 255
// characters.
constexpr int kMaxCopyPathLength = MAX_PATH - 1;
constexpr int kMaxListedFolderLength = kMaxCopyPathLength - 4;
// Every level of a walk adds at least two characters ("\x") to a path of at most 259.
constexpr int kMaxWalkDepth = MAX_PATH / 2;

inline BOOL IsFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

inline BOOL IsReparsePoint(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Where path really is, every link followed, into resolved (kResolvedPathSize bytes). FALSE when
// it cannot be opened or its resolved path does not fit.
BOOL ResolvePath(const char* path, char* resolved);

// Where the open handle item really is, into resolved (kResolvedPathSize bytes). FALSE when its
// resolved path does not fit.
BOOL ResolveHandle(HANDLE item, char* resolved);

// TRUE when resolved, a path ResolvePath gave, lies strictly below root, another such path.
BOOL IsStrictlyBelow(const char* root, const char* resolved);

// TRUE when the existing path resolves strictly below root, a path ResolvePath gave. Wine shows a
// Unix link to a file as a plain file, so the attributes alone cannot tell where a write lands.
BOOL ResolvesBelowRoot(const char* root, const char* path);

// TRUE when the existing path leads nowhere else: resolved, it is path itself (letter case aside).
// FALSE for a link, which Wine shows as a plain file.
BOOL ResolvesToItself(const char* path);

// A path the file system takes as it stands: "X:\..." or "\\server\share\...", not relative to
// the current folder or drive and not in a device namespace.
BOOL IsFullyQualifiedPath(const char* path);

// Opens the folder at path (no link followed in its own place) and checks on the handle that it
// is a plain folder, exactly where path says: a link anywhere on the way leads elsewhere. What is
// then made or opened relative to the handle (OpenBelow.h) lands in that very folder, whatever
// the names on the way lead to by then. FALSE, with what it leads to in resolved
// (kResolvedPathSize bytes) where known, otherwise.
BOOL OpenFolderWhereNamed(const char* path, DWORD share, CFileHandle* folder, char* resolved);

// TRUE when resolved, as GetFinalPathNameByHandle gives it ("\\?\C:\..." or
// "\\?\UNC\server\share\..."), names path itself, letter case aside.
BOOL IsResolvedPath(const char* resolved, const char* path);

#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "install/PathSafety.h"

// The merge of one folder tree into another, depth first, with a hook that sees every entry just
// before the walk takes it. It knows nothing of patches or installations: its owner does, through
// the hook and its context.

// Which folder a source folder really is, whatever path reached it.
struct FolderIdentity {
  ULONGLONG volume;
  ULONGLONG indexHigh;
  ULONGLONG indexLow;
};

struct FolderWalk;

// Called for every entry but "." and "..", just before the walk takes it: before descending into a
// folder (folder TRUE), before copying a file (folder FALSE).
typedef void (*CopyItemHook)(FolderWalk* walk, const char* source, const char* destination,
                             BOOL folder);

// Puts the file source at destination in place of the walk's own CopyFileA, once the walk has
// found the destination's folder safe to write (existing: the destination's attributes,
// INVALID_FILE_ATTRIBUTES when there is none yet); TRUE when the file arrived. The step must never
// write through a link at destination (a new file made with CREATE_NEW, an old one moved away by
// name), and must itself refuse an existing destination that resolves outside the walk's
// destination root, checked on the handle it acts on: the walk checks a file's own place only
// when it copies with CopyFileA itself.
typedef BOOL (*CopyFileStep)(FolderWalk* walk, const char* source, const char* destination,
                             DWORD existing);
// Makes the folder path, whose parent exists, in place of MakeDirectories; TRUE only when it made
// path itself (a folder that appeared meanwhile counts as a failure), for the walk then looks for
// nothing in it before writing.
typedef BOOL (*MakeFolderStep)(FolderWalk* walk, const char* path);

// One walk's state; value-initialised ({}) before the first CopyFolderTree of the walk.
struct FolderWalk {
  CopyItemHook hook;          // may be null
  CopyFileStep copyFile;      // may be null: CopyFileA over the destination
  MakeFolderStep makeFolder;  // may be null: MakeDirectories
  // Nothing is made or copied: every entry still reaches the hook and the checks of an existing
  // destination still count, so a walk can tell what it would add or replace.
  BOOL dryRun;
  void* context;              // the owner's, for the hook and the steps
  int32_t errorCount;         // items that did not reach the destination, see CopyFolderTree
  std::string firstError;     // the path of the first item counted
  // Where the destination root really is, every link resolved ("\\?\C:\..."); set by the walk's
  // first CopyFolderTree. Nothing is written that does not resolve below it.
  char destinationRoot[kResolvedPathSize];
  // The source folders the walk is inside at the moment, outermost first. A folder that is already
  // one of them is a loop, even where a link to it is not reported as a reparse point.
  FolderIdentity walkPath[kMaxWalkDepth];
  int32_t walkDepth;
};

// Copies the folder source into destination, depth first, replacing files of the same name and
// keeping others; destination and its parents are created when missing. Adds one to the walk's
// errorCount for each: a file not copied, a folder not created or not listed, an entry whose name
// Windows would read as something else (a separator, a device name, a trailing dot), an entry whose
// path does not fit, a folder that is a reparse point (on either side: not descended into, so a
// linked or looping tree ends), a source folder that the walk is already inside (a loop, however it
// was made), a destination file that is read-only, and an existing destination
// that resolves (through a link) to somewhere outside the walk's destination root.
void CopyFolderTree(const char* source, const char* destination, FolderWalk* walk);

// Creates the folder path and every missing folder above it. TRUE when path is a folder at the end.
BOOL MakeDirectories(const char* path);

#pragma once
#include <windows.h>

#include <cstdint>

#include "app/InstallationTable.h"
#include "app/StatusMailbox.h"
#include "install/EntryNames.h"

// Every path of the copy fits MAX_PATH: at most 259 characters and the terminator. A folder is
// listed with the pattern folder + "\*.*", so a folder to be listed has at most 255 characters.
constexpr int kMaxCopyPathLength = MAX_PATH - 1;
constexpr int kMaxListedFolderLength = kMaxCopyPathLength - 4;
constexpr int kResolvedPathSize = 1024;  // a link may lead anywhere, so its target gets more room
// Every level of a walk adds at least two characters ("\x") to a path of at most 259.
constexpr int kMaxWalkDepth = MAX_PATH / 2;

// Which folder a source folder really is, whatever path reached it.
struct FolderIdentity {
  DWORD volume;
  DWORD indexHigh;
  DWORD indexLow;
};

// The install into one installation; zero-filled for one InstallPatch call.
struct PatchInstallJob {
  char patchRoot[MAX_PATH];    // the patch folder; status lines name files relative to it
  const InstallationRow* row;  // not owned; its installPath is the installation folder
  StatusMailbox* mailbox;      // not owned; one status line per file
  int32_t clearOldPatch;       // non-zero: installed vendor folders the patch carries go first
  int32_t errorCount;          // items that did not reach the installation, see CopyFolderTree
  // Where the destination root really is, every link resolved ("\\?\C:\..."); set by the job's
  // first CopyFolderTree. Nothing is written or deleted that does not resolve below it.
  char destinationRoot[kResolvedPathSize];
  // The source folders the walk is inside at the moment, outermost first. A folder that is already
  // one of them is a loop, even where a link to it is not reported as a reparse point.
  FolderIdentity walkPath[kMaxWalkDepth];
  int32_t walkDepth;
};

// Called for every entry but "." and "..", just before the walk takes it: before descending into a
// folder (folder TRUE), before copying a file (folder FALSE).
typedef void (*CopyItemHook)(PatchInstallJob* job, const char* source, const char* destination, BOOL folder);

// Merges the patch folder into the configuration folder of row and returns the number of errors
// (0: everything arrived).
int InstallPatch(const InstallationRow& row, StatusMailbox* mailbox, int clearOldPatch);

// Fills the job's patch root and merges the patch folder into the row's configuration folder with
// OnCopyItem as the hook. The installation folder must be an absolute path that exists; the
// configuration folder below it is created when missing.
void CopyPatchTree(PatchInstallJob* job);

// Copies the folder source into destination, depth first, replacing files of the same name and
// keeping others; destination and its parents are created when missing. Adds one to the job's
// errorCount for each: a file not copied, a folder not created or not listed, an entry whose name
// Windows would read as something else (a separator, a device name, a trailing dot), an entry whose
// path does not fit, a folder that is a reparse point (on either side: not descended into, so a
// linked or looping tree ends), a source folder that the walk is already inside (a loop, however it
// was made), a destination file that is read-only, and an existing destination
// that resolves (through a link) to somewhere outside the job's destination root.
void CopyFolderTree(const char* source, const char* destination, CopyItemHook hook, PatchInstallJob* job);

// The install's hook: clears an installed vendor folder when the job asks for it (counting an
// error when it stays), and posts "Copy <path below the patch> to <installation folder>" for a file.
void OnCopyItem(PatchInstallJob* job, const char* source, const char* destination, BOOL folder);

// Creates the folder path and every missing folder above it. TRUE when path is a folder at the end.
BOOL MakeDirectories(const char* path);

// TRUE when the last component of path is the vendor folder name, without regard to case.
BOOL IsVendorFolder(const char* path);

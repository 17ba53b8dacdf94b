#pragma once
#include <windows.h>

#include <vector>

#include "install/FolderWalk.h"
#include "install/InstallEvents.h"
#include "install/InstallJournal.h"
#include "install/InstallOptions.h"
#include "install/PatchManifest.h"
#include "install/PatchPaths.h"

// The install rules: the patch folder beside the program merged into an installation's
// configuration folder, vendor folders cleared first when asked, one event per file.

// The install into one installation; value-initialised ({}) for one InstallPatch call.
struct PatchInstallJob {
  FolderWalk walk;            // its context is this job, its hook OnCopyItem
  char patchRoot[MAX_PATH];   // the patch folder; events name files relative to it
  const char* installFolder;  // not owned; events name it as it stands
  InstallOptions options;
  InstallEventSink events;
  // Every step goes through it, so that it can be undone. Null: files are copied in place and
  // vendor folders cannot be cleared (counted).
  InstallJournal* journal;
  // Each file is compared with its line as it is copied; null or absent: nothing to compare.
  const ManifestIndex* manifest;
  std::vector<char> copyBuffer;
  int filesStarted;
  InstallPhaseTimes* times;  // where the install's time is added; may be null
  char fault[kReasonSize];  // the first file that was not what the manifest says, and why
};

// The configuration folder of installFolder, when installFolder is an absolute path of a folder
// that is there; empty otherwise: a vanished installation gets no new folders.
CString ConfigOfPresentInstallation(const char* installFolder);

// Fills the job's patch root and merges the patch folder into the configuration folder of the
// job's installation with OnCopyItem as the hook, each file and folder through the job's journal
// when it has one. The installation folder must be an absolute path that exists; the
// configuration folder below it is created when missing.
void CopyPatchTree(PatchInstallJob* job);

// The install's hook (walk->context is the PatchInstallJob): clears an installed vendor folder
// when the options ask for it, by moving it into the undo area (counting an error when it stays),
// and posts kFileStarted with the path below the patch for a file, before the file is touched.
void OnCopyItem(FolderWalk* walk, const char* source, const char* destination, BOOL folder);

// TRUE when the last component of path is the vendor folder name, without regard to case.
BOOL IsVendorFolder(const char* path);

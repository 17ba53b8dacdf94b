#pragma once
#include <windows.h>

#include "install/FolderWalk.h"
#include "install/InstallOptions.h"
#include "install/StatusSink.h"

// The install rules: the patch folder beside the program merged into an installation's
// configuration folder, vendor folders cleared first when asked, one status line per file.

// The install into one installation; zero-filled for one InstallPatch call.
struct PatchInstallJob {
  FolderWalk walk;             // its context is this job, its hook OnCopyItem
  char patchRoot[MAX_PATH];    // the patch folder; status lines name files relative to it
  const char* installFolder;   // not owned; status lines name it as it stands
  InstallOptions options;
  StatusSink status;
};

// Merges the patch folder into the configuration folder of installFolder and returns the number
// of errors (0: everything arrived).
int InstallPatch(const char* installFolder, InstallOptions options, StatusSink status);

// Fills the job's patch root and merges the patch folder into the configuration folder of the
// job's installation with OnCopyItem as the hook. The installation folder must be an absolute
// path that exists; the configuration folder below it is created when missing.
void CopyPatchTree(PatchInstallJob* job);

// The install's hook (walk->context is the PatchInstallJob): clears an installed vendor folder
// when the options ask for it (counting an error when it stays), and posts
// "Copy <path below the patch> to <installation folder>" for a file.
void OnCopyItem(FolderWalk* walk, const char* source, const char* destination, BOOL folder);

// Deletes an installed vendor folder with everything in it, provided it and everything in it
// resolves below destinationRoot (a ResolvePath result). TRUE when nothing of that name is left as
// a folder; a file of the vendor's name is never deleted.
BOOL DeleteVendorFolder(const char* destinationRoot, const char* folder);

// TRUE when the last component of path is the vendor folder name, without regard to case.
BOOL IsVendorFolder(const char* path);

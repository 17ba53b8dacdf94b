#pragma once
#include <windows.h>

#include "install/FolderWalk.h"
#include "install/InstallJournal.h"
#include "install/JournalRollback.h"
#include "install/InstallOptions.h"
#include "install/StatusSink.h"

// The install rules: the patch folder beside the program merged into an installation's
// configuration folder, vendor folders cleared first when asked, one status line per file.

// The install into one installation; zero-filled for one InstallPatch call.
struct PatchInstallJob {
  FolderWalk walk;            // its context is this job, its hook OnCopyItem
  char patchRoot[MAX_PATH];   // the patch folder; status lines name files relative to it
  const char* installFolder;  // not owned; status lines name it as it stands
  InstallOptions options;
  StatusSink status;
  // Every step goes through it, so that it can be undone. Null: files are copied in place and
  // vendor folders cannot be cleared (counted).
  InstallJournal* journal;
};

// How the install into one installation ended.
enum InstallOutcome {
  kInstallDone,         // every file arrived
  kInstallRolledBack,   // something failed; the installation is as it was before, byte for byte
  kInstallSkipped,      // not touched: a file in use, no patch, no installation, no undo area
  kInstallNotRestored,  // something failed and undoing it failed too; the undo area is kept
  kInstallRefused,      // not touched: an undo area there was not made by this program, or its
                        // journal names a place it may not; it stays for a person to look at
};

struct InstallResult {
  InstallOutcome outcome;
  char reason[kStatusLineSize];  // why it is not done, for the user; empty when done
};

// Installs the patch folder into the configuration folder of installFolder as one transaction
// (InstallJournal.h): first a run that was killed there is finished, then the installation is
// skipped untouched when a file the install would replace or move is in use; otherwise every
// file arrives or the installation is put back as it was. Returns the number of items that
// failed (0: everything arrived); result, when given, says how it ended.
int InstallPatch(const char* installFolder, InstallOptions options, StatusSink status,
                 InstallResult* result = nullptr);

// Fills the job's patch root and merges the patch folder into the configuration folder of the
// job's installation with OnCopyItem as the hook, each file and folder through the job's journal
// when it has one. The installation folder must be an absolute path that exists; the
// configuration folder below it is created when missing.
void CopyPatchTree(PatchInstallJob* job);

// The install's hook (walk->context is the PatchInstallJob): clears an installed vendor folder
// when the options ask for it, by moving it into the undo area (counting an error when it stays),
// and posts "Copy <path below the patch> to <installation folder>" for a file, before the file is
// touched.
void OnCopyItem(FolderWalk* walk, const char* source, const char* destination, BOOL folder);

// TRUE when the last component of path is the vendor folder name, without regard to case.
BOOL IsVendorFolder(const char* path);

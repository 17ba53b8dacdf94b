#pragma once
#include "install/InstallEvents.h"
#include "install/InstallOptions.h"
#include "install/TreeListing.h"

// The install into one installation as a transaction (InstallJournal.h): first a run that was
// killed there is finished, then the installation is skipped untouched when a file the install
// would replace or move is in use; otherwise every file arrives, each checked against the
// patch's manifest as it is copied, or the installation is put back as it was. Posts
// kFileStarted for each file. Returns the number of items that failed (0: everything arrived);
// result, when given, says how it ended. patchListing is the patch folder's listing the run
// inspected, for the look for files in use; null: it is listed here.
int InstallPatch(const char* installFolder, InstallOptions options, InstallEventSink events,
                 InstallResult* result = nullptr, const TreeListing* patchListing = nullptr);

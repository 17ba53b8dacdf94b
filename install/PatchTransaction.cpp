// InstallPatch: the install into one installation as a whole, around CopyPatchTree.
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "install/EntryNames.h"
#include "install/FilesInUse.h"
#include "install/JournalRollback.h"
#include "install/PatchInstall.h"
#include "install/PatchTransaction.h"
#include "install/PatchPaths.h"

namespace {

// TRUE when a folder of relative, a path below the configuration folder (the last component
// left out), is a vendor folder: clearing the old patch moves it aside whole.
BOOL BelowVendorFolder(const std::string& relative) {
  for (size_t start = 0, cut; (cut = relative.find('\\', start)) != std::string::npos;
       start = cut + 1) {
    if (IsVendorFolder(relative.substr(start, cut - start).c_str())) return TRUE;
  }
  return FALSE;
}

// Looks, before the installation is touched, at every file of each installed vendor folder the
// patch carries (as the patch's own listing names them), which clearing the old patch moves aside
// whole: the open of that move would not see a file in use inside it. TRUE, the file's path in
// file (MAX_PATH bytes), when one is in use. A file the install replaces one by one is looked at
// by the very open that moves it into the undo area (JournalPlaceFile).
BOOL FindFileInUseInVendorFolders(const char* config, const TreeListing& patch, DWORD* waitedMs,
                                  char* file) {
  char path[MAX_PATH];
  for (const std::string& folder : patch.folders) {
    if (!IsVendorFolder(folder.c_str()) || BelowVendorFolder(folder) ||
        !JoinItemPath(path, config, folder.c_str(), MAX_PATH - 1) ||
        !IsFolder(GetFileAttributesA(path))) {
      continue;
    }
    if (FindFileInUse(path, waitedMs, file)) return TRUE;
  }
  return FALSE;
}

void Finish(InstallResult* result, InstallOutcome outcome, const char* format, const char* a,
            const char* b = "") {
  result->outcome = outcome;
  snprintf(result->reason, sizeof result->reason, format, a, b);
}

// Makes the missing folders of config from the installation folder down, noting which it made
// (at most the two of "arm\config"). FALSE when config is not a folder afterwards.
BOOL MakeConfigFolder(const char* config, char made[2][MAX_PATH], int* count) {
  char parent[MAX_PATH];
  strcpy(parent, config);
  PathRemoveFileSpecA(parent);
  *count = 0;
  for (const char* folder : {static_cast<const char*>(parent), config}) {
    if (GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES) {
      if (!CreateDirectoryA(folder, nullptr)) return FALSE;
      strcpy(made[(*count)++], folder);
    }
  }
  return IsFolder(GetFileAttributesA(config));
}

// The copy walk, its own time (what the steps inside it took aside) added to kPhaseWalk.
void CopyWalkTimed(PatchInstallJob* job) {
  InstallPhaseTimes* times = job->times;
  if (times == nullptr) {
    CopyPatchTree(job);
    return;
  }
  double inner = 0;
  for (InstallPhase phase : {kPhaseClear, kPhaseJournal, kPhaseCopies, kPhaseBackups})
    inner -= times->seconds[phase];
  {
    PhaseTimer timer(times, kPhaseWalk);
    CopyPatchTree(job);
  }
  for (InstallPhase phase : {kPhaseClear, kPhaseJournal, kPhaseCopies, kPhaseBackups})
    inner += times->seconds[phase];
  times->seconds[kPhaseWalk] -= inner;
}

// The installation was left as it was (or put back) because file is in use.
void FinishInUse(InstallResult* result, const char* file) {
  char program[kProgramNameSize];
  if (FindProgramHolding(file, program)) {
    Finish(result, kInstallFileInUse, "%s is in use by %s", file, program);
  } else {
    Finish(result, kInstallFileInUse, "%s is in use", file);
  }
}

// The transaction proper, once the installation and the patch are known to be there; the
// installation's waiting for files in use has taken waitedMs so far.
int InstallWithJournal(PatchInstallJob* job, const char* config, DWORD waitedMs,
                       InstallResult* result) {
  char made[2][MAX_PATH];
  int madeCount = 0;
  InstallJournal journal;
  if (!MakeConfigFolder(config, made, &madeCount) || !BeginJournal(&journal, config)) {
    for (int i = madeCount - 1; i >= 0; --i) RemoveDirectoryA(made[i]);
    Finish(result, kInstallSkipped, "%s\\%s could not be made", config, kUndoAreaName);
    return 1;
  }
  int errors = 0;
  if (madeCount != 0 && !JournalConfigMade(&journal, madeCount)) ++errors;
  job->journal = &journal;
  journal.times = job->times;
  journal.waitedMs = waitedMs;
  if (errors == 0) CopyWalkTimed(job);
  errors += job->walk.errorCount;
  if (errors == 0) {
    // Keeping the previous generation is a convenience: the install has arrived either way.
    CommitJournal(&journal);
    return 0;
  }
  UndoResult undone;
  {
    PhaseTimer timer(job->times, kPhaseRollBack);
    undone = RollBackJournal(&journal);
  }
  // A file that was not what the manifest says is named as such; any other failure by its path.
  char what[kReasonSize];
  if (journal.held[0] != '\0') {
    snprintf(what, sizeof what, "%s is in use", journal.held);
  } else if (job->fault[0] != '\0') {
    snprintf(what, sizeof what, "%s", job->fault);
  } else {
    snprintf(what, sizeof what, "%s could not be installed",
             job->walk.firstError[0] != '\0' ? job->walk.firstError : config);
  }
  if (!Undone(undone)) {
    Finish(result, kInstallNotRestored, "%s, and %s could not be restored", what, undone.why);
  } else if (journal.held[0] != '\0') {
    // Everything done before it is undone: the installation is as it was.
    FinishInUse(result, journal.held);
  } else {
    Finish(result, kInstallRolledBack, "%s", what);
  }
  return errors;
}

// InstallPatch, once the result is set up.
int InstallIntoPresent(PatchInstallJob* job, const TreeListing* listing, InstallResult* result) {
  const CString patch = GetPatchFolder();
  const CString config = ConfigOfPresentInstallation(job->installFolder);
  if (patch.IsEmpty() || !IsFolder(GetFileAttributesA(patch))) {
    Finish(result, kInstallSkipped, "the patch folder %s is missing", patch);
    return 1;
  }
  if (config.IsEmpty()) {
    Finish(result, kInstallSkipped, "the installation %s is missing", job->installFolder);
    return 1;
  }
  // The manifest as it is now: every file is compared with it as it is copied.
  ManifestIndex manifest;
  ManifestCheck check;
  BOOL loaded;
  {
    PhaseTimer timer(job->times, kPhaseManifest);
    loaded = LoadManifestIndex(GetPatchManifest(), &manifest, &check);
  }
  if (!loaded) {
    char why[kReasonSize];
    DescribeManifestCheck(check, why, sizeof why);
    Finish(result, kInstallSkipped, "the patch is damaged: %s", why);
    return 1;
  }
  job->manifest = &manifest;
  // What a killed run left is undone before anything else happens here.
  UndoResult recovered;
  {
    PhaseTimer timer(job->times, kPhaseRecovery);
    recovered = RecoverUndoArea(config);
  }
  if (recovered.refused) {
    Finish(result, kInstallRefused, "%s", recovered.why);
    return 1;
  }
  if (!Undone(recovered)) {
    Finish(result, kInstallNotRestored, "an interrupted install in %s could not be undone: %s",
           config, recovered.why);
    return 1;
  }

  char inUse[MAX_PATH] = "";
  DWORD waitedMs = 0;  // the installation's budget for waiting is spent from here
  BOOL found = FALSE;
  if (job->options.clearOldPatch) {
    PhaseTimer timer(job->times, kPhaseFilesInUse);
    TreeListing own;
    if (listing == nullptr) {
      ListTree(static_cast<const char*>(patch), &own);
      listing = &own;
    }
    found = FindFileInUseInVendorFolders(config, *listing, &waitedMs, inUse);
  }
  if (found) {
    FinishInUse(result, inUse);
    return 1;
  }
  return InstallWithJournal(job, config, waitedMs, result);
}

}  // namespace

int InstallPatch(const char* installFolder, InstallOptions options, InstallEventSink events,
                 InstallResult* result, const TreeListing* patchListing) {
  InstallResult ignored;
  if (result == nullptr) result = &ignored;
  memset(result, 0, sizeof *result);
  result->outcome = kInstallDone;
  PatchInstallJob job{};
  job.installFolder = installFolder != nullptr ? installFolder : "";
  job.options = options;
  job.events = events;
  job.times = &result->phases;
  const int errors = InstallIntoPresent(&job, patchListing, result);
  result->files = job.filesStarted;
  return errors;
}

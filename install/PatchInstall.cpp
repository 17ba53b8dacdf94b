#include "install/PatchInstall.h"

#include <shlwapi.h>

#include <cstdio>
#include <cstring>

#include "install/FilesInUse.h"
#include "install/FolderListing.h"
#include "install/JournalStep.h"
#include "install/PatchPaths.h"
#include "install/ReplacedFolder.h"

namespace {

// Moves an installed vendor folder with everything in it into the undo area. TRUE when nothing of
// that name is left as a folder; a file of the vendor's name is never moved (the copy then fails
// to make the folder).
BOOL ClearVendorFolder(const PatchInstallJob* job, const char* folder) {
  PhaseTimer timer(job->times, kPhaseClear);
  const DWORD attributes = GetFileAttributesA(folder);
  if (!IsFolder(attributes)) {
    return TRUE;
  }
  // A folder that leads elsewhere, or holds a link that does, is left alone: what lies behind a
  // link is not the installation's to take away (and Wine moves a Unix link as its target).
  if (job->journal == nullptr || IsReparsePoint(attributes) ||
      !ResolvesBelowRoot(job->walk.destinationRoot, folder) || HoldsReparsePoint(folder)) {
    return FALSE;
  }
  return JournalMoveAside(job->journal, folder) && !PathFileExistsA(folder);
}

// Moves an installed folder that the patch replaces whole (ReplacedFolder.h) into the undo area,
// once none of its files is in use (a held one is named in the journal's held, and the
// installation is then rolled back). TRUE when it was moved, or is not such a folder and stays
// for the walk to merge into, file by file.
BOOL MoveReplacedFolderAside(const PatchInstallJob* job, const char* source,
                             const char* destination) {
  const DWORD attributes = GetFileAttributesA(destination);
  std::vector<std::string> files;
  if (job->journal == nullptr || !IsFolder(attributes) || IsReparsePoint(attributes) ||
      !IsReplacedWhole(source, destination, &files)) {
    return TRUE;
  }
  PhaseTimer timer(job->times, kPhaseBackups);
  InstallJournal* journal = job->journal;
  for (const std::string& file : files) {
    if (IsFileInUse(file.c_str(), &journal->waitedMs)) {
      snprintf(journal->held, sizeof journal->held, "%s", file.c_str());
      return FALSE;
    }
  }
  return JournalMoveAside(journal, destination) && !PathFileExistsA(destination);
}

// A patch file's path below the patch folder ("devices\QuorVantel\a.i79"), as events and the
// manifest name it; null when source is not below it.
const char* FileBelowPatch(const PatchInstallJob* job, const char* source) {
  return job->patchRoot[0] != '\0' ? PathBelow(source, job->patchRoot) : nullptr;
}

void NoteFault(PatchInstallJob* job, const char* format, const char* file) {
  if (job->fault[0] == '\0') snprintf(job->fault, sizeof job->fault, format, file);
}

// The file goes through the journal, read once: hashed as it is copied and compared with its
// manifest line, so a patch file changed or added after the run's check is never installed.
BOOL PlaceThroughJournal(FolderWalk* walk, const char* source, const char* destination,
                         DWORD existing) {
  PatchInstallJob* job = static_cast<PatchInstallJob*>(walk->context);
  const ManifestEntry* expected = nullptr;
  if (job->manifest != nullptr && job->manifest->present) {
    const char* relative = FileBelowPatch(job, source);
    expected = relative != nullptr ? FindManifestEntry(*job->manifest, relative) : nullptr;
    if (expected == nullptr) {
      NoteFault(job, "%s is not in the patch's manifest", relative != nullptr ? relative : source);
      return FALSE;
    }
  }
  CopyVerdict verdict = kCopyFailed;
  if (JournalPlaceFile(job->journal, source, destination, existing, expected, job->copyBuffer,
                       &verdict)) {
    return TRUE;
  }
  if (verdict == kCopyDiffers) {
    NoteFault(job, "%s changed after the patch was checked", expected->path);
  }
  return FALSE;
}

BOOL MakeThroughJournal(FolderWalk* walk, const char* path) {
  const PatchInstallJob* job = static_cast<const PatchInstallJob*>(walk->context);
  return JournalMakeFolder(job->journal, path);
}

}  // namespace

CString ConfigOfPresentInstallation(const char* installFolder) {
  const CString config = GetConfigFolder(installFolder);
  if (config.IsEmpty() || !IsFullyQualifiedPath(config) ||
      !IsFolder(GetFileAttributesA(installFolder))) {
    return CString();
  }
  return config;
}

BOOL IsVendorFolder(const char* path) {
  if (path == nullptr || strlen(path) >= MAX_PATH) {
    return FALSE;
  }
  char name[MAX_PATH];
  strcpy(name, path);
  PathStripPathA(name);
  return _stricmp(name, kVendorFolderName) == 0;
}

void OnCopyItem(FolderWalk* walk, const char* source, const char* destination, BOOL folder) {
  PatchInstallJob* job = static_cast<PatchInstallJob*>(walk->context);
  if (folder) {
    const BOOL cleared = IsVendorFolder(source) && job->options.clearOldPatch;
    if (cleared ? PathFileExistsA(destination) && !ClearVendorFolder(job, destination)
                : !MoveReplacedFolderAside(job, source, destination)) {
      ++walk->errorCount;
      if (walk->errorCount == 1)
        strncpy(walk->firstError, destination, sizeof walk->firstError - 1);
    }
    return;
  }
  const char* below = FileBelowPatch(job, source);
  ++job->filesStarted;
  PostEvent(job->events,
            InstallEvent{kFileStarted, job->installFolder != nullptr ? job->installFolder : "",
                         below != nullptr ? below : source, job->filesStarted, nullptr, nullptr});
}

void CopyPatchTree(PatchInstallJob* job) {
  job->walk.hook = OnCopyItem;
  job->walk.context = job;
  if (job->journal != nullptr) {
    job->walk.copyFile = PlaceThroughJournal;
    job->walk.makeFolder = MakeThroughJournal;
  }
  const CString patch = GetPatchFolder();
  memset(job->patchRoot, 0, sizeof(job->patchRoot));
  if (patch.IsEmpty()) {
    ++job->walk.errorCount;
    return;
  }
  strncpy(job->patchRoot, patch, sizeof(job->patchRoot) - 1);

  const CString config =
      ConfigOfPresentInstallation(job->installFolder != nullptr ? job->installFolder : "");
  if (config.IsEmpty()) {
    ++job->walk.errorCount;
    return;
  }
  CopyFolderTree(job->patchRoot, config, &job->walk);
}

#include "install/PatchInstall.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>

#include "install/PatchPaths.h"

BOOL DeleteVendorFolder(const char* destinationRoot, const char* folder) {
  const DWORD attributes = GetFileAttributesA(folder);
  if (!IsFolder(attributes)) {
    return TRUE;
  }
  // The shell's delete walks through linked folders (Wine's follows a Unix link into its target),
  // so a vendor folder is only deleted when nothing in it leads elsewhere.
  if (IsReparsePoint(attributes) || !ResolvesBelowRoot(destinationRoot, folder) || HoldsReparsePoint(folder)) {
    return FALSE;
  }
  // The source list ends with an empty string: two terminators.
  char from[MAX_PATH + 1] = {};
  strncpy(from, folder, MAX_PATH - 1);
  SHFILEOPSTRUCTA operation = {};
  operation.hwnd = nullptr;
  operation.wFunc = FO_DELETE;
  operation.pFrom = from;
  operation.pTo = nullptr;
  operation.fFlags = FOF_MULTIDESTFILES | FOF_NOCONFIRMATION;
  // Its result is not trusted either way: what counts is whether the folder is gone.
  SHFileOperationA(&operation);
  return !PathFileExistsA(folder);
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
  const PatchInstallJob* job = static_cast<const PatchInstallJob*>(walk->context);
  if (folder) {
    if (IsVendorFolder(source) && job->options.clearOldPatch && PathFileExistsA(destination) &&
        !DeleteVendorFolder(walk->destinationRoot, destination)) {
      ++walk->errorCount;
    }
    return;
  }
  char relative[MAX_PATH] = "";
  if (job->patchRoot[0] == '\0' ||
      !PathRelativePathToA(relative, job->patchRoot, FILE_ATTRIBUTE_DIRECTORY, source, FILE_ATTRIBUTE_NORMAL)) {
    relative[0] = '\0';
  }
  const char* shown = relative;
  if (strncmp(shown, ".\\", 2) == 0) {
    shown += 2;
  } else if (shown[0] == '\\') {
    shown += 1;
  }
  if (relative[0] == '\0') {
    shown = source;
  }
  PostToSink(job->status, "Copy %s to %s", shown, job->installFolder != nullptr ? job->installFolder : "");
}

void CopyPatchTree(PatchInstallJob* job) {
  job->walk.hook = OnCopyItem;
  job->walk.context = job;
  const CString patch = GetPatchFolder();
  memset(job->patchRoot, 0, sizeof(job->patchRoot));
  if (patch.IsEmpty()) {
    ++job->walk.errorCount;
    return;
  }
  strncpy(job->patchRoot, patch, sizeof(job->patchRoot) - 1);

  // The installation must be where the row says: a vanished installation gets no new folders.
  const char* installFolder = job->installFolder != nullptr ? job->installFolder : "";
  const CString config = GetConfigFolder(installFolder);
  if (config.IsEmpty() || !IsFullyQualifiedPath(config) || !IsFolder(GetFileAttributesA(installFolder))) {
    ++job->walk.errorCount;
    return;
  }
  CopyFolderTree(job->patchRoot, config, &job->walk);
}

int InstallPatch(const char* installFolder, InstallOptions options, StatusSink status) {
  PatchInstallJob job;
  memset(&job, 0, sizeof(job));
  job.installFolder = installFolder;
  job.options = options;
  job.status = status;
  CopyPatchTree(&job);
  return job.walk.errorCount;
}

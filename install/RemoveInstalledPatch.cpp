#include "install/RemoveInstalledPatch.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstring>

#include "install/EntriesBelow.h"
#include "install/FolderListing.h"
#include "install/PatchPaths.h"
#include "install/PathSafety.h"
#include "install/TreeListing.h"

namespace {

// Deletes an installed vendor folder with everything in it, provided it and everything in it
// resolves below destinationRoot (a ResolvePath result). TRUE when nothing of that name is left as
// a folder; a file of the vendor's name is never deleted. An uninstall keeps nothing aside, so
// this is a real delete, unlike the install's clearing, which moves the folder into its undo area.
BOOL DeleteVendorFolder(const char* destinationRoot, const char* folder) {
  const DWORD attributes = GetFileAttributesA(folder);
  if (!IsFolder(attributes)) {
    return TRUE;
  }
  // A vendor folder is only deleted when nothing in it leads elsewhere: what lies behind a link is
  // not the installation's to take away.
  if (IsReparsePoint(attributes) || !ResolvesBelowRoot(destinationRoot, folder) ||
      HoldsReparsePoint(folder)) {
    return FALSE;
  }
  // Through handles, each entry opened in its own folder's handle: a folder on the way swapped
  // for a junction since the look above is not entered (the shell's delete would follow it).
  RemoveTreeBelow(folder);
  return !PathFileExistsA(folder);
}

}  // namespace

int RemoveInstalledPatch(const std::string& patchFolder, const std::string& installFolder) {
  TreeListing patch;
  const std::string config = static_cast<const char*>(GetConfigFolder(installFolder.c_str()));
  char root[kResolvedPathSize];
  if (!ListTree(patchFolder, &patch) || config.empty() || !IsFullyQualifiedPath(config.c_str()))
    return 1;
  // Nothing to take away from an installation without a configuration folder.
  if (!IsFolder(GetFileAttributesA(config.c_str()))) return 0;
  if (!ResolvePath(config.c_str(), root)) return 1;

  int errors = 0;
  for (const std::string& folder : patch.folders) {
    if (IsVendorFolder(folder.c_str()) &&
        !DeleteVendorFolder(root, (config + "\\" + folder).c_str()))
      ++errors;
  }
  const std::string versionFile =
      static_cast<const char*>(GetVersionFilePath(installFolder.c_str()));
  const DWORD attributes = GetFileAttributesA(versionFile.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    // Only a plain file that really lies in this configuration folder is deleted.
    if (IsFolder(attributes) || IsReparsePoint(attributes) ||
        !ResolvesBelowRoot(root, versionFile.c_str()) || !DeleteFileA(versionFile.c_str())) {
      ++errors;
    }
  }
  return errors;
}

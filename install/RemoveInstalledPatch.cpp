#include "install/RemoveInstalledPatch.h"

#include "install/PatchInstall.h"
#include "install/PatchPaths.h"
#include "install/PathSafety.h"
#include "install/TreeListing.h"

int RemoveInstalledPatch(const std::string& patchFolder, const std::string& installFolder) {
  TreeListing patch;
  const std::string config = static_cast<const char*>(GetConfigFolder(installFolder.c_str()));
  char root[kResolvedPathSize];
  if (!ListTree(patchFolder, &patch) || config.empty() || !IsFullyQualifiedPath(config.c_str())) return 1;
  // Nothing to take away from an installation without a configuration folder.
  if (!IsFolder(GetFileAttributesA(config.c_str()))) return 0;
  if (!ResolvePath(config.c_str(), root)) return 1;

  int errors = 0;
  for (const std::string& folder : patch.folders) {
    if (IsVendorFolder(folder.c_str()) && !DeleteVendorFolder(root, (config + "\\" + folder).c_str())) ++errors;
  }
  const std::string versionFile = static_cast<const char*>(GetVersionFilePath(installFolder.c_str()));
  const DWORD attributes = GetFileAttributesA(versionFile.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    // Only a plain file that really lies in this configuration folder is deleted.
    if (IsFolder(attributes) || IsReparsePoint(attributes) || !ResolvesBelowRoot(root, versionFile.c_str()) ||
        !DeleteFileA(versionFile.c_str())) {
      ++errors;
    }
  }
  return errors;
}

#include "install/InstallPlan.h"

#include <set>

#include "install/PatchPaths.h"
#include "install/TreeListing.h"

namespace {

struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return _stricmp(a.c_str(), b.c_str()) < 0;
  }
};

}  // namespace

BOOL PlanInstall(const std::string& patchFolder, const std::string& installFolder,
                 InstallOptions options, InstallPlan* plan) {
  *plan = InstallPlan();
  TreeListing patch;
  if (!ListTree(patchFolder, &patch)) return FALSE;
  const std::string config = static_cast<const char*>(GetConfigFolder(installFolder.c_str()));

  // Installed vendor folders that the patch carries are deleted first: their files that the patch
  // has no file of go for good.
  std::set<std::string, NoCaseLess> patchFiles(patch.files.begin(), patch.files.end());
  if (options.clearOldPatch && !config.empty()) {
    for (const std::string& folder : patch.folders) {
      if (!IsVendorFolder(folder.c_str())) continue;
      TreeListing installed;
      if (!ListTree(config + "\\" + folder, &installed)) continue;
      for (const std::string& file : installed.files) {
        const std::string path = folder + "\\" + file;
        if (patchFiles.count(path) == 0) plan->removed.push_back(path);
      }
    }
  }
  for (const std::string& file : patch.files) {
    const bool there = !config.empty() && GetFileAttributesA((config + "\\" + file).c_str()) !=
                                              INVALID_FILE_ATTRIBUTES;
    (there ? plan->replaced : plan->added).push_back(file);
  }
  return TRUE;
}

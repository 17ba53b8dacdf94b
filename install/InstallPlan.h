#pragma once
#include <string>
#include <vector>

#include "install/InstallOptions.h"

// What an install into one installation would do, worked out without touching it: the console
// tool's --dry-run. Paths are relative to the installation's configuration folder.
struct InstallPlan {
  std::vector<std::string> added;     // patch files the installation lacks
  std::vector<std::string> replaced;  // patch files the installation has (written anew)
  std::vector<std::string> removed;   // with clear-old-patch: files in installed vendor folders
                                      // that the patch carries, which the patch has no file of
};

// Compares the patch tree with the installation's configuration folder as InstallPatch would
// merge them. FALSE when the patch folder cannot be listed.
BOOL PlanInstall(const std::string& patchFolder, const std::string& installFolder,
                 InstallOptions options, InstallPlan* plan);

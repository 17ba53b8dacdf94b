#include "install/AddedFolder.h"

#include <cstdio>
#include <cstring>

#include "install/PatchPaths.h"

AddedFolderCheck CheckAddedFolder(const char* chosen, char* path) {
  if (chosen == nullptr) chosen = "";
  // The folder keeps a trailing backslash; a path that leaves no room for it is refused.
  const size_t length = strnlen(chosen, MAX_PATH);
  const bool needsBackslash = length > 0 && chosen[length - 1] != '\\';
  if (length >= MAX_PATH || length + (needsBackslash ? 1 : 0) >= MAX_PATH) {
    snprintf(path, MAX_PATH, "%.*s", static_cast<int>(MAX_PATH - 1), chosen);
    return AddedFolderCheck::kTooLong;
  }
  snprintf(path, MAX_PATH, "%s%s", chosen, needsBackslash ? "\\" : "");
  return length > 0 && IsToolchainFolder(path) ? AddedFolderCheck::kAccepted
                                               : AddedFolderCheck::kNotToolchain;
}

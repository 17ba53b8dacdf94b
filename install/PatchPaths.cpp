#include "install/PatchPaths.h"

#include <cstring>

namespace {

// first and second joined with exactly one backslash, as PathCombineA joins them; empty when
// first is empty or the result does not fit MAX_PATH.
CString JoinPath(LPCTSTR first, LPCTSTR second) {
  // PathCombineA copies its parts into MAX_PATH buffers of its own; a longer part must not reach
  // it.
  if (first == nullptr || first[0] == '\0' || strlen(first) >= MAX_PATH) {
    return CString();
  }
  char joined[MAX_PATH] = "";
  if (PathCombineA(joined, first, second) == nullptr) {
    return CString();
  }
  return CString(joined);
}

}  // namespace

std::string PatchFolderBeside(const std::string& program) {
  const size_t slash = program.find_last_of('\\');
  if (slash == std::string::npos || program.size() >= MAX_PATH) return std::string();
  return static_cast<const char*>(JoinPath(program.substr(0, slash).c_str(), kPatchFolderName));
}

std::string ManifestOf(const std::string& patchFolder) {
  if (patchFolder.empty() || patchFolder.size() + strlen(kManifestSuffix) >= MAX_PATH) {
    return std::string();
  }
  return patchFolder + kManifestSuffix;
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

CString GetConfigFolder(LPCTSTR installFolder) {
  return JoinPath(installFolder, kConfigSubfolder);
}

CString GetVersionFilePath(LPCTSTR installFolder) {
  const CString config = GetConfigFolder(installFolder);
  return JoinPath(config, kVersionFileName);
}

BOOL HasVendorDevices(LPCTSTR installFolder) {
  const CString devices = JoinPath(GetConfigFolder(installFolder), kVendorDeviceSubfolder);
  return !devices.IsEmpty() && PathFileExistsA(devices);
}

BOOL IsToolchainFolder(LPCTSTR folder) {
  const CString config = GetConfigFolder(folder);
  return !config.IsEmpty() && PathFileExistsA(config);
}

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

CString GetPatchFolder() {
  char program[MAX_PATH] = "";
  const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
  // A result that fills the buffer is a cut path (and unterminated on older Windows).
  if (length == 0 || length >= MAX_PATH) {
    return CString();
  }
  PathRemoveFileSpecA(program);
  return JoinPath(program, kPatchFolderName);
}

CString GetPatchManifest() {
  const CString patch = GetPatchFolder();
  if (patch.IsEmpty() || patch.GetLength() + strlen(kManifestSuffix) >= MAX_PATH) {
    return CString();
  }
  return patch + kManifestSuffix;
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

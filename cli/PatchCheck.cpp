#include "cli/PatchCheck.h"

#include <windows.h>

#include <cstring>

#include "install/PatchPaths.h"

namespace {

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && _strnicmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

// Whether the patch has the file and the device folder an installation is recognised by.
bool FindFault(const PatchInfo& patch, std::string* fault) {
  bool hasVersionFile = false;
  bool hasDevice = false;
  const std::string devices = std::string(kVendorDeviceSubfolder) + "\\";
  for (const std::string& file : patch.listing.files) {
    if (_stricmp(file.c_str(), kVersionFileName) == 0) hasVersionFile = true;
    if (StartsWithNoCase(file, devices)) hasDevice = true;
  }
  if (!hasVersionFile) *fault = std::string("the patch has no ") + kVersionFileName;
  else if (!hasDevice) *fault = std::string("the patch has no file in ") + kVendorDeviceSubfolder;
  else if (patch.stamp.label[0] == '\0') *fault = std::string("the patch's ") + kVersionFileName + " names no version";
  else return false;
  return true;
}

}  // namespace

PatchInfo InspectPatch() {
  PatchInfo patch;
  patch.folder = static_cast<const char*>(GetPatchFolder());
  if (patch.folder.empty() || !ListTree(patch.folder, &patch.listing)) {
    patch.state = PatchState::kMissing;
    return patch;
  }
  ReadVersionFile((patch.folder + "\\" + kVersionFileName).c_str(), &patch.stamp);
  patch.state = FindFault(patch, &patch.fault) ? PatchState::kDamaged : PatchState::kUsable;
  return patch;
}

bool HoldsPatchVersion(const VersionStamp& installed, const PatchInfo& patch) {
  return installed.state != 0 && _stricmp(installed.label, patch.stamp.label) == 0;
}

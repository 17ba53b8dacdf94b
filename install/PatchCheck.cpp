#include "install/PatchCheck.h"

#include <windows.h>

#include <cstring>

#include "install/DeliveryRecord.h"
#include "install/FilesInUse.h"
#include "install/PatchManifest.h"
#include "install/InstallEvents.h"
#include "install/PatchPaths.h"
#include "install/VersionOrder.h"

namespace {

BOOL StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() &&
         _strnicmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

// Whether the patch is what its manifest lists (a patch without one passes), and has the file and
// the device folder an installation is recognised by.
BOOL FindFault(PatchInfo* patchInfo, std::string* fault) {
  const PatchInfo& patch = *patchInfo;
  ManifestCheck check;
  const ManifestVerdict verdict = CheckPatchAgainstManifest(
      patch.folder.c_str(), ManifestOf(patch.folder).c_str(), &check, &patch.listing);
  patchInfo->hasManifest = verdict != kManifestAbsent;
  if (verdict != kManifestAbsent && verdict != kManifestMatches) {
    *fault = DescribeManifestCheck(check);
    return TRUE;
  }
  BOOL hasVersionFile = FALSE;
  BOOL hasDevice = FALSE;
  const std::string devices = std::string(kVendorDeviceSubfolder) + "\\";
  for (const std::string& file : patch.listing.files) {
    if (_stricmp(file.c_str(), kVersionFileName) == 0) hasVersionFile = TRUE;
    if (StartsWithNoCase(file, devices)) hasDevice = TRUE;
  }
  if (!hasVersionFile)
    *fault = std::string("the patch has no ") + kVersionFileName;
  else if (!hasDevice)
    *fault = std::string("the patch has no file in ") + kVendorDeviceSubfolder;
  else if (patch.stamp.label[0] == '\0')
    *fault = std::string("the patch's ") + kVersionFileName + " names no version";
  else
    return FALSE;
  return TRUE;
}

}  // namespace

PatchInfo InspectPatch(const std::string& folder) {
  PatchInfo patch;
  patch.folder = folder;
  if (patch.folder.empty() || !ListTree(patch.folder, &patch.listing)) {
    patch.state = PatchState::kMissing;
    return patch;
  }
  // The version file is read with an exclusive open; so does a second console tool for its log's
  // first line, before it waits for the install lock. Such a hold lasts a moment: it is waited
  // out (within the budget for files in use) rather than read as a patch without its version.
  const std::string versionFile = patch.folder + "\\" + kVersionFileName;
  DWORD waitedMs = 0;
  IsFileInUse(versionFile.c_str(), &waitedMs);
  ReadVersionFile(versionFile.c_str(), &patch.stamp);
  patch.state = FindFault(&patch, &patch.fault) ? PatchState::kDamaged : PatchState::kUsable;
  return patch;
}

namespace {

// CompareInstalledPatch by the version file alone.
PatchStanding ByVersionFile(const VersionStamp& installed, const char* version) {
  if (installed.state == 0) return PatchStanding::kNone;
  if (_stricmp(installed.label, version) == 0) return PatchStanding::kCurrent;
  if (_stricmp(installed.label, kUnknownVersionLabel) == 0) return PatchStanding::kOlder;
  const int order = CompareVersionNumbers(installed.label, version);
  return order < 0   ? PatchStanding::kOlder
         : order > 0 ? PatchStanding::kNewer
                     : PatchStanding::kCurrent;
}

// TRUE when an install of the very version the version file says recorded it for the folder.
BOOL DeliveredThere(const char* installFolder, const VersionStamp& installed) {
  return _stricmp(RecordedDelivery(installFolder).c_str(), installed.label) == 0;
}

}  // namespace

BOOL ClaimsUndeliveredNewer(const char* installFolder, const VersionStamp& installed,
                            const char* version) {
  return ByVersionFile(installed, version) == PatchStanding::kNewer &&
         !DeliveredThere(installFolder, installed);
}

PatchStanding CompareInstalledPatch(const char* installFolder, const VersionStamp& installed,
                                    const char* version) {
  const PatchStanding standing = ByVersionFile(installed, version);
  return standing == PatchStanding::kNewer && !DeliveredThere(installFolder, installed)
             ? PatchStanding::kOlder
             : standing;
}

const char* StandingName(PatchStanding standing) {
  switch (standing) {
    case PatchStanding::kNone:
      return "none";
    case PatchStanding::kOlder:
      return "older";
    case PatchStanding::kCurrent:
      return "current";
    case PatchStanding::kNewer:
      return "newer";
  }
  return "none";
}

#pragma once
#include <windows.h>

#include <string>

#include "install/TreeListing.h"
#include "record/VersionStamp.h"

// The patch that lies beside the program, checked before anything is installed from it.
enum class PatchState {
  kUsable,
  kMissing,  // no patch folder beside the program
  kDamaged,  // the folder is there but lacks what every patch has
};

struct PatchInfo {
  std::string folder;   // the patch folder
  TreeListing listing;  // its files and folders
  VersionStamp stamp;   // what its version file says: the version it installs
  PatchState state = PatchState::kMissing;
  std::string fault;         // for kDamaged: what is wrong, one line
  bool hasManifest = false;  // the patch came with its manifest, and matches it when usable
};

// Looks at the patch in folder (the one beside the program): the one rule of what may be installed, for the dialog and
// the console tool alike. A usable patch is what its manifest lists (a patch without one passes),
// and has its version file with a version label and the vendor's device folder with at least one
// file, since an installation counts as patched only with both.
PatchInfo InspectPatch(const std::string& folder);

// How the patch the installation at installFolder holds (installed, its version file) stands
// against a patch version ("V2.0"), by the numbers of their labels. A patch whose version file
// could not be read counts as older. So does a version file saying a newer version that no
// elevated install of that version recorded for the folder (DeliveryRecord.h): anyone may write
// the file, and a planted "V99.0" must not keep every delivery away.
enum class PatchStanding { kNone, kOlder, kCurrent, kNewer };
PatchStanding CompareInstalledPatch(const char* installFolder, const VersionStamp& installed,
                                    const char* version);

// TRUE when the installation's version file says a newer version than version that no delivery
// recorded: CompareInstalledPatch counts it as older, and this tells the user why.
BOOL ClaimsUndeliveredNewer(const char* installFolder, const VersionStamp& installed,
                            const char* version);

// TRUE when the installation holds that version or a newer one.
inline BOOL HoldsPatchVersion(const char* installFolder, const VersionStamp& installed,
                              const char* version) {
  const PatchStanding standing = CompareInstalledPatch(installFolder, installed, version);
  return standing == PatchStanding::kCurrent || standing == PatchStanding::kNewer;
}

// "none", "older", "current" or "newer", as the console tool's status and JSON say it.
const char* StandingName(PatchStanding standing);

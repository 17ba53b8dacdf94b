#pragma once
#include <string>
#include <vector>

#include "install/PatchCheck.h"
#include "install/PatchManifest.h"
#include "record/VersionStamp.h"

// Whether an installation holds this package's patch file for file: every file the manifest names
// with its size and SHA-256, and nothing else in the vendor's folders. The manifest is the one
// bound into the program; nothing in arm\config, which a standard user may write, is taken as
// what the patch should be. The files are read below the installation's checked folder chain, so
// a junction planted on the way is reported, never followed.

enum class FileDifference {
  kMissing,  // the manifest names it and the installation lacks it (or holds a folder or a link)
  kChanged,  // its size or SHA-256 is not the manifest's, or it cannot be read
  kForeign,  // in a vendor folder, and not the patch's
};

struct InstalledFileDifference {
  FileDifference kind;
  std::string path;  // below arm\config
};

enum class VerifyVerdict {
  kMatches,  // this package's version, every file as its manifest says
  kDiffers,  // this package's version by its version file, with files missing, changed or foreign
  kOtherPatch,  // no patch, or an older one: this package's is to be installed
  kNewerPatch,  // a newer patch, which this package's manifest cannot speak for
  kUnreadable,  // arm\config is missing, or a folder on its way is not a plain folder where named
};

struct InstalledPatchCheck {
  VerifyVerdict verdict = VerifyVerdict::kMatches;
  std::vector<InstalledFileDifference> differences;
  std::string why;  // for kUnreadable
};

// Checks installFolder, whose version file says installed, against patch and its manifest.
InstalledPatchCheck VerifyInstalledPatch(const PatchInfo& patch, const ManifestIndex& manifest,
                                         const char* installFolder, const VersionStamp& installed);

// TRUE when a reinstall of this package is what the installation needs.
inline bool NeedsRepair(VerifyVerdict verdict) {
  return verdict == VerifyVerdict::kDiffers || verdict == VerifyVerdict::kOtherPatch;
}

// "missing", "changed", "foreign", as the console tool's output and JSON say them.
const char* DifferenceName(FileDifference kind);
// "matches", "differs", "otherPatch", "newerPatch", "unreadable".
const char* VerdictName(VerifyVerdict verdict);

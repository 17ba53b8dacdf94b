#include "install/ProbeInstalledPatch.h"

#include "install/PatchPaths.h"

// Apart from the rest of the stamp: it needs the installer's path rules, which are Win32's.
void ProbeInstalledPatch(VersionStamp* stamp, LPCTSTR installFolder) {
  // The vendor's device folder, not the version file, says whether a patch is installed.
  if (HasVendorDevices(installFolder)) {
    ReadVersionFile(GetVersionFilePath(installFolder), stamp);
  } else {
    stamp->state = 0;
    ResetVersionStamp(stamp, FALSE);
  }
}

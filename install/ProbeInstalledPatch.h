#pragma once
#include "classlib/afx.h"
#include "record/VersionStamp.h"

// Fills the stamp of the installation at installFolder: "None" without the vendor device folder,
// otherwise what its version file says.
void ProbeInstalledPatch(VersionStamp* stamp, LPCTSTR installFolder);

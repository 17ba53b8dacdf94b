#pragma once
#include <string>

// Takes the vendor's patch out of an installation when nothing else can be put back: the vendor
// folders that the patch carries (named QuorVantel, wherever they stand below arm\config) and the
// version file. Files of other vendors stay. Returns the number of items that could not be
// removed (0: the installation holds none of them now). The patch folder says which folders
// those are; without it nothing is removed and 1 is returned.
int RemoveInstalledPatch(const std::string& patchFolder, const std::string& installFolder);

#pragma once
#include <vector>

// One EWARM installation as the registry records it. Both texts are always terminated within
// their width; the bytes after the terminator are zero.
constexpr int kInstallPathSize = 1024;  // at most 1023 characters and the terminator
constexpr int kVersionTextSize = 256;   // at most 255 characters and the terminator

struct InstallRecord {
  char installPath[kInstallPathSize];  // data of the value "InstallPath"
  char versionText[kVersionTextSize];  // data of "Product Families\ARM\10.EW" "Version"
};

using InstallRecordList = std::vector<InstallRecord>;

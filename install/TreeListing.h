#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The files and folders below a folder, as paths relative to it ("devices\QuorVantel\a.i79"),
// for the console tool's counts and plans. It reads and never writes; the install itself goes
// through the folder walk.
struct TreeListing {
  std::vector<std::string> files;
  std::vector<std::string> folders;
};

// Lists root at any depth, in the order FindFirstFileA gives. Entries whose names the install
// would refuse, links, and paths that do not fit MAX_PATH are left out. FALSE when root cannot be
// listed (missing, not a folder).
BOOL ListTree(const std::string& root, TreeListing* listing);

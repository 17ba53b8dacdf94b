#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The files and folders below a folder, as paths relative to it ("devices\QuorVantel\a.i79"),
// for the patch's check and the console tool's counts and plans. It reads and never writes; the
// install itself goes through the folder walk.
struct TreeListing {
  std::vector<std::string> files;
  std::vector<std::string> folders;
  // What the install would refuse to take: a link, a name Windows reads as another place, a path
  // that does not fit MAX_PATH. Not entered.
  std::vector<std::string> others;
};

// Lists root at any depth, in the order FindFirstFileA gives. FALSE when root cannot be listed
// (missing, not a folder).
BOOL ListTree(const std::string& root, TreeListing* listing);

#pragma once
#include <map>
#include <string>
#include <vector>

// Windows matches file names without regard to case; so do these trees.
struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const;
};

// A folder tree as its files: relative path (backslashes, as the listing spells it) to content.
// Read through FindFirstFileA/ReadFile, so a tree under Wine is seen as a Windows program sees it.
using FolderTree = std::map<std::string, std::string, NoCaseLess>;

// Every file below folder, at any depth; empty when the folder is missing.
FolderTree ReadFolderTree(const std::string& folder);

// Copies every file and folder below from into to (created as needed); false on the first
// failure.
bool CopyFolderTree(const std::string& from, const std::string& to);

// What an install did to one installation's tree, given the patch it installed.
struct TreeChanges {
  std::vector<std::string> added;      // not there before, there now
  std::vector<std::string> replaced;   // there before, a patch file, other bytes now
  std::vector<std::string> rewritten;  // there before, a patch file, the same bytes now
  std::vector<std::string> removed;    // there before, gone now
  std::vector<std::string> kept;       // there before, not a patch file, unchanged
  std::vector<std::string> altered;    // there before, not a patch file, other bytes now
};
TreeChanges CompareTrees(const FolderTree& before, const FolderTree& after,
                         const FolderTree& patch);

// The files of patch that installed lacks or holds with other bytes, one text per file
// ("missing X", "differs X"); empty when every patch file is there byte for byte.
std::vector<std::string> PatchFilesNotInstalled(const FolderTree& patch,
                                                const FolderTree& installed);

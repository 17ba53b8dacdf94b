#include "install/TreeListing.h"

#include "install/EntryNames.h"
#include "install/FolderListing.h"
#include "install/PathSafety.h"

BOOL ListTree(const std::string& root, TreeListing* listing) {
  listing->files.clear();
  listing->folders.clear();
  listing->others.clear();
  if (root.empty() || !IsFolder(GetFileAttributesA(root.c_str()))) return FALSE;
  ListFolderTree(root.c_str(), [listing](const ListedEntry& entry) {
    if (!IsSafeEntryName(entry.name) || IsReparsePoint(entry.attributes) || entry.path[0] == '\0') {
      listing->others.push_back(entry.relative);
      return kListingSkip;
    }
    (IsFolder(entry.attributes) ? listing->folders : listing->files).push_back(entry.relative);
    return kListingGoOn;
  });
  return TRUE;
}

#pragma once
#include <windows.h>

#include <functional>

// The one listing of a folder tree that reads and never copies: the patch's files, the files in
// use in a vendor folder, a tree of the install's own to remove, a look for links. (The merge of
// the patch into an installation is the folder walk's, FolderWalk.h: it lists two trees at once.)

// One entry, as its folder's listing gave it.
struct ListedEntry {
  const char* name;      // as listed; may be a name Windows reads as another place
  const char* path;      // root\relative; empty when it would not fit MAX_PATH
  const char* relative;  // below the root, "a\b.i79"
  DWORD attributes;
};

enum ListingStep {
  kListingGoOn,  // a folder is entered next
  kListingSkip,  // this folder is not entered
  kListingStop,  // nothing more is listed
};

enum ListingEnd {
  kListedAll,
  kListingStopped,     // visit said kListingStop
  kListingIncomplete,  // the root or a folder below could not be listed, or was too deep
};

// Lists root depth first, each folder in the order FindFirstFileA gives, and calls visit for each
// entry but "." and "..". A folder is entered after its visit, unless it is a reparse point, its
// name is not a safe entry name (EntryNames.h), its path does not fit, or it lies deeper than any
// walk goes; leave, when given, is called once the folder has been listed (to remove it, say).
ListingEnd ListFolderTree(const char* root,
                          const std::function<ListingStep(const ListedEntry&)>& visit,
                          const std::function<void(const ListedEntry&)>& leave = nullptr);

// TRUE when the folder holds a reparse point at any depth, or a part of it could not be looked at.
BOOL HoldsReparsePoint(const char* folder);

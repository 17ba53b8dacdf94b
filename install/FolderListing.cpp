#include "install/FolderListing.h"

#include <string>

#include "classlib/FindFile.h"
#include "install/EntryNames.h"
#include "install/PathSafety.h"

namespace {

struct Listing {
  const std::function<ListingStep(const ListedEntry&)>& visit;
  const std::function<void(const ListedEntry&)>& leave;
  BOOL incomplete;
};

// Lists folder (its path below the root: relative) at depth; FALSE once a visit stopped.
BOOL ListInto(Listing& listing, const std::string& folder, const std::string& relative, int depth) {
  CFindFile found;
  WIN32_FIND_DATAA entry;
  if (folder.size() > size_t(kMaxListedFolderLength) || depth >= kMaxWalkDepth) {
    listing.incomplete = TRUE;
    return TRUE;
  }
  if (!found.FindFirst((folder + "\\*.*").c_str(), &entry)) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) listing.incomplete = TRUE;
    return TRUE;
  }
  do {
    const char* name = entry.cFileName;
    const std::string inner = relative.empty() ? name : relative + "\\" + name;
    const std::string path = folder + "\\" + name;
    const bool fits = path.size() <= size_t(kMaxCopyPathLength);
    const ListedEntry listed{name, fits ? path.c_str() : "", inner.c_str(), entry.dwFileAttributes};
    const ListingStep step = listing.visit(listed);
    if (step == kListingStop) return FALSE;
    if (step == kListingSkip || !IsFolder(entry.dwFileAttributes) ||
        IsReparsePoint(entry.dwFileAttributes)) {
      continue;
    }
    if (!fits || !IsSafeEntryName(name)) {
      listing.incomplete = TRUE;
      continue;
    }
    if (!ListInto(listing, path, inner, depth + 1)) return FALSE;
    if (listing.leave) listing.leave(listed);
  } while (found.FindNext(&entry));
  return TRUE;
}

}  // namespace

ListingEnd ListFolderTree(const char* root,
                          const std::function<ListingStep(const ListedEntry&)>& visit,
                          const std::function<void(const ListedEntry&)>& leave) {
  std::string folder = root;
  if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  Listing listing{visit, leave, FALSE};
  if (!IsFolder(GetFileAttributesA(folder.c_str()))) return kListingIncomplete;
  if (!ListInto(listing, folder, "", 0)) return kListingStopped;
  return listing.incomplete ? kListingIncomplete : kListedAll;
}

BOOL HoldsReparsePoint(const char* folder) {
  BOOL found = FALSE;
  const ListingEnd end = ListFolderTree(folder, [&found](const ListedEntry& entry) {
    found = IsReparsePoint(entry.attributes);
    return found ? kListingStop : kListingGoOn;
  });
  // What could not be looked at may lead anywhere.
  return found || end == kListingIncomplete;
}

#include "install/ReplacedFolder.h"

#include <algorithm>
#include <cstring>

#include "install/EntryNames.h"
#include "install/FolderListing.h"
#include "install/PathSafety.h"

namespace {

// Names as Windows compares them, letter case aside.
bool NoCaseLess(const std::string& a, const std::string& b) {
  return _stricmp(a.c_str(), b.c_str()) < 0;
}

}  // namespace

BOOL IsReplacedWhole(const char* source, const char* destination, std::vector<std::string>* files) {
  std::vector<std::string> installed;
  files->clear();
  const ListingEnd listed = ListFolderTree(destination, [&](const ListedEntry& entry) {
    constexpr DWORD kRefused =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY;
    if ((entry.attributes & kRefused) != 0 || !IsSafeEntryName(entry.name) ||
        entry.path[0] == '\0') {
      return kListingStop;
    }
    installed.push_back(entry.name);
    files->push_back(entry.path);
    return kListingGoOn;
  });
  if (listed != kListedAll || installed.empty()) return FALSE;
  std::vector<std::string> patch;
  const ListingEnd patchListed = ListFolderTree(source, [&patch](const ListedEntry& entry) {
    if (IsFolder(entry.attributes)) return kListingSkip;
    patch.push_back(entry.name);
    return kListingGoOn;
  });
  if (patchListed != kListedAll) return FALSE;
  std::sort(patch.begin(), patch.end(), NoCaseLess);
  return std::all_of(installed.begin(), installed.end(), [&patch](const std::string& name) {
    return std::binary_search(patch.begin(), patch.end(), name, NoCaseLess);
  });
}

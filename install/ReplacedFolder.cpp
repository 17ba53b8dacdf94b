#include "install/ReplacedFolder.h"

#include <algorithm>
#include <cstring>

#include "classlib/FindFile.h"
#include "install/EntryNames.h"

namespace {

std::string Lowered(const char* name) {
  std::string lowered(name);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](unsigned char c) { return static_cast<char>(tolower(c)); });
  return lowered;
}

// Calls take for every entry of folder but "." and ".."; FALSE when take says no or the folder
// cannot be listed to its end.
template <typename Take>
BOOL ListFolder(const char* folder, Take take) {
  char pattern[MAX_PATH];
  if (!JoinItemPath(pattern, folder, "*.*", MAX_PATH - 1)) return FALSE;
  CFindFile listing;
  WIN32_FIND_DATAA entry;
  if (!listing.FindFirst(pattern, &entry)) return FALSE;
  do {
    if (!IsDotEntry(entry.cFileName) && !take(entry)) return FALSE;
  } while (listing.FindNext(&entry));
  return GetLastError() == ERROR_NO_MORE_FILES;
}

}  // namespace

BOOL IsReplacedWhole(const char* source, const char* destination, std::vector<std::string>* files) {
  std::vector<std::string> installed;
  files->clear();
  const BOOL plainFiles = ListFolder(destination, [&](const WIN32_FIND_DATAA& entry) {
    constexpr DWORD kRefused =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY;
    char path[MAX_PATH];
    if ((entry.dwFileAttributes & kRefused) != 0 || !IsSafeEntryName(entry.cFileName) ||
        !JoinItemPath(path, destination, entry.cFileName, MAX_PATH - 1)) {
      return FALSE;
    }
    installed.push_back(Lowered(entry.cFileName));
    files->push_back(path);
    return TRUE;
  });
  if (!plainFiles || installed.empty()) return FALSE;
  std::vector<std::string> patch;
  const BOOL listed = ListFolder(source, [&patch](const WIN32_FIND_DATAA& entry) {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      patch.push_back(Lowered(entry.cFileName));
    return TRUE;
  });
  if (!listed) return FALSE;
  std::sort(patch.begin(), patch.end());
  return std::all_of(installed.begin(), installed.end(), [&patch](const std::string& name) {
    return std::binary_search(patch.begin(), patch.end(), name);
  });
}

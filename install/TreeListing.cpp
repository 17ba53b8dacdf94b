#include "install/TreeListing.h"

#include <cstring>

#include "classlib/FindFile.h"
#include "install/EntryNames.h"
#include "install/FolderWalk.h"

namespace {

// relative is "" for root itself, else the folder's path below root.
bool ListFolder(const std::string& root, const std::string& relative, int depth,
                TreeListing* listing) {
  const std::string folder = relative.empty() ? root : root + "\\" + relative;
  if (depth >= kMaxWalkDepth || folder.size() > size_t(kMaxListedFolderLength)) return false;
  WIN32_FIND_DATAA entry;
  CFindFile found;
  if (!found.FindFirst((folder + "\\*.*").c_str(), &entry)) {
    return GetLastError() == ERROR_FILE_NOT_FOUND && IsFolder(GetFileAttributesA(folder.c_str()));
  }
  do {
    const char* name = entry.cFileName;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
    if (!IsSafeEntryName(name) || IsReparsePoint(entry.dwFileAttributes)) continue;
    const std::string path = relative.empty() ? name : relative + "\\" + name;
    if (root.size() + 1 + path.size() > size_t(kMaxCopyPathLength)) continue;
    if (IsFolder(entry.dwFileAttributes)) {
      listing->folders.push_back(path);
      ListFolder(root, path, depth + 1, listing);
    } else {
      listing->files.push_back(path);
    }
  } while (found.FindNext(&entry));
  return true;
}

}  // namespace

bool ListTree(const std::string& root, TreeListing* listing) {
  listing->files.clear();
  listing->folders.clear();
  if (root.empty() || !IsFolder(GetFileAttributesA(root.c_str()))) return false;
  std::string trimmed = root;
  if (trimmed.back() == '\\' && trimmed.size() > 3) trimmed.pop_back();
  return ListFolder(trimmed, "", 0, listing);
}

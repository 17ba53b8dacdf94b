#include "tests/e2e/FolderTree.h"

#include <windows.h>

#include <cctype>

#include "tests/support/TestFiles.h"

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const int x = std::tolower(static_cast<unsigned char>(a[i]));
    const int y = std::tolower(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

namespace {

// Calls visit(relative path, is folder) for every entry below folder, parents before children.
template <typename Visit>
bool WalkFolder(const std::string& root, const std::string& relative, Visit visit) {
  const std::string folder = relative.empty() ? root : root + "\\" + relative;
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (listing == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = relative.empty() ? name : relative + "\\" + name;
    const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!visit(path, isFolder)) ok = false;
    if (isFolder && !WalkFolder(root, path, visit)) ok = false;
  } while (ok && FindNextFileA(listing, &entry));
  FindClose(listing);
  return ok;
}

}  // namespace

FolderTree ReadFolderTree(const std::string& folder) {
  FolderTree tree;
  WalkFolder(folder, "", [&](const std::string& path, bool isFolder) {
    if (isFolder) return true;
    std::string content;
    // An unreadable file shows up with this content, so a comparison cannot pass it by.
    if (!ReadTextFile(folder + "\\" + path, &content)) content = "<unreadable>";
    tree[path] = content;
    return true;
  });
  return tree;
}

bool CopyFolderTree(const std::string& from, const std::string& to) {
  if (!MakeFolders(to)) return false;
  return WalkFolder(from, "", [&](const std::string& path, bool isFolder) {
    return isFolder ? MakeFolders(to + "\\" + path)
                    : CopyOneFile(from + "\\" + path, to + "\\" + path);
  });
}

TreeChanges CompareTrees(const FolderTree& before, const FolderTree& after,
                         const FolderTree& patch) {
  TreeChanges changes;
  for (const auto& [path, content] : after) {
    const auto old = before.find(path);
    if (old == before.end()) {
      changes.added.push_back(path);
    } else if (patch.count(path) != 0) {
      (old->second == content ? changes.rewritten : changes.replaced).push_back(path);
    } else {
      (old->second == content ? changes.kept : changes.altered).push_back(path);
    }
  }
  for (const auto& entry : before) {
    if (after.count(entry.first) == 0) changes.removed.push_back(entry.first);
  }
  return changes;
}

std::vector<std::string> PatchFilesNotInstalled(const FolderTree& patch,
                                                const FolderTree& installed) {
  std::vector<std::string> faults;
  for (const auto& [path, content] : patch) {
    const auto found = installed.find(path);
    if (found == installed.end()) {
      faults.push_back("missing " + path);
    } else if (found->second != content) {
      faults.push_back("differs " + path);
    }
  }
  return faults;
}

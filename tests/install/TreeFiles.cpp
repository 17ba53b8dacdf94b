#include "tests/install/TreeFiles.h"

#include <cstdio>

const char* const kFolder = "<folder>";

std::string FolderOfThisProgram() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\'));
}

PatchInfo PatchBesideThisProgram() {
  return InspectPatch(PatchFolder());
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

static void MakeFolders(const std::string& path) {
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryA(path.c_str(), nullptr);
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  MakeFolders(path.substr(0, path.find_last_of('\\')));
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::string ReadFileBytes(const std::string& path) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
    bytes.append(buffer, read);
  CloseHandle(file);
  return bytes;
}

bool IsFolderPath(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    return;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA(Join(path, "*").c_str(), &entry);
    if (listing != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..") RemoveTree(Join(path, name));
      } while (FindNextFileA(listing, &entry));
      FindClose(listing);
    }
  }
  RemoveDirectoryA(path.c_str());
}

void WriteTree(const std::string& root, const Tree& tree) {
  MakeFolders(root);
  for (const auto& [relative, content] : tree) {
    const std::string path = Join(root, relative);
    if (content == kFolder) {
      MakeFolders(path);
    } else {
      WriteFileBytes(path, content);
    }
  }
}

static void ReadTreeInto(Tree& tree, const std::string& root, const std::string& relative) {
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA(Join(Join(root, relative), "*").c_str(), &entry);
  if (listing == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    const std::string inner = relative.empty() ? name : relative + "\\" + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      tree[inner] = kFolder;
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        ReadTreeInto(tree, root, inner);
    } else {
      tree[inner] = ReadFileBytes(Join(root, inner));
    }
  } while (FindNextFileA(listing, &entry));
  FindClose(listing);
}

Tree ReadTree(const std::string& root) {
  Tree tree;
  ReadTreeInto(tree, root, "");
  return tree;
}

const char* const kKeptGeneration = "QX48_EWARM_patch.previous";
const char* const kUndoArea = "QX48_EWARM_patch.undo";

Tree WithoutKeptGeneration(Tree tree) {
  const std::string inside = std::string(kKeptGeneration) + "\\";
  for (auto entry = tree.begin(); entry != tree.end();) {
    const bool kept = entry->first == kKeptGeneration || entry->first.rfind(inside, 0) == 0;
    entry = kept ? tree.erase(entry) : std::next(entry);
  }
  return tree;
}

std::string PatchFolder() {
  return Join(FolderOfThisProgram(), "QX48_EWARM_patch");
}

std::string Fixture(const std::string& name) {
  return Join(Join(FolderOfThisProgram(), "link-fixture"), name);
}

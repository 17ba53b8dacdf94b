#include "tests/support/TestFiles.h"

#include <windows.h>

#include <cstdio>

bool MakeFolders(const std::string& path) {
  if (path.empty() || PathExists(path)) return true;
  const size_t cut = path.find_last_of('\\');
  if (cut != std::string::npos && cut > 2 && !MakeFolders(path.substr(0, cut))) return false;
  return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool WriteTextFile(const std::string& path, const std::string& content) {
  const size_t cut = path.find_last_of('\\');
  if (cut != std::string::npos) MakeFolders(path.substr(0, cut));
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, content.data(), DWORD(content.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == content.size();
}

bool ReadTextFile(const std::string& path, std::string* content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  content->clear();
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    content->append(buffer, got);
  CloseHandle(file);
  return true;
}

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveTree(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) || RemoveDirectoryA(path.c_str());
  }
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA((path + "\\*").c_str(), &entry);
  if (listing != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = entry.cFileName;
      if (name != "." && name != "..") RemoveTree(path + "\\" + name);
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
  }
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return RemoveDirectoryA(path.c_str()) != FALSE;
}

bool CopyOneFile(const std::string& from, const std::string& to) {
  const size_t cut = to.find_last_of('\\');
  if (cut != std::string::npos) MakeFolders(to.substr(0, cut));
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

std::string ThisProgramFolder() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\'));
}

std::string WindowsPathOf(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

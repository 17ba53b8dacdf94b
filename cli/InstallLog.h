#pragma once
#include <windows.h>

#include <string>

#include "classlib/FileHandle.h"

// --log FILE: lines appended to a text file, each with the local time in front
// ("2026-12-09 10:13:40 copied ..."), so that runs on one machine add up to its history.
class CInstallLog {
 public:
  CInstallLog() = default;
  CInstallLog(const CInstallLog&) = delete;
  CInstallLog& operator=(const CInstallLog&) = delete;

  // Opens path for appending, creating it when missing. FALSE, with the Win32 error in *error,
  // when it cannot be opened (a missing folder, a folder of that name, no rights). Without a
  // call to Open, Write does nothing.
  bool Open(const std::string& path, DWORD* error);
  void Write(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  CFileHandle m_file;
};

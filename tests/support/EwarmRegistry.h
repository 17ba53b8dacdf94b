#pragma once
#include <windows.h>

#include <string>

// The EWARM installation records of the test prefix's registry, always in the 32-bit view, where
// EWARM's own installer puts them and where both builds of the program read them.
class EwarmRegistry {
 public:
  // Removes every record (the whole locations key).
  static void Clear();
  // One installation: <candidate>\InstallPath and <candidate>\Product Families\ARM\10.EW\Version.
  static bool Add(const std::string& candidate, const std::string& installPath,
                  const std::string& version);
  // Raw value under the candidate (subkey may be empty): any type, any bytes.
  static bool SetValue(const std::string& candidate, const std::string& subkey,
                       const std::string& name, DWORD type, const void* data, DWORD size);
};

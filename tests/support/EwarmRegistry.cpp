#include "tests/support/EwarmRegistry.h"

namespace {
const char kLocations[] = "SOFTWARE\\IAR Systems\\Embedded Workbench\\5.0\\Locations";
const char kVersionKey[] = "Product Families\\ARM\\10.EW";
}  // namespace

void EwarmRegistry::Clear() {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kLocations);
}

bool EwarmRegistry::SetValue(const std::string& candidate, const std::string& subkey,
                             const std::string& name, DWORD type, const void* data, DWORD size) {
  std::string path = std::string(kLocations) + "\\" + candidate;
  if (!subkey.empty()) path += "\\" + subkey;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG result = RegSetValueExA(key, name.c_str(), 0, type,
                                     static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool EwarmRegistry::Add(const std::string& candidate, const std::string& installPath,
                        const std::string& version) {
  return SetValue(candidate, "", "InstallPath", REG_SZ, installPath.c_str(),
                  DWORD(installPath.size() + 1)) &&
         SetValue(candidate, kVersionKey, "Version", REG_SZ, version.c_str(),
                  DWORD(version.size() + 1));
}

#include "tests/support/EwarmRegistry.h"

namespace {
const char kLocations[] = "SOFTWARE\\IAR Systems\\Embedded Workbench\\5.0\\Locations";
const char kVersionKey[] = "Product Families\\ARM\\10.EW";
// EWARM's installer writes the 32-bit view. A 32-bit test program is already there; a 64-bit one
// has to ask for it, or its records would land where no EWARM keeps them.
constexpr REGSAM kEwarmView = KEY_WOW64_32KEY;
}  // namespace

void EwarmRegistry::Clear() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLocations, 0, KEY_ALL_ACCESS | kEwarmView, &key) ==
      ERROR_SUCCESS) {
    RegDeleteTreeA(key, nullptr);
    RegCloseKey(key);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kLocations, kEwarmView, 0);
  }
}

bool EwarmRegistry::SetValue(const std::string& candidate, const std::string& subkey,
                             const std::string& name, DWORD type, const void* data, DWORD size) {
  std::string path = std::string(kLocations) + "\\" + candidate;
  if (!subkey.empty()) path += "\\" + subkey;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE | kEwarmView,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG result =
      RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
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

#include "install/DeliveryRecord.h"

#include <cstdio>

#include "classlib/RegKey.h"
#include "install/InstallationChain.h"

namespace {

constexpr const char* kDeliveriesKey = "SOFTWARE\\QuorVantel\\QX48_EWARM_pack\\Deliveries";
constexpr size_t kLabelSize = 64;  // a version label is far shorter

// The value's name: the volume's serial number and the folder's file id, in hex.
std::string ValueName(const FileIdentityInfo& config) {
  char name[2 * sizeof config.volume + 1 + 2 * sizeof config.id + 1];
  int at = snprintf(name, sizeof name, "%016llx-", static_cast<unsigned long long>(config.volume));
  for (BYTE byte : config.id) at += snprintf(name + at, sizeof name - at, "%02x", byte);
  return name;
}

}  // namespace

BOOL RecordDelivery(const FileIdentityInfo& config, const char* label) {
  HKEY created = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDeliveriesKey, 0, nullptr, 0,
                      KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &created,
                      nullptr) != ERROR_SUCCESS)
    return FALSE;
  CRegKey key;
  key.Attach(created);
  const std::string text = label;
  return RegSetValueExA(key, ValueName(config).c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

void ForgetDelivery(const FileIdentityInfo& config) {
  CRegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kDeliveriesKey, KEY_SET_VALUE | KEY_WOW64_64KEY) ==
      ERROR_SUCCESS)
    RegDeleteValueA(key, ValueName(config).c_str());  // none recorded is fine
}

std::string RecordedDelivery(const char* installFolder) {
  CInstallationChain chain;
  FileIdentityInfo identity;
  if (chain.Open(installFolder, FALSE) != CInstallationChain::kChainHeld ||
      !chain.GetIdentity(&identity))
    return std::string();
  CRegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kDeliveriesKey, KEY_QUERY_VALUE | KEY_WOW64_64KEY) !=
      ERROR_SUCCESS)
    return std::string();
  char label[kLabelSize] = "";
  DWORD type = 0;
  DWORD size = sizeof label - 1;  // room for the terminator RegQueryValueExA may leave out
  if (RegQueryValueExA(key, ValueName(identity).c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(label), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return std::string();
  label[size < sizeof label ? size : sizeof label - 1] = '\0';
  return label;
}

#include "toolchain/RegistryScan.h"

#include <cstring>

#include "classlib/RegKey.h"

namespace {

constexpr DWORD kSubkeyNameSize = 260;  // registry key names have at most 255 characters

typedef BOOL(WINAPI* IsWow64ProcessFunction)(HANDLE process, PBOOL wow64);

// Makes field hold the text up to the first NUL of the size bytes the registry stored, with
// every byte after it zero. FALSE when no terminator fits: the value filled the whole field.
BOOL TerminateStoredText(char* field, DWORD fieldSize, DWORD size) {
  const void* end = memchr(field, '\0', size);
  const DWORD length =
      end != nullptr ? static_cast<DWORD>(static_cast<const char*>(end) - field) : size;
  if (length >= fieldSize) {
    return FALSE;
  }
  memset(field + length, 0, fieldSize - length);
  return TRUE;
}

// Reads the text value name of key into field (fieldSize bytes). TRUE when the value is REG_SZ,
// or REG_EXPAND_SZ whose expansion fits, and its text fits the field with a terminator. Any other
// type (a number, binary data, a list of texts) is not an installation folder or version a user
// could have meant. On FALSE the field is all zero.
BOOL ReadTextValue(HKEY key, const char* name, char* field, DWORD fieldSize) {
  memset(field, 0, fieldSize);
  DWORD type = REG_NONE;
  DWORD size = fieldSize;
  const LONG result =
      RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(field), &size);
  BOOL ok = result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) &&
            size <= fieldSize && TerminateStoredText(field, fieldSize, size);
  if (ok && type == REG_EXPAND_SZ) {
    char stored[kInstallPathSize > kVersionTextSize ? kInstallPathSize : kVersionTextSize];
    if (fieldSize > sizeof(stored)) {
      ok = FALSE;
    } else {
      memcpy(stored, field, fieldSize);
      memset(field, 0, fieldSize);
      // The result counts the terminator; 0 is a failure, more than fieldSize does not fit.
      const DWORD needed = ExpandEnvironmentStringsA(stored, field, fieldSize);
      ok = needed != 0 && needed <= fieldSize && TerminateStoredText(field, fieldSize, needed);
    }
  }
  if (!ok) {
    memset(field, 0, fieldSize);
  }
  return ok;
}

}  // namespace

BOOL IsRunningUnderWow64() {
  HMODULE kernel = GetModuleHandleA("kernel32");
  if (kernel == nullptr) {
    return FALSE;
  }
  // Looked up at run time: the function is missing on the oldest 32-bit systems. The detour
  // through void* keeps GCC from warning about the cast between function types.
  const auto isWow64Process = reinterpret_cast<IsWow64ProcessFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
  if (isWow64Process == nullptr) {
    return FALSE;
  }
  BOOL wow64 = FALSE;
  if (!isWow64Process(GetCurrentProcess(), &wow64)) {
    return FALSE;
  }
  return wow64;
}

BOOL OpenLocationsKey(HKEY* key) {
  // Read access only: full access would fail for a user who may not write HKEY_LOCAL_MACHINE,
  // and that user would see no installations at all.
#ifdef _WIN64
  // A 64-bit process is not redirected: its plain path is the 64-bit view, where EWARM's 32-bit
  // installer writes nothing. The records are in the 32-bit view, which it must ask for.
  const char* path = kLocationsKeyPath;
  const REGSAM access = KEY_READ | KEY_WOW64_32KEY;
#else
  const BOOL wow64 = IsRunningUnderWow64();
  const char* path = wow64 ? kLocationsKeyPathWow64 : kLocationsKeyPath;
  const REGSAM access = wow64 ? (KEY_READ | KEY_WOW64_64KEY) : KEY_READ;
#endif
  CRegKey opened;
  if (opened.Open(HKEY_LOCAL_MACHINE, path, access) != ERROR_SUCCESS) {
    return FALSE;
  }
  *key = opened.Detach();
  return TRUE;
}

BOOL ReadInstallRecord(InstallRecord* record, HKEY locationsKey, const char* subkeyName) {
  memset(record, 0, sizeof(*record));
  CRegKey candidate;
  if (candidate.Open(locationsKey, subkeyName, KEY_QUERY_VALUE) != ERROR_SUCCESS ||
      !ReadTextValue(candidate, kInstallPathValue, record->installPath,
                     sizeof(record->installPath))) {
    return FALSE;
  }
  CRegKey versionKey;
  return versionKey.Open(candidate, kVersionKeyPath, KEY_QUERY_VALUE) == ERROR_SUCCESS &&
         ReadTextValue(versionKey, kVersionValue, record->versionText,
                       sizeof(record->versionText)) &&
         record->installPath[0] != '\0';
}

int FindToolchainInstallations(InstallRecordList& list) {
  HKEY opened = nullptr;
  if (!OpenLocationsKey(&opened)) {
    return static_cast<int>(list.size());
  }
  CRegKey locations;
  locations.Attach(opened);
  for (DWORD index = 0; index < kMaxLocationSubkeys; ++index) {
    char name[kSubkeyNameSize];
    DWORD nameLength = kSubkeyNameSize;
    const LONG result =
        RegEnumKeyExA(locations, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) {
      // A name that does not fit (255 characters take up to 510 bytes in a double-byte code
      // page) could not be opened by its cut form anyway; the keys after it still count.
      continue;
    }
    if (result != ERROR_SUCCESS) {
      break;
    }
    InstallRecord record;
    if (ReadInstallRecord(&record, locations, name)) {
      list.push_back(record);
    }
  }
  return static_cast<int>(list.size());
}

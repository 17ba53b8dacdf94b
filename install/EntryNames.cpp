#include "install/EntryNames.h"

#include <cctype>
#include <cstring>

BOOL JoinItemPath(std::string* item, const std::string& folder, const char* name,
                  size_t maxLength) {
  const bool needsSeparator = folder.empty() || folder.back() != '\\';
  *item = folder + (needsSeparator ? "\\" : "") + name;
  if (item->size() > maxLength || item->size() >= MAX_PATH) {
    item->clear();
    return FALSE;
  }
  return TRUE;
}

BOOL JoinItemPath(char* item, const char* folder, const char* name, size_t maxLength) {
  const size_t folderLength = strlen(folder);
  const bool needsSeparator = folderLength == 0 || folder[folderLength - 1] != '\\';
  const size_t length = folderLength + (needsSeparator ? 1 : 0) + strlen(name);
  item[0] = '\0';
  if (length > maxLength || length >= MAX_PATH) {
    return FALSE;
  }
  memcpy(item, folder, folderLength);
  size_t at = folderLength;
  if (needsSeparator) {
    item[at++] = '\\';
  }
  memcpy(item + at, name, strlen(name) + 1);
  return TRUE;
}

BOOL IsReservedDeviceName(const char* name) {
  size_t base = strcspn(name, ".");
  while (base > 0 && name[base - 1] == ' ') {
    --base;
  }
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (base == strlen(device) && _strnicmp(name, device, base) == 0) {
      return TRUE;
    }
  }
  return base == 4 && (_strnicmp(name, "COM", 3) == 0 || _strnicmp(name, "LPT", 3) == 0) &&
         isdigit(static_cast<unsigned char>(name[3]));
}

BOOL IsDotEntry(const char* name) {
  return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

BOOL IsSafeRelativePath(const char* path) {
  const size_t length = strlen(path);
  if (length == 0 || length >= MAX_PATH) return FALSE;
  char component[MAX_PATH];
  for (const char* at = path;;) {
    const size_t n = strcspn(at, "\\");
    memcpy(component, at, n);
    component[n] = '\0';
    if (IsDotEntry(component) || !IsSafeEntryName(component)) return FALSE;
    if (at[n] == '\0') return TRUE;
    at += n + 1;
  }
}

BOOL IsSafeEntryName(const char* name) {
  const size_t length = strlen(name);
  if (length == 0 || name[length - 1] == '.' || name[length - 1] == ' ') {
    return FALSE;
  }
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    // In a double-byte code page the second byte of a character may be 0x5C, the backslash.
    if (IsDBCSLeadByte(c) && i + 1 < length) {
      ++i;
      continue;
    }
    if (c < 0x20 || strchr("\\/:*?\"<>|", c) != nullptr) {
      return FALSE;
    }
  }
  return !IsReservedDeviceName(name);
}

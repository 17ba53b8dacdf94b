#include "install/ManifestLine.h"

#include <cstring>

#include "install/EntryNames.h"

namespace {

// TRUE when every backslash-separated component of path is a name one listing entry can have.
BOOL IsSafeRelativePath(const char* path) {
  if (path[0] == '\0') return FALSE;
  char component[kManifestPathSize];
  for (const char* at = path;;) {
    const size_t length = strcspn(at, "\\");
    if (length == 0 || length >= sizeof component) return FALSE;
    memcpy(component, at, length);
    component[length] = '\0';
    if (strcmp(component, ".") == 0 || strcmp(component, "..") == 0 || !IsSafeEntryName(component))
      return FALSE;
    if (at[length] == '\0') return TRUE;
    at += length + 1;
  }
}

}  // namespace

BOOL ParseManifestLine(const char* line, size_t length, ManifestEntry* entry) {
  memset(entry, 0, sizeof *entry);
  if (length > 0 && line[length - 1] == '\r') --length;
  if (length >= kManifestLineSize || memchr(line, '\0', length) != nullptr) return FALSE;
  size_t at = 0;
  for (; at < 2 * kSha256Size; ++at) {
    const char c = at < length ? line[at] : '\0';
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return FALSE;
    entry->sha256[at] = c;
  }
  if (length < at + 3 || line[at] != ' ' || line[at + 1] != ' ') return FALSE;
  at += 2;
  const size_t sizeStart = at;
  uint64_t size = 0;
  for (; at < length && line[at] >= '0' && line[at] <= '9'; ++at) {
    if (at - sizeStart >= 13) return FALSE;  // kManifestMaxFileSize has 13 digits
    size = size * 10 + uint64_t(line[at] - '0');
  }
  if (at == sizeStart || size > kManifestMaxFileSize) return FALSE;
  if (length < at + 3 || line[at] != ' ' || line[at + 1] != ' ') return FALSE;
  at += 2;
  const size_t pathLength = length - at;
  if (pathLength >= kManifestPathSize) return FALSE;
  memcpy(entry->path, line + at, pathLength);
  entry->path[pathLength] = '\0';
  if (!IsSafeRelativePath(entry->path)) return FALSE;
  entry->size = size;
  return TRUE;
}

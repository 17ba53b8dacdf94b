#include "install/ManifestLine.h"

#include <cstring>

#include "install/EntryNames.h"

BOOL ParseManifestLine(const char* line, size_t length, ManifestEntry* entry) {
  memset(entry, 0, sizeof *entry);
  if (length > 0 && line[length - 1] == '\r') --length;
  // An empty line may come as a null pointer, which memchr must not be given.
  if (length >= kManifestLineSize || (length != 0 && memchr(line, '\0', length) != nullptr))
    return FALSE;
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

#pragma once
#include <cstddef>
#include <cstdint>

#include "classlib/Platform.h"
#include "install/Sha256.h"

// One line of the patch manifest, QX48_EWARM_patch.sha256 beside the patch folder:
//   <64 lower-case hex digits><two spaces><size in bytes, decimal><two spaces><path>
// The path is relative to the patch folder, with backslashes, and names exactly one file below it.

constexpr size_t kManifestLineSize = 512;  // a longer line makes the manifest unreadable
constexpr size_t kManifestPathSize = MAX_PATH;
constexpr uint64_t kManifestMaxFileSize = uint64_t(1) << 40;  // more digits than this are refused

struct ManifestEntry {
  char sha256[kSha256HexSize];
  uint64_t size;
  char path[kManifestPathSize];
};

// Fills entry from one line of length bytes (its LF not included; a CR before it is dropped).
// FALSE for anything else: other spacing, upper-case hex, a size with a sign or too many digits,
// an absolute path, an empty component, "." or "..", a component Windows would read as another
// place (IsSafeEntryName), a path of MAX_PATH characters or more, a NUL inside the line.
BOOL ParseManifestLine(const char* line, size_t length, ManifestEntry* entry);

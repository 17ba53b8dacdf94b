#pragma once
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "install/ManifestLine.h"
#include "install/TreeListing.h"

// The patch checked against its manifest (ManifestLine.h) before a run touches anything: every
// file the manifest names is there with its size and SHA-256, and nothing else is.

constexpr DWORD kMaxManifestSize = 4u << 20;   // a larger manifest is unreadable
constexpr size_t kMaxManifestEntries = 20000;  // so is one with more lines

enum ManifestVerdict {
  kManifestAbsent,      // no manifest: a patch folder made by hand, installed unchecked
  kManifestMatches,     // the patch is exactly what the manifest lists
  kManifestUnreadable,  // too large, a malformed or repeated line, or it cannot be read
  kPatchFileMissing,    // a file the manifest lists is not in the patch
  kPatchFileDiffers,    // a file's size or SHA-256 is not the manifest's
  kPatchFileExtra,      // a file of the patch is not in the manifest
  kManifestNotBound,    // the manifest is not the one the program was built with
};

struct ManifestCheck {
  ManifestVerdict verdict = kManifestAbsent;
  std::string path;  // the first bad file below the patch folder, or the manifest's line number
};

// The manifest's lines by path, for the copy to check each file against as it reads it.
struct ManifestIndex {
  BOOL present = FALSE;                // FALSE: there is no manifest, and nothing to compare
  std::vector<ManifestEntry> entries;  // by path, without regard to case
};

// Binds the manifest to the program: from then on every manifest read (the check before a run and
// the index the copy compares each file with) must have this SHA-256, 64 lower-case hex digits,
// or it is refused as kManifestNotBound. The programs bind the digest of the manifest they were
// built with before anything else, so that a signature on the program covers the manifest and,
// through it, every byte of the patch. Null or empty: any manifest is read (the tests' own).
void BindManifestDigest(const char* sha256Hex);

// Reads manifest into index. FALSE, with check saying why, when one is there but unreadable.
BOOL LoadManifestIndex(const char* manifest, ManifestIndex* index, ManifestCheck* check);

// The entry of the file path below the patch folder, in any letter case; null when it has none.
const ManifestEntry* FindManifestEntry(const ManifestIndex& index, const char* path);

// Checks patchFolder against manifest: the manifest's files in its order first, then the files of
// the patch it lacks, in listing order, then what the listing left out (a linked folder, an odd
// name), which no manifest names. listing, when given, is the patch folder's, made just before;
// otherwise it is listed here.
ManifestVerdict CheckPatchAgainstManifest(const char* patchFolder, const char* manifest,
                                          ManifestCheck* check,
                                          const TreeListing* listing = nullptr);

// The verdict for the user, e.g. "devices\QuorVantel\a.i79 differs from its manifest"; empty for
// kManifestAbsent and kManifestMatches.
std::string DescribeManifestCheck(const ManifestCheck& check);

#pragma once
#include <windows.h>

#include <vector>

#include "install/ManifestLine.h"

// A patch file read once, its bytes hashed as they are read and, when asked, written to a new
// file as they are hashed: what is compared with the manifest is exactly what was written, so a
// file changed after the patch was checked cannot slip in between the check and the copy.

enum CopyVerdict {
  kCopyMatches,  // every byte read (and written); size and SHA-256 as expected
  kCopyFailed,   // source unreadable, or destination not written whole
  kCopyNotMade,  // destination could not be made new (its name is taken): nothing was made
  kCopyDiffers,  // read whole, but not the bytes the manifest names
};

// Reads source whole. With folder (a handle the caller checked, OpenFolderWhereNamed), writes it
// to a new file of that name made in that very folder (CREATE_NEW, so never through whatever had
// the name, and never through a link swapped onto the way since the check); the new file gets the
// source's last write time and attributes once its bytes match, and is deleted again, through
// the handle that made it, for any other verdict: only a matching copy stays. With expected, the
// size and SHA-256 read must be its; without, every file read whole matches. buffer is grown to
// the size the copy works in and may be handed to every call.
CopyVerdict CopyAndVerify(const char* source, HANDLE folder, const char* name,
                          const ManifestEntry* expected, std::vector<char>& buffer);

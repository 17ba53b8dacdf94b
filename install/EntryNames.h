#pragma once
#include <cstddef>
#include <string>

#include "classlib/Platform.h"

// The rules the folder-tree copy applies to the names a listing gives and the paths it joins
// from them: pure text rules, apart from any file system, so that every build can test them.

// folder, a backslash unless folder ends in one, and name into item (MAX_PATH bytes). FALSE, with
// item empty, when the result would be longer than maxLength.
BOOL JoinItemPath(char* item, const char* folder, const char* name, size_t maxLength);
// The same, joined into a string.
BOOL JoinItemPath(std::string* item, const std::string& folder, const char* name,
                  size_t maxLength);

// TRUE for "." and "..", which every listing gives beside the folder's own entries.
BOOL IsDotEntry(const char* name);

// TRUE when name is one of the device names Windows finds in every folder (CON, PRN, AUX, NUL,
// CONIN$, CONOUT$, COM0 to COM9, LPT0 to LPT9, in any letter case), whatever extension follows
// it and whatever spaces stand before the extension.
BOOL IsReservedDeviceName(const char* name);

// TRUE when path names a place strictly below a folder and nowhere else: not empty, at most
// MAX_PATH - 1 characters, components separated by single backslashes, each a safe entry name
// (no "." or "..", no drive, no stream, no device name).
BOOL IsSafeRelativePath(const char* path);

// TRUE when name, as a listing gives it, names exactly one entry inside its folder: no separator or
// wildcard, no trailing dot or space (Windows drops them), not a device name such as CON or LPT1.
BOOL IsSafeEntryName(const char* name);

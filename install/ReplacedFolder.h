#pragma once
#include <windows.h>

#include <string>
#include <vector>

// An installed folder that the patch replaces whole: every entry in it is a plain file that the
// patch folder has too, so an install that keeps what the patch does not have ("Clear old patch"
// off) would leave nothing of it. Such a folder is moved aside in one step instead of file by
// file, and the copies then go into a new folder; what ends up installed, and what a rollback or
// restore puts back, is the same.

// TRUE when the installed folder destination holds at least one entry, and each is a file (no
// folder, no reparse point, nothing read-only, which the copy would refuse to replace) whose name
// the patch folder source has as a file, letter case aside; the files' paths go into files. A
// folder that cannot be listed whole is not.
BOOL IsReplacedWhole(const char* source, const char* destination, std::vector<std::string>* files);

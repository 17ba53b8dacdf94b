#pragma once
#include <windows.h>

// Removes a file of the install's own, whatever its attributes (a patch file may be read-only).
BOOL DeleteOwnFile(const char* path);

// Removes folder with everything in it, a linked folder as the link, never entered. TRUE when it
// is gone.
BOOL RemoveOwnTree(const char* folder);

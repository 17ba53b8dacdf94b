#pragma once
#include <windows.h>

// Removes a file of the install's own, whatever its attributes (a patch file may be read-only).
// A read-only file with a second name (a hard link) or that leads elsewhere is not removed: its
// flag would be cleared for the other name too.
BOOL DeleteOwnFile(const char* path);

// Clears the read-only flag of a file of the install's own, on the same terms. TRUE when it is not
// read-only afterwards.
BOOL MakeOwnFileWritable(const char* path);

// Removes folder with everything in it, a linked folder as the link, never entered. TRUE when it
// is gone.
BOOL RemoveOwnTree(const char* folder);

// Sets the attributes of the file open as item (with FILE_WRITE_ATTRIBUTES), its times as they
// are; 0 stands for FILE_ATTRIBUTE_NORMAL.
BOOL SetAttributesThrough(HANDLE item, DWORD attributes);

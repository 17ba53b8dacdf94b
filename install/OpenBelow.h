#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// Opening or making an entry relative to a folder handle the caller holds and has checked, never
// by a path the file system would resolve again: whatever a name above it now leads to, the entry
// is looked for in that very folder. A link in the entry's own place is opened as the link
// (FILE_OPEN_REPARSE_POINT), for the caller to refuse.

// name is one component (no separator); access, share and flags as for CreateFileA, disposition
// OPEN_EXISTING or CREATE_NEW. folderEntry asks for a folder (made as one with CREATE_NEW).
// INVALID_HANDLE_VALUE on failure, with the Win32 reason in GetLastError.
HANDLE OpenBelow(HANDLE folder, const char* name, DWORD access, DWORD share, DWORD disposition,
                 BOOL folderEntry);
// The same with the name as a folder's listing gives it: chars UTF-16 units, not terminated.
HANDLE OpenBelowW(HANDLE folder, const WCHAR* name, size_t chars, DWORD access, DWORD share,
                  DWORD disposition, BOOL folderEntry);

// Renames the entry open as item (opened with DELETE) to name, one component, in folder, a held
// folder handle; replaces a file of that name when replace. FALSE with the Win32 reason in
// GetLastError. (The native call: Wine's SetFileInformationByHandle refuses a root directory.)
BOOL RenameBelow(HANDLE item, HANDLE folder, const char* name, BOOL replace);

// The entries of the folder held open as folder (listed through the handle, "." and ".." left
// out): each name as the listing gives it and its attributes. FALSE when the listing failed part
// way; entries then holds what was read.
BOOL ListBelow(HANDLE folder, std::vector<std::pair<std::wstring, DWORD>>* entries);

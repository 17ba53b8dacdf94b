#pragma once
#include <windows.h>

#include <vector>

// Reads the file at path whole into text, followed by one NUL that text's size leaves out (so a
// reader may stop at it). FALSE when it cannot be opened or read, or is larger than limit bytes:
// a journal or manifest is never that large, and a planted one must not fill the memory.
BOOL ReadWholeFile(const char* path, DWORD limit, std::vector<char>* text);

#pragma once
#include <windows.h>

#include <string>

// A Win32 error as a help desk reads it: Windows' own words for it, then its number in brackets
// ("the system cannot find the path specified (error 3)"), so that the log says why and the
// number can still be looked up. The number alone where Windows has no words for it.
std::string ErrorInWords(DWORD error);

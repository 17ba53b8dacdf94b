#pragma once
#include <ostream>

#include "classlib/CString.h"

#include <cstring>

// Lets GoogleTest show a CString's text in failure messages.
inline void PrintTo(const CString& text, std::ostream* out) {
  *out << '"' << static_cast<LPCTSTR>(text) << '"';
}

// Lets EXPECT_EQ compare a CString with a text by its characters, case-sensitive, as strcmp.
// The program itself never compares CStrings: without this, both would turn into pointers.
inline bool operator==(const CString& a, LPCTSTR b) {
  return strcmp(a, b != nullptr ? b : "") == 0;
}

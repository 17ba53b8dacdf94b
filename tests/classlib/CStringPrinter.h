#pragma once
#include <ostream>

#include "classlib/CString.h"

// Lets GoogleTest show a CString's text in failure messages.
inline void PrintTo(const CString& text, std::ostream* out) {
  *out << '"' << static_cast<LPCTSTR>(text) << '"';
}

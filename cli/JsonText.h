#pragma once
#include <string>

// text, in the program's ANSI code page, as a JSON string literal in UTF-8, quotes included:
// quote, backslash and control characters escaped, other characters converted.
std::string JsonString(const std::string& text);

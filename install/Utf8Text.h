#pragma once
#include <string>

// The ANSI text in UTF-8, as the log and the JSON documents write it; a text that does not
// convert keeps its ASCII characters only.
std::string ToUtf8(const std::string& text);

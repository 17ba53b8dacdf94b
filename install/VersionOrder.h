#pragma once
#include <string>

// -1, 0 or 1 as version text a is older than, the same as or newer than b: number by number
// ("9.20.1" < "10.10", "V2.0" < "V2.1"), a missing number counting as 0, anything that is not a
// digit skipped. Used for EWARM's versions and the patch's alike.
int CompareVersionNumbers(const std::string& a, const std::string& b);

// TRUE for a patch version as a user or a detection rule names one: "V2.0", "v2", "2.0.1" (an
// optional V, then numbers of at most nine digits joined by dots). A typo such as "banana" or
// "V2..0" is none: compared number by number it would pass as every version.
bool IsVersionLabel(const std::string& text);

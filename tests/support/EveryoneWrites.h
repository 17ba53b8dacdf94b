#pragma once
#include <string>

// Gives folder a DACL of its own that lets every user change it, as a folder another user made
// below C:\ would have (Wine keeps it as the Unix mode 0777). True when it was set.
bool LetEveryoneWrite(const std::string& folder);

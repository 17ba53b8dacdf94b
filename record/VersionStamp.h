#pragma once
#include <cstdint>

// Which patch an installation holds, as read from its version file when its row was made.
constexpr int kStampTextSize = 64;  // label and date: at most 63 characters and a terminator

struct VersionStamp {
  int32_t state;               // 0: no patch, 1: "V1.0", 2: "V2.0"
  char label[kStampTextSize];  // the label as the version file writes it
  char date[kStampTextSize];   // the install date, "%Y-%m-%d"
};

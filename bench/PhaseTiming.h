#pragma once
#include <string>

#include "install/InstallPhases.h"

// One install timed phase by phase by the benchmark's windowless front (QX48_install_phases,
// beside the program, where it finds the same patch).
struct PhaseTiming {
  double patchCheck = 0;  // the patch listed and checked against its manifest, before the install
  double phases[kInstallPhaseCount] = {};
  double total = 0;  // the front's own time from the patch check to the install's end
  unsigned long long peakWorkingSet = 0;
};

// Runs the front on installation ("clear" or "keep" the old patch's vendor folders); its output
// goes to logPath. "" when the install was done; else what went wrong.
std::string TimePhases(const std::string& front, const std::string& installation,
                       bool clearOldPatch, const std::string& logPath, PhaseTiming* timing);

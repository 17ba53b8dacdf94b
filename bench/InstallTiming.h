#pragma once
#include <string>

// One install run of QX48_EWARM_pack made through its window, as a user makes it, and timed.
struct InstallTiming {
  double clickToText = 0;  // seconds from the click on "Driver &patch" to the final text seen
  double ownElapse = 0;    // the program's own figure: "... total elapse %.3f sec"
  std::string finalText;
  // The program's PROCESS_MEMORY_COUNTERS.PeakWorkingSetSize, read once the run has ended
  // (0 when it could not be read).
  unsigned long long peakWorkingSet = 0;
};

// Starts exe, checks the row of the installation registered with version, sets "Clear old
// patch" (on when the program starts), clicks "Driver &patch", waits for the final status text,
// and closes the program. "" when the run ended without errors; else what went wrong (timing
// then holds what was measured).
std::string TimeInstallRun(const std::string& exe, const std::string& version, bool clearOldPatch,
                           InstallTiming* timing);

#pragma once
#include <string>

// One run of Wine's own xcopy.exe /E /I /Y, started from this process so that it runs in the
// same prefix and against the same wine server as the program it is compared with, and timed.
struct XcopyTiming {
  double wall = 0;        // seconds from CreateProcess to the process's end
  long filesCopied = -1;  // from its closing line "N File(s) copied"; -1 when there was none
  unsigned long exitCode = 0;
};

// The xcopy.exe of this process's system folder (the 32-bit one for a 32-bit process).
std::string XcopyPath();

// Copies the tree source into the folder destination; what xcopy prints goes to the file
// logPath. "" when it exited with 0 and said how many files it copied; else what went wrong.
std::string TimeXcopy(const std::string& source, const std::string& destination,
                      const std::string& logPath, XcopyTiming* timing);

#pragma once
#include <string>

// One console program started from this process (so that it runs in the same prefix and against
// the same wine server as the programs it is compared with), its standard output and error
// written to the file logPath, no console input, and its wall time taken.
struct ChildRun {
  double wall = 0;  // seconds from CreateProcess to the process's end
  unsigned long exitCode = 0;
  std::string printed;  // what it wrote to logPath
};

// Runs commandLine (the program quoted as it must be) to its end. "" when it ran to an end of its
// own; else what went wrong.
std::string RunChild(const std::string& commandLine, const std::string& logPath, ChildRun* run);

#pragma once
#include <windows.h>

#include <string>

// A console program of ours started as its own process, as a distribution system starts it:
// standard output and standard error redirected (to files, read back), the exit code kept.
struct ConsoleResult {
  bool finished = false;  // false: it did not end in time and was killed
  DWORD exitCode = 0;
  std::string out;
  std::string err;
};

class ConsoleRun {
 public:
  ConsoleRun() = default;
  ~ConsoleRun();
  ConsoleRun(const ConsoleRun&) = delete;
  ConsoleRun& operator=(const ConsoleRun&) = delete;

  // Starts exe with arguments (already quoted as a command line wants them). FALSE when it could
  // not be started.
  bool Start(const std::string& exe, const std::string& arguments) {
    return StartAs(nullptr, exe, arguments);
  }
  // The same with the token the program runs with (CreateProcessAsUser); null: this process's.
  bool StartAs(HANDLE token, const std::string& exe, const std::string& arguments);
  // What the program has written to standard output so far.
  std::string OutputSoFar() const;
  // Waits for the end; kills the program after timeoutMs.
  ConsoleResult Wait(int timeoutMs = 120000);

 private:
  PROCESS_INFORMATION info_ = {};
  std::string outPath_;
  std::string errPath_;
};

// A copy of this process's token in which the Administrators group only denies, as in the token
// of an administrator whom UAC has not elevated. Null when it cannot be made.
HANDLE NonAdministratorToken();

// Start and Wait in one.
ConsoleResult RunConsole(const std::string& exe, const std::string& arguments,
                         int timeoutMs = 120000);

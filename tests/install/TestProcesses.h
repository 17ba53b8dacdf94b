#pragma once
// Second processes for the install tests: this same test program started again in a role.
#include <windows.h>

#include <string>

// Another process that holds a file open until it is told to let go: without any sharing, or
// sharing reading and writing but not deletion (as an editor or a scanner may).
class FileHolder {
 public:
  enum Sharing { kShareNothing, kShareReadWrite };
  explicit FileHolder(const std::string& path, Sharing sharing = kShareNothing);
  ~FileHolder();
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;
  bool Holding() const { return started_; }
  void Release();

 private:
  HANDLE held_;
  HANDLE release_;
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

// Starts this program to install the patch beside it into installFolder (clear old patch on) and
// to kill itself, TerminateProcess, as soon as the line "Copy ..." number killAtLine is posted.
// Returns the child's exit code: kKilledExitCode when it was killed there, 0 when the install
// ended first.
constexpr DWORD kKilledExitCode = 77;
DWORD InstallAndKillAtLine(const std::string& installFolder, int killAtLine);

// Starts this program to restore the kept generation below config and to kill itself as soon as
// step number killAtStep (counted from the last) has been undone. Exit codes as above.
DWORD RestoreAndKillAtStep(const std::string& config, int killAtStep);

// The roles above, when argv asks for one: returns the role's exit code, or -1 for a test run.
int RunTestProcessRole(int argc, char** argv);

#pragma once
#include <string>
#include <vector>

// What one start of qx48patch was asked to do, read from its arguments.
enum class Command {
  kHelp,
  kVersion,
  kList,
  kInstall,
  kStatus,
  kDetect,
  kRestore,
  kUninstall,
  kVerify,
  kRepair
};

// The most --target options one command takes: as many installations as a program of ours lists.
constexpr size_t kMaxTargets = 64;

struct CommandLine {
  Command command = Command::kHelp;
  bool all = false;                  // --all (the default of the commands that take it)
  std::vector<std::string> targets;  // --target FOLDER, in the order given
  bool newest = false;               // --newest
  bool keepOldPatch = false;         // --keep-old-patch
  bool dryRun = false;               // --dry-run
  bool quiet = false;                // --quiet
  bool json = false;                 // --json
  bool allowDowngrade = false;       // --allow-downgrade
  std::string logPath;               // --log FILE; empty: the default log
  std::string deployTo;              // --deploy-to FOLDER; empty: none
  std::string atLeast;               // --at-least VERSION; empty: the patch's own
  bool verify = false;               // --verify (detect: the files must match the manifest too)
  // Not from the command line: where this program lies, set once by main, and the patch beside it.
  std::string programPath;
  std::string patchFolder;
};

// Reads argv[1..argc-1]. FALSE, with a one-line reason in *error, for anything it does not take:
// no or an unknown command, an option the command does not have, an option twice where once is
// meant, a missing or empty value, --all/--target/--newest together, more than kMaxTargets
// targets, a value that does not fit a Windows path. Options take their value as the next
// argument or after "=" (--target=C:\EW). --version alone stands for the command version.
bool ParseCommandLine(int argc, const char* const* argv, CommandLine* line, std::string* error);

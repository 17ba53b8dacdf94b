#include "cli/CommandLine.h"

#include <windows.h>

#include <cstring>

#include "install/VersionOrder.h"

namespace {

// Which options each command has: one letter per option, in the order of kOptions.
struct OptionSpec {
  const char* name;
  bool takesValue;
};
const OptionSpec kOptions[] = {{"--all", false},
                               {"--target", true},
                               {"--newest", false},
                               {"--keep-old-patch", false},
                               {"--dry-run", false},
                               {"--log", true},
                               {"--quiet", false},
                               {"--json", false},
                               {"--allow-downgrade", false},
                               {"--deploy-to", true},
                               {"--at-least", true},
                               {"--verify", false}};
enum OptionIndex {
  kAll,
  kTarget,
  kNewest,
  kKeepOld,
  kDryRun,
  kLog,
  kQuiet,
  kJson,
  kAllowDowngrade,
  kDeployTo,
  kAtLeast,
  kVerify,
  kOptionCount
};

struct CommandSpec {
  const char* name;
  Command command;
  unsigned options;  // bit i: kOptions[i] is allowed
};
constexpr unsigned Bit(OptionIndex i) {
  return 1u << i;
}
// Every command takes --log: every run is logged, and --log only says where.
const CommandSpec kCommands[] = {
    {"help", Command::kHelp, Bit(kLog)},
    {"version", Command::kVersion, Bit(kLog)},
    {"list", Command::kList, Bit(kJson) | Bit(kLog)},
    {"install", Command::kInstall,
     Bit(kAll) | Bit(kTarget) | Bit(kNewest) | Bit(kKeepOld) | Bit(kDryRun) | Bit(kLog) |
         Bit(kQuiet) | Bit(kJson) | Bit(kAllowDowngrade) | Bit(kDeployTo)},
    {"status", Command::kStatus, Bit(kAll) | Bit(kTarget) | Bit(kQuiet) | Bit(kJson) | Bit(kLog)},
    {"detect", Command::kDetect, Bit(kAtLeast) | Bit(kLog) | Bit(kVerify)},
    {"verify", Command::kVerify, Bit(kAll) | Bit(kTarget) | Bit(kQuiet) | Bit(kJson) | Bit(kLog)},
    {"repair", Command::kRepair,
     Bit(kAll) | Bit(kTarget) | Bit(kKeepOld) | Bit(kLog) | Bit(kQuiet) | Bit(kJson)},
    {"restore", Command::kRestore, Bit(kAll) | Bit(kTarget) | Bit(kLog) | Bit(kQuiet)},
    {"uninstall", Command::kUninstall,
     Bit(kAll) | Bit(kTarget) | Bit(kLog) | Bit(kQuiet) | Bit(kAllowDowngrade)},
};

bool Fail(std::string* error, const std::string& reason) {
  *error = reason;
  return false;
}

// Sets the flag an option without a value stands for; FALSE when it was given already.
bool SetFlag(CommandLine* line, int option) {
  bool* flags[kOptionCount] = {
      &line->all, nullptr,      &line->newest, &line->keepOldPatch,   &line->dryRun,
      nullptr,    &line->quiet, &line->json,   &line->allowDowngrade, nullptr,
      nullptr,    &line->verify};
  if (*flags[option]) return false;
  *flags[option] = true;
  return true;
}

bool SetValue(CommandLine* line, int option, const std::string& value, std::string* error) {
  const std::string name = kOptions[option].name;
  if (value.empty()) return Fail(error, name + " needs a value");
  if (value.size() >= MAX_PATH)
    return Fail(error, name + " names a path longer than Windows takes");
  if (option == kTarget) {
    if (line->targets.size() >= kMaxTargets) return Fail(error, "at most 64 --target options");
    line->targets.push_back(value);
    return true;
  }
  std::string* single = option == kLog        ? &line->logPath
                        : option == kDeployTo ? &line->deployTo
                                              : &line->atLeast;
  if (!single->empty()) return Fail(error, name + " given twice");
  if (option == kAtLeast && !IsVersionLabel(value))
    return Fail(error, name + " takes a patch version such as V2.0, not \"" + value + "\"");
  *single = value;
  return true;
}

bool ParseOption(const CommandSpec& spec, int argc, const char* const* argv, int* at,
                 CommandLine* line, std::string* error) {
  std::string word = argv[*at];
  std::string value;
  bool valueInWord = false;
  const size_t equals = word.find('=');
  if (equals != std::string::npos) {
    value = word.substr(equals + 1);
    word.resize(equals);
    valueInWord = true;
  }
  for (int option = 0; option < kOptionCount; ++option) {
    if (word != kOptions[option].name) continue;
    if ((spec.options & (1u << option)) == 0)
      return Fail(error, word + " is not an option of " + spec.name);
    if (!kOptions[option].takesValue) {
      if (valueInWord) return Fail(error, word + " takes no value");
      return SetFlag(line, option) || Fail(error, word + " given twice");
    }
    if (!valueInWord) {
      if (*at + 1 >= argc) return Fail(error, word + " needs a value");
      value = argv[++*at];
    }
    return SetValue(line, option, value, error);
  }
  return Fail(error, "unknown option " + word.substr(0, 64));
}

}  // namespace

bool ParseCommandLine(int argc, const char* const* argv, CommandLine* line, std::string* error) {
  *line = CommandLine();
  if (argc < 2 || argv[1] == nullptr) return Fail(error, "no command given");
  const std::string name = argv[1];
  if (name == "/?" || name == "-h" || name == "--help" || name == "-?") {
    line->command = Command::kHelp;
    return argc == 2 || Fail(error, "help takes no options");
  }
  if (name == "--version") {
    line->command = Command::kVersion;
    return argc == 2 || Fail(error, "--version takes no options");
  }
  const CommandSpec* spec = nullptr;
  for (const CommandSpec& candidate : kCommands) {
    if (_stricmp(name.c_str(), candidate.name) == 0) spec = &candidate;
  }
  if (spec == nullptr) return Fail(error, "unknown command " + name.substr(0, 64));
  line->command = spec->command;
  for (int at = 2; at < argc; ++at) {
    if (argv[at] == nullptr || !ParseOption(*spec, argc, argv, &at, line, error)) return false;
  }
  const int choices =
      (line->all ? 1 : 0) + (line->targets.empty() ? 0 : 1) + (line->newest ? 1 : 0);
  if (choices > 1) return Fail(error, "choose one of --all, --target and --newest");
  if (line->command == Command::kRestore && choices == 0)
    return Fail(error, "restore needs --target FOLDER or --all");
  if (line->command == Command::kInstall || line->command == Command::kStatus ||
      line->command == Command::kUninstall || line->command == Command::kVerify ||
      line->command == Command::kRepair) {
    if (choices == 0) line->all = true;
  }
  return true;
}

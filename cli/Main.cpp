// qx48patch.exe: the console front end to the same layers as QX48_EWARM_pack.exe, for installs
// that a distribution system runs without anybody at the machine.
#include <cstdio>
#include <string>

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"

int main(int argc, char** argv) {
  CommandLine line;
  std::string error;
  if (!ParseCommandLine(argc, argv, &line, &error)) {
    CConsoleOutput errors(false);
    errors.Error("qx48patch: %s. \"qx48patch help\" lists the commands.", error.c_str());
    return kExitBadUsage;
  }
  CConsoleOutput out(line.quiet);
  switch (line.command) {
    case Command::kHelp:
      return RunHelp(out);
    case Command::kList:
      return RunList(line, out);
    case Command::kInstall:
      return RunInstall(line, out);
    case Command::kStatus:
      return RunStatus(line, out);
    case Command::kRestore:
      return RunRestore(line, out);
  }
  return kExitFatal;
}

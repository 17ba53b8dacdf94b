#pragma once
#include "cli/CommandLine.h"
#include "cli/ExitCodes.h"

class CConsoleOutput;

// One function per command of qx48patch; each returns the program's exit code.
ExitCode RunHelp(CConsoleOutput& out);
ExitCode RunVersion(const CommandLine& line, CConsoleOutput& out);
ExitCode RunList(const CommandLine& line, CConsoleOutput& out);
ExitCode RunInstall(const CommandLine& line, CConsoleOutput& out);
ExitCode RunStatus(const CommandLine& line, CConsoleOutput& out);
ExitCode RunDetect(const CommandLine& line, CConsoleOutput& out);
ExitCode RunRestore(const CommandLine& line, CConsoleOutput& out);
ExitCode RunUninstall(const CommandLine& line, CConsoleOutput& out);
ExitCode RunVerify(const CommandLine& line, CConsoleOutput& out);
ExitCode RunRepair(const CommandLine& line, CConsoleOutput& out);

// The usage text, also shown after a usage error.
const char* UsageText();

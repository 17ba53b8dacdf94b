#pragma once
#include "cli/CommandLine.h"
#include "cli/ExitCodes.h"

class CConsoleOutput;
class CInstallLog;
class CInstallLock;
struct PatchInfo;

// The checks the commands that write make before they touch an installation; each tells the
// user in one line what is wrong.

// FALSE without administrator rights.
bool RequireAdministrator(CConsoleOutput& out);
// FALSE when the patch beside the program is missing or damaged; *patch is filled either way.
bool RequireUsablePatch(CConsoleOutput& out, PatchInfo* patch);
// The last step before the first change: opens --log's file when one is named (kExitBadUsage when
// it cannot be opened), then takes the machine-wide install lock (kExitAnotherInstall when
// another install holds it, kExitFatal when it cannot be had at all). kExitSuccess with both.
ExitCode BeginChanges(CConsoleOutput& out, const CommandLine& line, CInstallLog* log,
                      CInstallLock* lock);

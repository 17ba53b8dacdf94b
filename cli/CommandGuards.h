#pragma once
#include "cli/CommandLine.h"
#include "cli/ExitCodes.h"

class CConsoleOutput;
class CInstallLock;
struct PatchInfo;

// The checks the commands make before they touch an installation; each tells the user in one
// line what is wrong.

// FALSE without administrator rights.
bool RequireAdministrator(CConsoleOutput& out);
// FALSE when the patch beside the program (line.patchFolder) is missing or damaged, or came without its manifest:
// a distribution system installs without anybody looking, so only a patch that can be proved
// whole is installed. *patch is filled either way.
bool RequireUsablePatch(CConsoleOutput& out, const CommandLine& line, PatchInfo* patch);
// For the commands that take the patch out: FALSE only when there is no patch folder. Its folder
// names say what to remove, each checked where it leads; nothing is copied from it, so a patch
// that fails its manifest (the package that failed to install) can still be taken out.
bool RequirePatchFolder(CConsoleOutput& out, const CommandLine& line, PatchInfo* patch);
// The first step of a command that changes installations, right after the rights check: takes
// the machine-wide install lock (kExitAnotherInstall when another install holds it, kExitFatal
// when it cannot be had at all), so that a busy machine always answers "try again later".
ExitCode BeginChanges(CConsoleOutput& out, CInstallLock* lock);

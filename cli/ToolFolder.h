#pragma once
#include <string>

#include "cli/ExitCodes.h"

class CConsoleOutput;
struct PatchInfo;

// install --deploy-to FOLDER, the deploy scripts' way in: this program and its patch are kept in
// FOLDER (below Program Files), where the detection rule and the uninstall find them after the
// package's download is gone. They are copied into a fresh folder of their own beside it, checked
// against the manifest there, and only then switched in; the caller holds the install lock, so
// two deployments never share a half-written folder. kExitAnotherInstall when FOLDER is in use
// (a detection running its tool), kExitFatal when it cannot be made; FOLDER is as it was then.
ExitCode DeployToolTo(const std::string& folder, const std::string& program, const PatchInfo& patch,
                      CConsoleOutput& out);

// The Programs and Features entry of a deployed tool in FOLDER: its name, the patch's version,
// the publisher and a quiet uninstall command. FALSE when it cannot be written.
bool WriteUninstallEntry(const std::string& folder, const PatchInfo& patch);
// Takes the entry out again; TRUE when there is none afterwards.
bool RemoveUninstallEntry();
// After a restore or an uninstall, makes an existing entry say what the installations the
// registry records hold now: the oldest patch version any of them holds, or no entry at all when
// none holds one. FALSE when it could not be changed.
bool MatchUninstallEntryToInstallations();

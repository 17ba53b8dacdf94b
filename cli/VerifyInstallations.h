#pragma once
#include <string>
#include <vector>

#include "cli/Installations.h"
#include "install/PatchCheck.h"
#include "install/VerifyInstalledPatch.h"

class CConsoleOutput;

// Checks each installation against the manifest bound into this program, in the order given.
// FALSE, having said why, when the manifest cannot be read: then nothing was checked.
bool VerifyInstallations(CConsoleOutput& out, const PatchInfo& patch,
                         const std::vector<Installation>& installations,
                         std::vector<InstalledPatchCheck>* checks);

// What the check found in one installation and why, as lines for the user or the log: one, and
// one more per file that differs.
std::vector<std::string> VerifyLines(const PatchInfo& patch, const Installation& installation,
                                     const InstalledPatchCheck& check);

// The checks as the "installations" array of a JSON document, one object per installation.
std::string VerifyJson(const std::vector<Installation>& installations,
                       const std::vector<InstalledPatchCheck>& checks);

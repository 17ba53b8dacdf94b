#pragma once
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "record/VersionStamp.h"

class CConsoleOutput;

// One installation a command works on, with what it holds now.
struct Installation {
  std::string name;         // as the dialog shows it
  std::string folder;       // the installation folder, as the registry or --target names it
  std::string versionText;  // EWARM's version; empty for a --target folder
  VersionStamp stamp;       // the patch installed in it now
};

// Every distinct installation folder the registry records, in the dialog's order. The dialog shows
// one row per version text; a distribution system has to reach a second copy of a version too.
std::vector<Installation> RegistryInstallations();

// The installations a command names: --target folders (each checked as the dialog checks an
// added folder), --newest (the highest EWARM version, compared number by number), or every one
// the registry records. FALSE, having told the user why, when a --target folder is refused or the
// registry records none.
bool ChosenInstallations(const CommandLine& line, CConsoleOutput& out,
                         std::vector<Installation>* chosen);

// Reads the installation's stamp afresh.
void ProbeAgain(Installation* installation);

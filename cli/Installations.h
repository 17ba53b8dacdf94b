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

// The installations the registry records whose folders are there; each record whose folder is
// gone is told in one line, added to gone (when given) and left out, so that a stale record never
// fails a run.
std::vector<Installation> PresentRegistryInstallations(CConsoleOutput& out,
                                                       std::vector<std::string>* gone = nullptr);

// The installations a command names: --target folders (each checked as the dialog checks an
// added folder), --newest (the highest EWARM version, compared number by number), or every one
// the registry records whose folder is there. FALSE, having told the user why, when a --target folder is refused or the
// registry records none.
// gone, when given, receives the folders of records skipped as gone.
bool ChosenInstallations(const CommandLine& line, CConsoleOutput& out,
                         std::vector<Installation>* chosen,
                         std::vector<std::string>* gone = nullptr);

// Reads the installation's stamp afresh.
void ProbeAgain(Installation* installation);

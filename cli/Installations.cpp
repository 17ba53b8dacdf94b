#include "cli/Installations.h"

#include <windows.h>

#include <cctype>

#include "cli/ConsoleOutput.h"
#include "install/AddedFolder.h"
#include "install/ProbeInstalledPatch.h"
#include "toolchain/ListedInstallations.h"

namespace {

Installation Probed(const std::string& name, const std::string& folder,
                    const std::string& versionText) {
  Installation installation{name, folder, versionText, {}};
  ProbeInstalledPatch(&installation.stamp, installation.folder.c_str());
  return installation;
}

// The next number of a version text at *at, skipping what is not a digit; -1 at the end.
long NextNumber(const std::string& text, size_t* at) {
  while (*at < text.size() && !isdigit(static_cast<unsigned char>(text[*at]))) ++*at;
  if (*at >= text.size()) return -1;
  long number = 0;
  while (*at < text.size() && isdigit(static_cast<unsigned char>(text[*at]))) {
    // Bounded: a run of digits longer than a version number has stops growing.
    if (number < 100000000) number = number * 10 + (text[*at] - '0');
    ++*at;
  }
  return number;
}

}  // namespace

int CompareEwarmVersions(const std::string& a, const std::string& b) {
  size_t atA = 0;
  size_t atB = 0;
  for (;;) {
    const long numberA = NextNumber(a, &atA);
    const long numberB = NextNumber(b, &atB);
    if (numberA < 0 && numberB < 0) return 0;
    const long valueA = numberA < 0 ? 0 : numberA;
    const long valueB = numberB < 0 ? 0 : numberB;
    if (valueA != valueB) return valueA < valueB ? -1 : 1;
  }
}

std::vector<Installation> RegistryInstallations() {
  std::vector<Installation> installations;
  for (const InstallRecord& record : FindListedInstallations()) {
    installations.push_back(
        Probed(std::string("IAR Embedded Workbench IDE - ARM ") + record.versionText,
               record.installPath, record.versionText));
  }
  return installations;
}

bool ChosenInstallations(const CommandLine& line, CConsoleOutput& out,
                         std::vector<Installation>* chosen) {
  chosen->clear();
  if (!line.targets.empty()) {
    for (const std::string& target : line.targets) {
      char path[MAX_PATH];
      if (CheckAddedFolder(target.c_str(), path) != AddedFolderCheck::kAccepted) {
        out.Error("Path \"%s\" is not valid IAR EWARM path!", path);
        chosen->clear();
        return false;
      }
      chosen->push_back(Probed(path, path, ""));
    }
    return true;
  }
  *chosen = RegistryInstallations();
  if (line.newest && !chosen->empty()) {
    size_t newest = 0;
    for (size_t i = 1; i < chosen->size(); ++i) {
      if (CompareEwarmVersions((*chosen)[i].versionText, (*chosen)[newest].versionText) > 0)
        newest = i;
    }
    const Installation kept = (*chosen)[newest];
    chosen->assign(1, kept);
  }
  if (chosen->empty()) {
    out.Error("No EWARM installation is recorded in the registry.");
    return false;
  }
  return true;
}

void ProbeAgain(Installation* installation) {
  ProbeInstalledPatch(&installation->stamp, installation->folder.c_str());
}

#include "cli/Installations.h"

#include <windows.h>

#include "cli/ConsoleOutput.h"
#include "install/AddedFolder.h"
#include "install/ProbeInstalledPatch.h"
#include "install/VersionOrder.h"
#include "toolchain/ListedInstallations.h"

namespace {

Installation Probed(const std::string& name, const std::string& folder,
                    const std::string& versionText) {
  Installation installation{name, folder, versionText, {}};
  ProbeInstalledPatch(&installation.stamp, installation.folder.c_str());
  return installation;
}

}  // namespace

std::vector<Installation> RegistryInstallations() {
  std::vector<Installation> installations;
  for (const InstallRecord& record : FindDistinctInstallations()) {
    installations.push_back(
        Probed(std::string("IAR Embedded Workbench IDE - ARM ") + record.versionText,
               record.installPath, record.versionText));
  }
  return installations;
}

std::vector<Installation> PresentRegistryInstallations(CConsoleOutput& out,
                                                       std::vector<std::string>* gone) {
  std::vector<Installation> present;
  for (Installation& installation : RegistryInstallations()) {
    const DWORD attributes = GetFileAttributesA(installation.folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      present.push_back(installation);
      continue;
    }
    // EWARM removed by hand leaves its record: nothing there to install into or to detect, and no
    // reason for a run to fail for ever.
    out.Line("%s: skipped, the folder the registry records for EWARM %s is gone",
             installation.folder.c_str(), installation.versionText.c_str());
    if (gone != nullptr) gone->push_back(installation.folder);
  }
  return present;
}

bool ChosenInstallations(const CommandLine& line, CConsoleOutput& out,
                         std::vector<Installation>* chosen, std::vector<std::string>* gone) {
  chosen->clear();
  if (!line.targets.empty()) {
    for (const std::string& target : line.targets) {
      char path[MAX_PATH];
      const AddedFolderCheck check = CheckAddedFolder(target.c_str(), path);
      if (check != AddedFolderCheck::kAccepted) {
        // The dialog's words, then why, for a help desk reading the log.
        out.Error("Path \"%s\" is not valid IAR EWARM path! (%s)", path,
                  check == AddedFolderCheck::kTooLong ? "the path is too long"
                                                      : "it has no arm\\config folder");
        chosen->clear();
        return false;
      }
      chosen->push_back(Probed(path, path, ""));
    }
    return true;
  }
  *chosen = PresentRegistryInstallations(out, gone);
  if (line.newest && !chosen->empty()) {
    size_t newest = 0;
    for (size_t i = 1; i < chosen->size(); ++i) {
      if (CompareVersionNumbers((*chosen)[i].versionText, (*chosen)[newest].versionText) > 0)
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

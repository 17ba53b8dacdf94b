// qx48patch restore: takes the last install out of the named installations. What an install
// replaced or removed is put back where a kept generation exists; without one, the vendor's
// folders and version file are removed (an uninstall).
#include <windows.h>

#include <string>
#include <vector>

#include "cli/CommandGuards.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "cli/InstallLog.h"
#include "cli/Installations.h"
#include "install/PatchCheck.h"
#include "install/JournalRollback.h"
#include "install/InstallLock.h"
#include "install/PatchPaths.h"
#include "install/PathSafety.h"
#include "install/RemoveInstalledPatch.h"

namespace {

bool HasKeptGeneration(const Installation& installation) {
  const std::string config = static_cast<const char*>(GetConfigFolder(installation.folder.c_str()));
  return !config.empty() &&
         IsFolder(GetFileAttributesA((config + "\\" + kPreviousAreaName).c_str()));
}

// TRUE when the installation holds none of the patch afterwards, or its kept generation again.
bool RestoreOne(CConsoleOutput& out, CInstallLog& log, const PatchInfo& patch,
                Installation& installation) {
  if (HasKeptGeneration(installation)) {
    const std::string config =
        static_cast<const char*>(GetConfigFolder(installation.folder.c_str()));
    const UndoResult undone = RestorePreviousGeneration(config.c_str());
    ProbeAgain(&installation);
    if (undone.refused) {
      out.Error("%s: not touched: %s", installation.folder.c_str(), undone.why);
      log.Write("refused %s: %s", installation.folder.c_str(), undone.why);
      return false;
    }
    if (!Undone(undone)) {
      out.Error("%s: %d step(s) of the last install could not be put back: %s",
                installation.folder.c_str(), undone.notUndone, undone.why);
      log.Write("failed %s: %d step(s) not put back: %s", installation.folder.c_str(),
                undone.notUndone, undone.why);
      return false;
    }
    out.Line("%s: put back what the last install replaced or removed (now %s)",
             installation.folder.c_str(), installation.stamp.label);
    log.Write("restored %s to before its last install", installation.folder.c_str());
    return true;
  }
  const int errors = RemoveInstalledPatch(patch.folder, installation.folder);
  ProbeAgain(&installation);
  if (errors != 0) {
    out.Error("%s: %d item(s) could not be removed.", installation.folder.c_str(), errors);
    log.Write("failed %s: %d item(s) not removed", installation.folder.c_str(), errors);
    return false;
  }
  out.Line("%s: nothing kept to put back; the patch was removed (now %s)",
           installation.folder.c_str(), installation.stamp.label);
  log.Write("removed the patch from %s", installation.folder.c_str());
  return true;
}

}  // namespace

ExitCode RunRestore(const CommandLine& line, CConsoleOutput& out) {
  if (!RequireAdministrator(out)) return kExitNotAdministrator;
  PatchInfo patch;
  if (!RequireUsablePatch(out, &patch)) return kExitPatchDamaged;
  std::vector<Installation> chosen;
  if (!ChosenInstallations(line, out, &chosen)) return kExitNoInstallation;
  CInstallLog log;
  CInstallLock lock;
  const ExitCode begun = BeginChanges(out, line, &log, &lock);
  if (begun != kExitSuccess) return begun;

  int failed = 0;
  for (Installation& installation : chosen) {
    if (!RestoreOne(out, log, patch, installation)) ++failed;
  }
  return failed == 0 ? kExitSuccess : kExitSomeFailed;
}

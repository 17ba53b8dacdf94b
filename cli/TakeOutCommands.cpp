// qx48patch restore and uninstall: taking the patch out of the named installations again.
// restore undoes the last install: what it replaced or removed is put back where a kept
// generation exists; without one, the vendor's folders and version file are removed. uninstall
// goes on until an installation holds none of the patch, and checks that it does not.
#include <windows.h>

#include <string>
#include <vector>

#include "cli/CommandGuards.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "cli/Installations.h"
#include "cli/ToolFolder.h"
#include "install/InstallIntoInstallation.h"
#include "install/InstallLock.h"
#include "install/InstallationChain.h"
#include "install/PatchCheck.h"
#include "install/PatchPaths.h"
#include "install/PathSafety.h"

namespace {

// Each delivery keeps one generation, the one before it, so this many rounds cover every
// generation an installation can hold; more would mean the restore is not taking anything out.
constexpr int kMaxUninstallRounds = 8;

std::string ConfigOf(const Installation& installation) {
  return static_cast<const char*>(GetConfigFolder(installation.folder.c_str()));
}

// How many of what the patch brings are in the installation: its version file and the vendor
// folders it carries, which an uninstall takes away whole.
int PatchItemsLeft(const PatchInfo& patch, const Installation& installation) {
  const std::string config = ConfigOf(installation);
  int left = GetFileAttributesA(static_cast<const char*>(
                 GetVersionFilePath(installation.folder.c_str()))) != INVALID_FILE_ATTRIBUTES;
  for (const std::string& folder : patch.listing.folders) {
    if (IsVendorFolder(folder.c_str()) &&
        GetFileAttributesA((config + "\\" + folder).c_str()) != INVALID_FILE_ATTRIBUTES)
      ++left;
  }
  return left;
}

// How one installation's restore or removal ended, for the run's exit code.
enum TakeOutEnd { kTakenOut, kTakeOutFailed, kTakeOutRefused, kTakeOutInUse };

// Tells the user how the unit ended and what the installation holds now.
TakeOutEnd Report(CConsoleOutput& out, const CInstallIntoInstallation& unit, int errors,
                  Installation& installation) {
  ProbeAgain(&installation);
  const char* folder = installation.folder.c_str();
  const InstallFailure& failure = unit.Failure();
  if (errors == 0) {
    out.Line(unit.PutBackKeptGeneration()
                 ? "%s: put back what the last install replaced or removed (now %s)"
                 : "%s: nothing kept to put back; the patch was removed (now %s)",
             folder, installation.stamp.label);
    return kTakenOut;
  }
  switch (failure.kind) {
    case kInstallRefused:
      out.Error("%s: not touched, something in it needs a person to look at: %s", folder,
                failure.why.c_str());
      return kTakeOutRefused;
    case kInstallFileInUse:
      // A transient condition: the installation is as it was, and a retry later may do.
      out.Error("%s: a file is in use, the installation is as it was: %s", folder,
                failure.why.c_str());
      return kTakeOutInUse;
    default:
      out.Error(unit.PutBackKeptGeneration() ? "%s: the last install was not put back, and the "
                                               "installation is %s: %s"
                                             : "%s: the patch was not taken out, and the "
                                               "installation is %s: %s",
                folder, failure.kind == kInstallNotRestored ? "not as it was" : "as it was",
                failure.why.c_str());
      return kTakeOutFailed;
  }
}

// Restore: the kept generation put back, or, without one, the patch taken out.
TakeOutEnd RestoreOne(CConsoleOutput& out, const CommandLine& /*line*/, const PatchInfo& patch,
                      Installation& installation) {
  CInstallIntoInstallation unit(patch, installation.folder.c_str(), InstallOptions{TRUE},
                                InstallEventSink{nullptr, nullptr}, nullptr);
  const int errors = unit.Restore();
  return Report(out, unit, errors, installation);
}

// kTakenOut when the installation holds none of the patch afterwards: every kept generation put
// back in turn (the oldest holds what the first delivery replaced), then whatever of the patch is
// still there removed, one restore a round. A newer patch than this package's came with a later
// delivery, which this older package's uninstall must not undo: it stays, unless
// --allow-downgrade.

TakeOutEnd UninstallOne(CConsoleOutput& out, const CommandLine& line, const PatchInfo& patch,
                        Installation& installation) {
  if (!line.allowDowngrade && CompareInstalledPatch(installation.folder.c_str(), installation.stamp,
                                                    patch.stamp.label) == PatchStanding::kNewer) {
    out.Line("%s: holds %s, newer than this package's %s: left as it is",
             installation.folder.c_str(), installation.stamp.label, patch.stamp.label);
    return kTakenOut;
  }
  for (int round = 0; round < kMaxUninstallRounds && PatchItemsLeft(patch, installation) != 0;
       ++round) {
    const TakeOutEnd end = RestoreOne(out, line, patch, installation);
    if (end != kTakenOut) return end;
  }
  const int left = PatchItemsLeft(patch, installation);
  if (left != 0) {
    out.Error("%s: still holds %d item(s) of the patch after the uninstall.",
              installation.folder.c_str(), left);
    return kTakeOutFailed;
  }
  out.Line("%s: holds none of the patch", installation.folder.c_str());
  return kTakenOut;
}

ExitCode TakeOut(const CommandLine& line, CConsoleOutput& out,
                 TakeOutEnd (*takeOutOne)(CConsoleOutput&, const CommandLine&, const PatchInfo&,
                                          Installation&)) {
  if (!RequireAdministrator(out)) return kExitNotAdministrator;
  CInstallLock lock;
  const ExitCode begun = BeginChanges(out, &lock);
  if (begun != kExitSuccess) return begun;
  PatchInfo patch;
  if (!RequirePatchFolder(out, line, &patch)) return kExitPatchDamaged;
  std::vector<Installation> chosen;
  if (!ChosenInstallations(line, out, &chosen)) return kExitNoInstallation;

  int ends[4] = {};                    // installations by TakeOutEnd
  std::vector<FileIdentityInfo> done;  // configuration folders taken out of so far
  for (Installation& installation : chosen) {
    // Its folders are opened and checked before anything is read of them (a newer patch behind
    // a link is no reason to leave an installation alone), and each folder is taken out of once,
    // whatever records or names lead to it. The unit then opens, checks and holds them for its
    // own work; this look lets go first, since the unit's undo may take back arm\config.
    {
      CInstallationChain chain;
      if (chain.Open(installation.folder.c_str(), FALSE) == CInstallationChain::kChainRedirected) {
        out.Error("%s: not touched, something in it needs a person to look at: %s",
                  installation.folder.c_str(), chain.Why().c_str());
        ++ends[kTakeOutRefused];
        continue;
      }
      FileIdentityInfo identity;
      if (chain.GetIdentity(&identity)) {
        bool again = false;
        for (const FileIdentityInfo& one : done) again = again || SameFolder(one, identity);
        if (again) continue;
        done.push_back(identity);
      }
    }
    ++ends[takeOutOne(out, line, patch, installation)];
  }
  // Programs and Features says what the installations hold now, whatever was taken out.
  if (!MatchUninstallEntryToInstallations())
    out.Error("The Programs and Features entry could not be brought up to date.");
  if (ends[kTakeOutRefused] != 0) return kExitFatal;
  if (ends[kTakeOutFailed] != 0) return kExitSomeFailed;
  // Only files in use: a retry later may well succeed.
  return ends[kTakeOutInUse] != 0 ? kExitFileInUse : kExitSuccess;
}

}  // namespace

ExitCode RunRestore(const CommandLine& line, CConsoleOutput& out) {
  return TakeOut(line, out, RestoreOne);
}

ExitCode RunUninstall(const CommandLine& line, CConsoleOutput& out) {
  // A machine without EWARM holds nothing to take out: the uninstall has nothing left to do.
  if (line.targets.empty() && RegistryInstallations().empty()) {
    RemoveUninstallEntry();
    out.Line("No EWARM installation is recorded in the registry: nothing to uninstall.");
    return kExitSuccess;
  }
  const ExitCode code = TakeOut(line, out, UninstallOne);
  if (code == kExitSuccess && line.all && !RemoveUninstallEntry())
    out.Error("The Programs and Features entry could not be removed.");
  return code;
}

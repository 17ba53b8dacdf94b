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
#include "install/FilesInUse.h"
#include "install/InstallIntoInstallation.h"
#include "install/InstallLock.h"
#include "install/InstallationChain.h"
#include "install/JournalRollback.h"
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

bool HasKeptGeneration(const Installation& installation) {
  const std::string config = ConfigOf(installation);
  return !config.empty() &&
         IsFolder(GetFileAttributesA((config + "\\" + kPreviousAreaName).c_str()));
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

// Puts back the installation's kept generation. FALSE, having told the user, when it could not.
bool RestoreKeptGeneration(CConsoleOutput& out, Installation& installation) {
  const UndoResult undone = RestorePreviousGeneration(ConfigOf(installation).c_str());
  ProbeAgain(&installation);
  if (undone.refused) {
    out.Error("%s: not touched: %s", installation.folder.c_str(), undone.why);
    return false;
  }
  if (!Undone(undone)) {
    out.Error("%s: %d step(s) of the last install could not be put back: %s",
              installation.folder.c_str(), undone.notUndone, undone.why);
    return false;
  }
  out.Line("%s: put back what the last install replaced or removed (now %s)",
           installation.folder.c_str(), installation.stamp.label);
  return true;
}

// The vendor folders the patch carries and the version file, taken out in one transaction: all
// of them, or none.
bool RemovePatch(CConsoleOutput& out, const PatchInfo& patch, Installation& installation) {
  CInstallIntoInstallation unit(patch, installation.folder.c_str(), InstallOptions{TRUE},
                                InstallEventSink{nullptr, nullptr}, nullptr);
  const int errors = unit.RemovePatch();
  ProbeAgain(&installation);
  if (errors != 0) {
    out.Error("%s: the patch was not taken out, and the installation is %s: %s",
              installation.folder.c_str(),
              unit.Failure().kind == kInstallNotRestored ? "not as it was" : "as it was",
              unit.Failure().why.c_str());
    return false;
  }
  out.Line("%s: nothing kept to put back; the patch was removed (now %s)",
           installation.folder.c_str(), installation.stamp.label);
  return true;
}

// TRUE when the installation holds none of the patch afterwards, or its kept generation again.
bool RestoreOne(CConsoleOutput& out, const CommandLine& /*line*/, const PatchInfo& patch,
                Installation& installation) {
  return HasKeptGeneration(installation) ? RestoreKeptGeneration(out, installation)
                                         : RemovePatch(out, patch, installation);
}

// TRUE when the installation holds none of the patch afterwards: every kept generation put back
// in turn (the oldest holds what the first delivery replaced), then whatever of the patch is
// still there removed. A newer patch than this package's came with a later delivery, which this
// older package's uninstall must not undo: it stays, unless --allow-downgrade.
bool UninstallOne(CConsoleOutput& out, const CommandLine& line, const PatchInfo& patch,
                  Installation& installation) {
  if (!line.allowDowngrade &&
      CompareInstalledPatch(installation.stamp, patch.stamp.label) == PatchStanding::kNewer) {
    out.Line("%s: holds %s, newer than this package's %s: left as it is",
             installation.folder.c_str(), installation.stamp.label, patch.stamp.label);
    return true;
  }
  for (int round = 0; round < kMaxUninstallRounds && PatchItemsLeft(patch, installation) != 0 &&
                      HasKeptGeneration(installation);
       ++round) {
    if (!RestoreKeptGeneration(out, installation)) return false;
  }
  if (PatchItemsLeft(patch, installation) != 0 && !RemovePatch(out, patch, installation))
    return false;
  const int left = PatchItemsLeft(patch, installation);
  if (left != 0) {
    out.Error("%s: still holds %d item(s) of the patch after the uninstall.",
              installation.folder.c_str(), left);
    return false;
  }
  out.Line("%s: holds none of the patch", installation.folder.c_str());
  return true;
}

ExitCode TakeOut(const CommandLine& line, CConsoleOutput& out,
                 bool (*takeOutOne)(CConsoleOutput&, const CommandLine&, const PatchInfo&,
                                    Installation&)) {
  if (!RequireAdministrator(out)) return kExitNotAdministrator;
  CInstallLock lock;
  const ExitCode begun = BeginChanges(out, &lock);
  if (begun != kExitSuccess) return begun;
  PatchInfo patch;
  if (!RequirePatchFolder(out, line, &patch)) return kExitPatchDamaged;
  std::vector<Installation> chosen;
  if (!ChosenInstallations(line, out, &chosen)) return kExitNoInstallation;

  int failed = 0;
  int refused = 0;
  int inUse = 0;
  std::vector<FileIdentityInfo> done;  // configuration folders taken out of so far
  for (Installation& installation : chosen) {
    // Its folders are opened once, checked and held while the patch is taken out: a link or
    // junction on the way would point the deletes at another folder.
    CInstallationChain chain;
    const CInstallationChain::Result opened = chain.Open(installation.folder.c_str(), FALSE);
    if (opened == CInstallationChain::kChainRedirected) {
      out.Error("%s: not touched, something in it needs a person to look at: %s",
                installation.folder.c_str(), chain.Why().c_str());
      ++refused;
      continue;
    }
    FileIdentityInfo identity;
    if (chain.GetIdentity(&identity)) {
      bool again = false;
      for (const FileIdentityInfo& one : done) again = again || SameFolder(one, identity);
      if (again) continue;  // another record or name of a folder taken out of already
      done.push_back(identity);
    }
    // Taking the patch out moves or removes whole vendor folders and the version file: a file in
    // use among them would stop it half way. Such an installation is left as it is, for a retry.
    char held[MAX_PATH] = "";
    DWORD waitedMs = 0;
    if (opened == CInstallationChain::kChainHeld &&
        FindFileInUseInVendorFolders(chain.Config().c_str(), patch.listing, &waitedMs, held)) {
      out.Error("%s: a file is in use, the installation is as it was: %s",
                installation.folder.c_str(), held);
      ++inUse;
      continue;
    }
    if (!takeOutOne(out, line, patch, installation)) ++failed;
  }
  // Programs and Features says what the installations hold now, whatever was taken out.
  if (!MatchUninstallEntryToInstallations())
    out.Error("The Programs and Features entry could not be brought up to date.");
  if (refused != 0) return kExitFatal;
  if (failed != 0) return kExitSomeFailed;
  // Only files in use: a retry later may well succeed.
  return inUse != 0 ? kExitFileInUse : kExitSuccess;
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

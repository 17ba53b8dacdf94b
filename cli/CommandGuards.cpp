#include "cli/CommandGuards.h"

#include "cli/ConsoleOutput.h"
#include "install/AdminRights.h"
#include "install/InstallLock.h"
#include "install/PatchCheck.h"
#include "install/PatchPaths.h"

bool RequireAdministrator(CConsoleOutput& out) {
  if (HasAdministratorRights()) return true;
  out.Error(
      "qx48patch needs administrator rights: run it from an elevated command prompt or as SYSTEM.");
  return false;
}

bool RequireUsablePatch(CConsoleOutput& out, const CommandLine& line, PatchInfo* patch) {
  *patch = InspectPatch(line.patchFolder);
  if (patch->state == PatchState::kMissing) {
    out.Error("No patch folder beside this program: %s", patch->folder.c_str());
    return false;
  }
  if (patch->state == PatchState::kDamaged) {
    out.Error("The patch is damaged: %s.", patch->fault.c_str());
    return false;
  }
  if (!patch->hasManifest) {
    out.Error("The patch is damaged: its manifest %s is missing.",
              ManifestOf(patch->folder).c_str());
    return false;
  }
  return true;
}

bool RequirePatchFolder(CConsoleOutput& out, const CommandLine& line, PatchInfo* patch) {
  *patch = InspectPatch(line.patchFolder);
  if (patch->state != PatchState::kMissing) return true;
  out.Error("No patch folder beside this program: %s", patch->folder.c_str());
  return false;
}

ExitCode BeginChanges(CConsoleOutput& out, CInstallLock* lock) {
  switch (lock->TryAcquire()) {
    case InstallLockResult::kAcquired:
      return kExitSuccess;
    case InstallLockResult::kBusy:
      out.Error("Another installation is running; try again later.");
      return kExitAnotherInstall;
    default:
      out.Error("The install lock cannot be taken: %s.", lock->Why().c_str());
      return kExitFatal;
  }
}

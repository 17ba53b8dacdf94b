// qx48patch install: the patch beside the program into the chosen installations, or with
// --dry-run what that would change.
#include <cstring>
#include <string>
#include <vector>

#include "cli/CommandGuards.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "cli/InstallLog.h"
#include "cli/Installations.h"
#include "cli/PatchCheck.h"
#include "install/InstallLock.h"
#include "install/InstallPlan.h"
#include "install/PatchInstall.h"

namespace {

// What the install's status lines go to while one installation is being installed.
struct ProgressContext {
  CConsoleOutput* out;
  CInstallLog* log;
  const Installation* installation;
  int done;
  int total;
};

// "Copy <file> to <installation>", the install's line for a file, gives the file.
std::string FileOfStatusLine(const char* line, const std::string& installation) {
  const std::string text = line;
  const std::string prefix = "Copy ";
  const std::string suffix = " to " + installation;
  if (text.size() > prefix.size() + suffix.size() && text.compare(0, prefix.size(), prefix) == 0 &&
      text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0) {
    return text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
  }
  return text;
}

void OnStatusLine(void* context, const char* line) {
  ProgressContext* progress = static_cast<ProgressContext*>(context);
  const std::string& folder = progress->installation->folder;
  const std::string file = FileOfStatusLine(line, folder);
  ++progress->done;
  progress->out->Progress(folder.c_str(), progress->done, progress->total, file.c_str());
  progress->log->Write("copy %s to %s", file.c_str(), folder.c_str());
}

void PrintPlan(CConsoleOutput& out, const Installation& installation, const InstallPlan& plan) {
  out.Line("%s: %d to add, %d to replace, %d to remove", installation.folder.c_str(),
           int(plan.added.size()), int(plan.replaced.size()), int(plan.removed.size()));
  for (const std::string& file : plan.added) out.Line("  add     %s", file.c_str());
  for (const std::string& file : plan.replaced) out.Line("  replace %s", file.c_str());
  for (const std::string& file : plan.removed) out.Line("  remove  %s", file.c_str());
}

ExitCode DryRun(CConsoleOutput& out, const PatchInfo& patch,
                const std::vector<Installation>& chosen, InstallOptions options) {
  for (const Installation& installation : chosen) {
    InstallPlan plan;
    if (!PlanInstall(patch.folder, installation.folder, options, &plan)) {
      out.Error("The patch folder %s cannot be listed.", patch.folder.c_str());
      return kExitPatchDamaged;
    }
    PrintPlan(out, installation, plan);
  }
  return kExitSuccess;
}

// Installs into one installation and says how it ended.
InstallOutcome InstallInto(CConsoleOutput& out, CInstallLog& log, const PatchInfo& patch,
                           Installation& installation, InstallOptions options) {
  ProgressContext progress{&out, &log, &installation, 0, int(patch.listing.files.size())};
  InstallResult result{};
  InstallPatch(installation.folder.c_str(), options, StatusSink{OnStatusLine, &progress}, &result);
  out.EndProgress();
  ProbeAgain(&installation);
  const char* folder = installation.folder.c_str();
  switch (result.outcome) {
    case kInstallDone:
      out.Line("%s: installed %s (%d files)", folder, patch.stamp.label, progress.done);
      log.Write("installed %s into %s: %d files", patch.stamp.label, folder, progress.done);
      break;
    case kInstallRolledBack:
      out.Error("%s: rolled back, the installation is as it was (patch %s): %s", folder,
                installation.stamp.label, result.reason);
      log.Write("rolled back %s: %s", folder, result.reason);
      break;
    case kInstallSkipped:
      out.Error("%s: not touched (patch %s): %s", folder, installation.stamp.label, result.reason);
      log.Write("skipped %s: %s", folder, result.reason);
      break;
    case kInstallNotRestored:
      out.Error("%s: failed and could not be put back; what was replaced is kept in %s: %s", folder,
                kUndoAreaName, result.reason);
      log.Write("not restored %s: %s", folder, result.reason);
      break;
    case kInstallRefused:
      out.Error("%s: not touched, something in it needs a person to look at: %s", folder,
                result.reason);
      log.Write("refused %s: %s", folder, result.reason);
      break;
  }
  return result.outcome;
}

}  // namespace

ExitCode RunInstall(const CommandLine& line, CConsoleOutput& out) {
  if (!line.dryRun && !RequireAdministrator(out)) return kExitNotAdministrator;
  PatchInfo patch;
  if (!RequireUsablePatch(out, &patch)) return kExitPatchDamaged;
  std::vector<Installation> chosen;
  if (!ChosenInstallations(line, out, &chosen)) return kExitNoInstallation;
  const InstallOptions options{!line.keepOldPatch};
  if (line.dryRun) return DryRun(out, patch, chosen, options);

  CInstallLog log;
  CInstallLock lock;
  const ExitCode begun = BeginChanges(out, line, &log, &lock);
  if (begun != kExitSuccess) return begun;

  int failed = 0;
  int notRestored = 0;
  for (Installation& installation : chosen) {
    const InstallOutcome outcome = InstallInto(out, log, patch, installation, options);
    if (outcome != kInstallDone) ++failed;
    if (outcome == kInstallNotRestored || outcome == kInstallRefused) ++notRestored;
  }
  if (notRestored != 0) {
    // An installation that is neither old nor new needs a person: not a case for a retry.
    out.Error("%d of %d installation(s) could not be put back after a failure, or hold what this "
              "program did not make.",
              notRestored, int(chosen.size()));
    return kExitFatal;
  }
  if (failed != 0) {
    out.Error("%d of %d installation(s) were not installed and are as they were.", failed,
              int(chosen.size()));
    return kExitSomeFailed;
  }
  return kExitSuccess;
}

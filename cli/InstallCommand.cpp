// qx48patch install: the patch beside the program into the chosen installations, or with
// --dry-run what that would change.
#include <string>
#include <vector>

#include "cli/CommandGuards.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "cli/InstallLog.h"
#include "cli/Installations.h"
#include "install/PatchCheck.h"
#include "install/InstallLock.h"
#include "install/InstallPlan.h"
#include "install/JournalStep.h"
#include "install/PatchRun.h"

namespace {

// One run's installations and where its events are shown.
struct ConsoleRun {
  CConsoleOutput* out;
  CInstallLog* log;
  const PatchInfo* patch;
  std::vector<Installation>* chosen;
  size_t next;  // the installation after the one being installed
  int total;    // the patch's files: each installation's progress runs to it
};

const char* NextInstallation(void* context) {
  ConsoleRun* run = static_cast<ConsoleRun*>(context);
  return run->next < run->chosen->size() ? (*run->chosen)[run->next++].folder.c_str() : nullptr;
}

// Says how the install into one installation ended.
void ReportInstallation(ConsoleRun& run, Installation& installation, const InstallResult& result) {
  CConsoleOutput& out = *run.out;
  CInstallLog& log = *run.log;
  out.EndProgress();
  ProbeAgain(&installation);
  const char* folder = installation.folder.c_str();
  switch (result.outcome) {
    case kInstallDone:
      out.Line("%s: installed %s (%d files)", folder, run.patch->stamp.label, result.files);
      log.Write("installed %s into %s: %d files", run.patch->stamp.label, folder, result.files);
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
}

void ShowEvent(void* context, const InstallEvent& event) {
  ConsoleRun& run = *static_cast<ConsoleRun*>(context);
  if (event.kind == kFileStarted) {
    run.out->Progress(event.installation, event.filesStarted, run.total, event.file);
    run.log->Write("copy %s to %s", event.file, event.installation);
  } else if (event.kind == kInstallationFinished) {
    ReportInstallation(run, (*run.chosen)[run.next - 1], *event.result);
  }
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

  ConsoleRun run{&out, &log, &patch, &chosen, 0, int(patch.listing.files.size())};
  const RunTotals totals = RunPatchInstall(&patch, InstallationSource{NextInstallation, &run},
                                           options, InstallEventSink{ShowEvent, &run});
  if (!totals.patchUsable) {
    out.Error("The patch is damaged: %s.", totals.patchFault);
    return kExitPatchDamaged;
  }
  const int failed = totals.installations - totals.done;
  const int notRestored = totals.notRestored;
  if (notRestored != 0) {
    // An installation that is neither old nor new needs a person: not a case for a retry.
    out.Error(
        "%d of %d installation(s) could not be put back after a failure, or hold what this "
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

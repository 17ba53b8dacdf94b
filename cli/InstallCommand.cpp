// qx48patch install: the patch beside the program into the chosen installations, or with
// --dry-run what that would change.
#include <string>
#include <vector>

#include "cli/CommandGuards.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "cli/Installations.h"
#include "cli/JsonText.h"
#include "cli/RunLog.h"
#include "cli/ToolFolder.h"
#include "install/InstallLock.h"
#include "install/InstallPlan.h"
#include "install/JournalStep.h"
#include "install/PatchCheck.h"
#include "install/PatchRun.h"

namespace {

// How one installation ended, kept for the exit code and the JSON document.
struct Ending {
  const char* outcome;  // as JSON names it
  int files;
  std::string reason;
};

// One run's installations and where its events are shown.
struct ConsoleRun {
  CConsoleOutput* out;
  const PatchInfo* patch;
  std::vector<Installation>* chosen;
  std::vector<Ending> endings;
  size_t next;  // the installation after the one being installed
  int total;    // the patch's files: each installation's progress runs to it
};

const char* NextInstallation(void* context) {
  ConsoleRun* run = static_cast<ConsoleRun*>(context);
  return run->next < run->chosen->size() ? (*run->chosen)[run->next++].folder.c_str() : nullptr;
}

const char* OutcomeName(InstallOutcome outcome) {
  switch (outcome) {
    case kInstallDone:
      return "installed";
    case kInstallRolledBack:
      return "rolledBack";
    case kInstallSkipped:
      return "skipped";
    case kInstallFileInUse:
      return "fileInUse";
    case kInstallNotRestored:
      return "notRestored";
    case kInstallRefused:
      return "refused";
  }
  return "skipped";
}

// Says how the install into one installation ended.
void ReportInstallation(ConsoleRun& run, Installation& installation, const InstallResult& result) {
  CConsoleOutput& out = *run.out;
  ProbeAgain(&installation);
  run.endings.push_back({OutcomeName(result.outcome), result.files, result.reason});
  const char* folder = installation.folder.c_str();
  switch (result.outcome) {
    case kInstallDone:
      out.Line("%s: installed %s (%d files)", folder, run.patch->stamp.label, result.files);
      break;
    case kInstallRolledBack:
      out.Error("%s: rolled back, the installation is as it was (patch %s): %s", folder,
                installation.stamp.label, result.reason);
      break;
    case kInstallSkipped:
      out.Error("%s: not touched (patch %s): %s", folder, installation.stamp.label, result.reason);
      break;
    case kInstallFileInUse:
      // Not begun, or put back: what it had replaced by then is moved back.
      out.Error("%s: a file is in use, the installation is as it was (patch %s): %s", folder,
                installation.stamp.label, result.reason);
      break;
    case kInstallNotRestored:
      out.Error("%s: failed and could not be put back; what was replaced is kept in %s: %s", folder,
                kUndoAreaName, result.reason);
      break;
    case kInstallRefused:
      out.Error("%s: not touched, something in it needs a person to look at: %s", folder,
                result.reason);
      break;
  }
}

void ShowEvent(void* context, const InstallEvent& event) {
  ConsoleRun& run = *static_cast<ConsoleRun*>(context);
  if (event.kind == kFileStarted) {
    run.out->Progress(event.installation, event.filesStarted, run.total, event.file);
    if (CRunLog* log = run.out->Log()) log->Write("copy %s to %s", event.file, event.installation);
  } else if (event.kind == kInstallationFinished) {
    run.out->EndProgress();
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

// Under the lock, so that nothing installs a newer patch between the look and the install: a
// stale deployment never takes an installation back to an older patch by accident.
bool RefuseDowngrade(CConsoleOutput& out, const PatchInfo& patch, std::vector<Installation>& chosen,
                     std::vector<Ending>* endings) {
  bool refused = false;
  for (Installation& installation : chosen) {
    ProbeAgain(&installation);
    const bool newer =
        CompareInstalledPatch(installation.stamp, patch.stamp.label) == PatchStanding::kNewer;
    endings->push_back({newer ? "newerInstalled" : "notTouched", 0, ""});
    if (!newer) continue;
    refused = true;
    out.Error(
        "%s holds patch %s, newer than this package's %s; nothing was changed "
        "(--allow-downgrade installs %s anyway).",
        installation.folder.c_str(), installation.stamp.label, patch.stamp.label,
        patch.stamp.label);
  }
  if (!refused) endings->clear();
  return refused;
}

ExitCode ExitCodeOf(CConsoleOutput& out, const RunTotals& totals,
                    const std::vector<Ending>& endings) {
  if (!totals.patchUsable) {
    out.Error("The patch is damaged: %s.", totals.patchFault);
    return kExitPatchDamaged;
  }
  const int all = int(endings.size());
  if (totals.notRestored != 0) {
    // An installation that is neither old nor new needs a person: not a case for a retry.
    out.Error(
        "%d of %d installation(s) could not be put back after a failure, or hold what this "
        "program did not make.",
        totals.notRestored, all);
    return kExitFatal;
  }
  int inUse = 0;
  for (const Ending& ending : endings) inUse += std::string(ending.outcome) == "fileInUse";
  const int failed = totals.installations - totals.done;
  if (failed == 0) return kExitSuccess;
  out.Error("%d of %d installation(s) were not installed and are as they were.", failed, all);
  // Only files in use: a retry later may well succeed.
  return failed == inUse ? kExitFileInUse : kExitSomeFailed;
}

void PrintJson(const PatchInfo& patch, const std::vector<Installation>& chosen,
               const std::vector<Ending>& endings, ExitCode code) {
  std::string json = JsonDocumentStart("install", patch) + ",\"installations\":[";
  for (size_t i = 0; i < chosen.size(); ++i) {
    const Ending ending = i < endings.size() ? endings[i] : Ending{"notReached", 0, ""};
    json += std::string(i == 0 ? "" : ",") + "{\"folder\":" + JsonString(chosen[i].folder) +
            ",\"outcome\":" + JsonString(ending.outcome) +
            ",\"files\":" + std::to_string(ending.files) +
            ",\"reason\":" + JsonString(ending.reason) +
            ",\"installedPatch\":" + JsonString(chosen[i].stamp.label) + "}";
  }
  PrintJsonDocument(json + "],\"exitCode\":" + std::to_string(code) + "}");
}

ExitCode InstallUnderLock(const CommandLine& line, CConsoleOutput& out, const PatchInfo& patch,
                          std::vector<Installation>& chosen, std::vector<Ending>* endings) {
  if (!line.allowDowngrade && RefuseDowngrade(out, patch, chosen, endings))
    return kExitNewerInstalled;
  if (!line.deployTo.empty()) {
    const ExitCode kept = DeployToolTo(line.deployTo, patch, out);
    if (kept != kExitSuccess) return kept;
  }
  ConsoleRun run{&out, &patch, &chosen, {}, 0, int(patch.listing.files.size())};
  const RunTotals totals =
      RunPatchInstall(&patch, InstallationSource{NextInstallation, &run},
                      InstallOptions{!line.keepOldPatch}, InstallEventSink{ShowEvent, &run});
  *endings = run.endings;
  const ExitCode code = ExitCodeOf(out, totals, run.endings);
  if (code == kExitSuccess && !line.deployTo.empty() && !WriteUninstallEntry(line.deployTo, patch))
    out.Error("The Programs and Features entry could not be written.");
  return code;
}

ExitCode Install(const CommandLine& line, CConsoleOutput& out, PatchInfo* patch,
                 std::vector<Installation>* chosen, std::vector<Ending>* endings) {
  if (line.dryRun) {
    if (!RequireUsablePatch(out, patch)) return kExitPatchDamaged;
    if (!ChosenInstallations(line, out, chosen)) return kExitNoInstallation;
    return DryRun(out, *patch, *chosen, InstallOptions{!line.keepOldPatch});
  }
  if (!RequireAdministrator(out)) return kExitNotAdministrator;
  // The lock first: on a machine where an install is running, the answer is "try again later",
  // whatever else a look at the patch or the installations would say in the middle of that run.
  CInstallLock lock;
  const ExitCode begun = BeginChanges(out, &lock);
  if (begun != kExitSuccess) return begun;
  if (!RequireUsablePatch(out, patch)) return kExitPatchDamaged;
  if (!ChosenInstallations(line, out, chosen)) return kExitNoInstallation;
  return InstallUnderLock(line, out, *patch, *chosen, endings);
}

}  // namespace

ExitCode RunInstall(const CommandLine& line, CConsoleOutput& out) {
  PatchInfo patch;
  std::vector<Installation> chosen;
  std::vector<Ending> endings;
  const ExitCode code = Install(line, out, &patch, &chosen, &endings);
  // A document also for a run that stopped before any installation: its exit code says why.
  if (line.json) PrintJson(patch, chosen, endings, code);
  return code;
}

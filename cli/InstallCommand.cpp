// qx48patch install: the patch beside the program into the chosen installations, or with
// --dry-run what that would change. repair is the same install into only those of the chosen
// installations that verify finds different from this patch, or holding an older one.
#include <string>
#include <vector>

#include "cli/CommandGuards.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "cli/Installations.h"
#include "cli/JsonText.h"
#include "cli/ToolFolder.h"
#include "cli/VerifyInstallations.h"
#include "install/InstallLock.h"
#include "install/InstallPlan.h"
#include "install/JournalStep.h"
#include "install/PatchCheck.h"
#include "install/PatchRun.h"
#include "install/RunLog.h"

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
    case kInstallSameFolder:  // never posted: the run reports one folder once
      return "sameFolder";
  }
  return "skipped";
}

// Says how the install into one installation ended.
void ReportInstallation(ConsoleRun& run, Installation& installation, const InstallResult& result) {
  CConsoleOutput& out = *run.out;
  // What it held before, for the line that says what the install replaced.
  const std::string replaced =
      installation.stamp.state != 0 ? std::string(installation.stamp.label) : "no patch";
  ProbeAgain(&installation);
  run.endings.push_back({OutcomeName(result.outcome), result.files, result.reason});
  const char* folder = installation.folder.c_str();
  switch (result.outcome) {
    case kInstallDone:
      out.Line("%s: installed %s over %s (%d files)", folder, run.patch->stamp.label,
               replaced.c_str(), result.files);
      break;
    case kInstallRolledBack:
      out.Error("%s: rolled back, the installation is as it was (patch %s): %s", folder,
                installation.stamp.label, result.reason.c_str());
      break;
    case kInstallSkipped:
      out.Error("%s: not touched (patch %s): %s", folder, installation.stamp.label,
                result.reason.c_str());
      break;
    case kInstallFileInUse:
      // Not begun, or put back: what it had replaced by then is moved back.
      out.Error("%s: a file is in use, the installation is as it was (patch %s): %s", folder,
                installation.stamp.label, result.reason.c_str());
      break;
    case kInstallNotRestored:
      out.Error("%s: failed and could not be put back; what was replaced is kept in %s: %s", folder,
                kUndoAreaName, result.reason.c_str());
      break;
    case kInstallRefused:
      out.Error("%s: not touched, something in it needs a person to look at: %s", folder,
                result.reason.c_str());
      break;
    case kInstallSameFolder:  // never posted: the run reports one folder once
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

// What --dry-run foretells for one installation: its plan, or that it is left as it is.
struct Foretold {
  bool keptNewer;  // holds a newer patch: the install would leave it as it is
  InstallPlan plan;
};

// Works out, touching nothing, what the install would do in each chosen installation; plans
// holds one entry per installation planned. An installation that holds a newer patch is foretold
// as left alone, as the install leaves it (unless --allow-downgrade).
ExitCode DryRun(CConsoleOutput& out, const CommandLine& line, const PatchInfo& patch,
                const std::vector<Installation>& chosen, std::vector<Foretold>* plans) {
  for (const Installation& installation : chosen) {
    Foretold foretold{!line.allowDowngrade &&
                          CompareInstalledPatch(installation.folder.c_str(), installation.stamp,
                                                patch.stamp.label) == PatchStanding::kNewer,
                      InstallPlan()};
    if (foretold.keptNewer) {
      out.Line("%s: holds patch %s, newer than this package's %s: would be left as it is",
               installation.folder.c_str(), installation.stamp.label, patch.stamp.label);
    } else if (!PlanInstall(patch.folder, installation.folder, InstallOptions{!line.keepOldPatch},
                            &foretold.plan)) {
      out.Error("The patch folder %s cannot be listed.", patch.folder.c_str());
      return kExitPatchDamaged;
    } else {
      PrintPlan(out, installation, foretold.plan);
    }
    plans->push_back(foretold);
  }
  return kExitSuccess;
}

// The dry run's document: per installation what would be added, replaced and removed, or that
// it would be left as it is, and why.
void PrintPlanJson(const PatchInfo& patch, const std::vector<Installation>& chosen,
                   const std::vector<std::string>& gone, const std::vector<Foretold>& plans,
                   ExitCode code) {
  std::string json = JsonDocumentStart("install", patch) + ",\"dryRun\":true,\"installations\":[";
  for (size_t i = 0; i < chosen.size(); ++i) {
    const bool planned = i < plans.size();
    const InstallPlan& plan = planned ? plans[i].plan : InstallPlan();
    json += std::string(i == 0 ? "" : ",") + "{\"folder\":" + JsonString(chosen[i].folder) +
            ",\"installedPatch\":" + JsonString(chosen[i].stamp.label) + ",\"plan\":" +
            JsonString(!planned             ? "notReached"
                       : plans[i].keptNewer ? "newerInstalled"
                                            : "install") +
            ",\"add\":" + JsonList(plan.added) + ",\"replace\":" + JsonList(plan.replaced) +
            ",\"remove\":" + JsonList(plan.removed) + "}";
  }
  PrintJsonDocument(json + "]," + JsonGoneRecords(gone) + "\"exitCode\":" + std::to_string(code) +
                    "}");
}

// Under the lock, so that nothing installs a newer patch between the look and the install: an
// installation that holds a newer patch is left as it is and counted as up to date (a fleet that
// already has a later delivery is compliant, and its older installations are still brought up),
// unless --allow-downgrade. Returns the installations to install into; *newer[i] tells, for each
// chosen one, whether it was kept.
std::vector<Installation> KeepNewer(CConsoleOutput& out, const PatchInfo& patch,
                                    std::vector<Installation>& chosen, std::vector<bool>* newer) {
  std::vector<Installation> toInstall;
  for (Installation& installation : chosen) {
    ProbeAgain(&installation);
    const bool kept = CompareInstalledPatch(installation.folder.c_str(), installation.stamp,
                                            patch.stamp.label) == PatchStanding::kNewer;
    newer->push_back(kept);
    if (!kept) {
      if (ClaimsUndeliveredNewer(installation.folder.c_str(), installation.stamp,
                                 patch.stamp.label))
        out.Line(
            "%s: its version file says %s, but no install of %s was recorded there: "
            "installed over like an older patch",
            installation.folder.c_str(), installation.stamp.label, installation.stamp.label);
      toInstall.push_back(installation);
      continue;
    }
    out.Line(
        "%s: holds patch %s, newer than this package's %s: left as it is, counted as up to date "
        "(--allow-downgrade installs %s over it)",
        installation.folder.c_str(), installation.stamp.label, patch.stamp.label,
        patch.stamp.label);
  }
  return toInstall;
}

ExitCode ExitCodeOf(CConsoleOutput& out, const RunTotals& totals,
                    const std::vector<Ending>& endings) {
  if (!totals.patchUsable) {
    out.Error("The patch is damaged: %s.", totals.patchFault.c_str());
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

void PrintJson(const char* command, const PatchInfo& patch, const std::vector<Installation>& chosen,
               const std::vector<std::string>& gone, const std::vector<Ending>& endings,
               const std::string& verified, ExitCode code) {
  std::string json = JsonDocumentStart(command, patch) + verified + ",\"installations\":[";
  for (size_t i = 0; i < chosen.size(); ++i) {
    const Ending ending = i < endings.size() ? endings[i] : Ending{"notReached", 0, ""};
    json += std::string(i == 0 ? "" : ",") + "{\"folder\":" + JsonString(chosen[i].folder) +
            ",\"outcome\":" + JsonString(ending.outcome) +
            ",\"files\":" + std::to_string(ending.files) +
            ",\"reason\":" + JsonString(ending.reason) +
            ",\"installedPatch\":" + JsonString(chosen[i].stamp.label) + "}";
  }
  PrintJsonDocument(json + "]," + JsonGoneRecords(gone) + "\"exitCode\":" + std::to_string(code) +
                    "}");
}

ExitCode InstallUnderLock(const CommandLine& line, CConsoleOutput& out, const PatchInfo& patch,
                          std::vector<Installation>& chosen, std::vector<Ending>* endings) {
  std::vector<bool> newer;
  std::vector<Installation> toInstall =
      line.allowDowngrade ? chosen : KeepNewer(out, patch, chosen, &newer);
  if (!line.deployTo.empty()) {
    const ExitCode kept = DeployToolTo(line.deployTo, line.programPath, patch, out);
    if (kept != kExitSuccess) return kept;
  }
  ConsoleRun run{&out, &patch, &toInstall, {}, 0, int(patch.listing.files.size())};
  const RunTotals totals =
      RunPatchInstall(patch.folder, &patch, InstallationSource{NextInstallation, &run},
                      InstallOptions{!line.keepOldPatch}, InstallEventSink{ShowEvent, &run});
  // One ending per chosen installation, in its order: the kept newer ones among the run's.
  size_t next = 0;
  for (size_t i = 0; i < chosen.size(); ++i) {
    if (i < newer.size() && newer[i]) {
      endings->push_back({"newerInstalled", 0, ""});
    } else if (next < run.endings.size()) {
      chosen[i] = toInstall[next];
      endings->push_back(run.endings[next++]);
    }
  }
  const ExitCode code = ExitCodeOf(out, totals, run.endings);
  if (code == kExitSuccess && !line.deployTo.empty() && !WriteUninstallEntry(line.deployTo, patch))
    out.Error("The Programs and Features entry could not be written.");
  return code;
}

// What one install command found and did, for its JSON document.
struct InstallReport {
  std::string verified;  // repair's: ",\"verified\":[...]", what verify found in every chosen one
  PatchInfo patch;
  std::vector<Installation> chosen;
  std::vector<std::string> gone;  // registry records whose folders are gone, skipped
  std::vector<Ending> endings;    // the install's, one per chosen installation
  std::vector<Foretold> plans;    // --dry-run's, one per chosen installation
};

ExitCode Install(const CommandLine& line, CConsoleOutput& out, InstallReport* report) {
  PatchInfo* patch = &report->patch;
  std::vector<Installation>* chosen = &report->chosen;
  if (line.dryRun) {
    if (!RequireUsablePatch(out, line, patch)) return kExitPatchDamaged;
    if (!ChosenInstallations(line, out, chosen, &report->gone)) return kExitNoInstallation;
    return DryRun(out, line, *patch, *chosen, &report->plans);
  }
  if (!RequireAdministrator(out)) return kExitNotAdministrator;
  // The lock first: on a machine where an install is running, the answer is "try again later",
  // whatever else a look at the patch or the installations would say in the middle of that run.
  CInstallLock lock;
  const ExitCode begun = BeginChanges(out, &lock);
  if (begun != kExitSuccess) return begun;
  if (!RequireUsablePatch(out, line, patch)) return kExitPatchDamaged;
  if (!ChosenInstallations(line, out, chosen, &report->gone)) return kExitNoInstallation;
  if (line.command == Command::kRepair) {
    // Verified under the lock, so that what is repaired is what was found.
    std::vector<InstalledPatchCheck> checks;
    if (!VerifyInstallations(out, *patch, *chosen, &checks)) return kExitPatchDamaged;
    report->verified = ",\"verified\":" + VerifyJson(*chosen, checks);
    std::vector<Installation> differing;
    for (size_t i = 0; i < checks.size(); ++i) {
      for (const std::string& text : VerifyLines(*patch, (*chosen)[i], checks[i]))
        out.Line("%s", text.c_str());
      if (NeedsRepair(checks[i].verdict)) differing.push_back((*chosen)[i]);
    }
    *chosen = differing;
    if (chosen->empty()) {
      out.Line(
          "Nothing to repair: every installation holds this patch as its manifest says, or "
          "a newer one.");
      return kExitSuccess;
    }
  }
  return InstallUnderLock(line, out, *patch, *chosen, &report->endings);
}

}  // namespace

ExitCode RunInstall(const CommandLine& line, CConsoleOutput& out) {
  InstallReport report;
  const ExitCode code = Install(line, out, &report);
  // A document also for a run that stopped before any installation: its exit code says why.
  if (line.json && line.dryRun) {
    PrintPlanJson(report.patch, report.chosen, report.gone, report.plans, code);
  } else if (line.json) {
    PrintJson(line.command == Command::kRepair ? "repair" : "install", report.patch, report.chosen,
              report.gone, report.endings, report.verified, code);
  }
  return code;
}

ExitCode RunRepair(const CommandLine& line, CConsoleOutput& out) {
  return RunInstall(line, out);
}

// qx48patch status: whether the named installations hold this patch's version (or a newer one),
// as an exit code that a detection rule reads (0 every one does, 1 some do not), as lines or as
// JSON.
#include <string>
#include <vector>

#include "cli/CommandGuards.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "cli/Installations.h"
#include "cli/JsonText.h"
#include "cli/VerifyInstallations.h"
#include "install/PatchCheck.h"
#include "install/RunLog.h"

ExitCode RunStatus(const CommandLine& line, CConsoleOutput& out) {
  PatchInfo patch;
  std::vector<Installation> chosen;
  std::vector<std::string> gone;
  ExitCode code = kExitSuccess;
  if (!RequireUsablePatch(out, line, &patch))
    code = kExitPatchDamaged;
  else if (!ChosenInstallations(line, out, &chosen, &gone))
    code = kExitNoInstallation;
  int notCurrent = 0;
  std::string json = JsonDocumentStart("status", patch) + ",\"installations\":[";
  for (const Installation& installation : chosen) {
    const PatchStanding standing =
        CompareInstalledPatch(installation.folder.c_str(), installation.stamp, patch.stamp.label);
    const bool current =
        HoldsPatchVersion(installation.folder.c_str(), installation.stamp, patch.stamp.label);
    if (!current) ++notCurrent;
    out.Line("%s: %s, %s", installation.folder.c_str(), installation.stamp.label,
             standing == PatchStanding::kNewer ? "newer than this package's"
             : current                         ? "current"
                                               : "not current");
    json += std::string(&installation == &chosen.front() ? "" : ",") +
            "{\"folder\":" + JsonString(installation.folder) +
            ",\"installedPatch\":" + JsonString(installation.stamp.label) +
            ",\"standing\":" + JsonString(StandingName(standing)) +
            ",\"current\":" + (current ? "true" : "false") + "}";
  }
  if (code == kExitSuccess && notCurrent != 0) code = kExitNotCurrent;
  // A document also when the patch or the installations stopped the command: its exit code
  // says why.
  if (line.json)
    PrintJsonDocument(json + "]," + JsonGoneRecords(gone) + "\"exitCode\":" + std::to_string(code) +
                      "}");
  return code;
}

ExitCode RunDetect(const CommandLine& line, CConsoleOutput& out) {
  // The detection rule names its package's version: the tool kept on the machine may be a later
  // package's, and must not make an older package's rule say "installed" for its own patch.
  std::string version = line.atLeast;
  PatchInfo patch;
  if (version.empty() || line.verify) {
    if (!RequireUsablePatch(out, line, &patch)) return kExitPatchDamaged;
    if (version.empty()) version = patch.stamp.label;
  }
  const std::vector<Installation> every = PresentRegistryInstallations(out);
  // With --verify an installation counts only where its files back its version file: one that
  // holds this package's version must hold every file of it as the manifest says (a file deleted
  // or damaged by hand, or a planted version file, then makes the rule reinstall).
  std::vector<InstalledPatchCheck> checks;
  if (line.verify && !VerifyInstallations(out, patch, every, &checks)) return kExitPatchDamaged;
  // Standard output is the detection rule's answer (a line: installed), so the reasons go to the
  // log alone, for a help desk asking why a machine is not detected.
  CRunLog* log = out.Log();
  for (size_t i = 0; i < every.size(); ++i) {
    const Installation& installation = every[i];
    const bool holds =
        HoldsPatchVersion(installation.folder.c_str(), installation.stamp, version.c_str());
    if (log != nullptr) {
      log->Write("detect: %s holds %s: %s", installation.folder.c_str(),
                 installation.stamp.state != 0 ? installation.stamp.label : "no patch",
                 holds ? "this version or a newer one" : ("older than " + version).c_str());
    }
    if (!holds) return kExitNotCurrent;
    if (!line.verify) continue;
    for (const std::string& text : VerifyLines(patch, installation, checks[i])) {
      if (log != nullptr) log->Write("detect: %s", text.c_str());
    }
    const VerifyVerdict verdict = checks[i].verdict;
    // An installation whose version file says this version is held to this version's files; one
    // whose newer version this manifest cannot describe is taken at its word.
    if (verdict != VerifyVerdict::kMatches && verdict != VerifyVerdict::kNewerPatch &&
        verdict != VerifyVerdict::kOtherPatch)
      return kExitNotCurrent;
  }
  if (every.empty()) {
    if (log != nullptr) log->Write("detect: the registry records no EWARM installation");
    return kExitNoInstallation;
  }
  // The one line a detection rule counts as "installed".
  out.Line("QX48 patch %s or newer in every EWARM installation (%d)", version.c_str(),
           int(every.size()));
  return kExitSuccess;
}

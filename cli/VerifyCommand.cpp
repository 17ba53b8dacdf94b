// qx48patch verify: whether each installation holds this package's patch file for file, checked
// against the manifest built into this program (never against anything in the installation,
// which a standard user may write). repair (InstallCommand.cpp) installs again where it differs.
#include <string>
#include <vector>

#include "cli/CommandGuards.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "cli/JsonText.h"
#include "cli/VerifyInstallations.h"
#include "install/PatchPaths.h"

bool VerifyInstallations(CConsoleOutput& out, const PatchInfo& patch,
                         const std::vector<Installation>& installations,
                         std::vector<InstalledPatchCheck>* checks) {
  ManifestIndex manifest;
  ManifestCheck unreadable{};
  if (!LoadManifestIndex(ManifestOf(patch.folder).c_str(), &manifest, &unreadable) ||
      !manifest.present) {
    out.Error("The patch's manifest cannot be read, so nothing can be verified.");
    return false;
  }
  for (const Installation& installation : installations) {
    checks->push_back(
        VerifyInstalledPatch(patch, manifest, installation.folder.c_str(), installation.stamp));
  }
  return true;
}

std::vector<std::string> VerifyLines(const PatchInfo& patch, const Installation& installation,
                                     const InstalledPatchCheck& check) {
  const std::string folder = installation.folder + ": ";
  const std::string version = patch.stamp.label;
  const std::string installed =
      installation.stamp.state != 0 ? installation.stamp.label : "no patch";
  std::vector<std::string> lines;
  switch (check.verdict) {
    case VerifyVerdict::kMatches:
      lines.push_back(folder + "patch " + version + ", every file as its manifest says");
      break;
    case VerifyVerdict::kDiffers:
      lines.push_back(folder + "patch " + version + ", " +
                      std::to_string(check.differences.size()) +
                      " file(s) differ from its manifest");
      for (const InstalledFileDifference& difference : check.differences)
        lines.push_back(std::string("  ") + DifferenceName(difference.kind) + " " +
                        difference.path);
      break;
    case VerifyVerdict::kOtherPatch:
      lines.push_back(folder + "holds " + installed + ", not this package's " + version);
      break;
    case VerifyVerdict::kNewerPatch:
      lines.push_back(folder + "holds patch " + installed + ", newer than this package's " +
                      version + ": not verified, this package's manifest does not describe it");
      break;
    case VerifyVerdict::kUnreadable:
      lines.push_back(folder + "cannot be verified: " + check.why);
      break;
  }
  return lines;
}

std::string VerifyJson(const std::vector<Installation>& installations,
                       const std::vector<InstalledPatchCheck>& checks) {
  std::string json = "[";
  for (size_t i = 0; i < checks.size() && i < installations.size(); ++i) {
    std::string differences = "[";
    for (const InstalledFileDifference& difference : checks[i].differences) {
      differences += std::string(differences.size() == 1 ? "" : ",") +
                     "{\"kind\":" + JsonString(DifferenceName(difference.kind)) +
                     ",\"path\":" + JsonString(difference.path) + "}";
    }
    json += std::string(i == 0 ? "" : ",") + "{\"folder\":" + JsonString(installations[i].folder) +
            ",\"installedPatch\":" + JsonString(installations[i].stamp.label) +
            ",\"verdict\":" + JsonString(VerdictName(checks[i].verdict)) +
            ",\"why\":" + JsonString(checks[i].why) + ",\"differences\":" + differences + "]}";
  }
  return json + "]";
}

ExitCode RunVerify(const CommandLine& line, CConsoleOutput& out) {
  PatchInfo patch;
  std::vector<Installation> chosen;
  std::vector<std::string> gone;
  std::vector<InstalledPatchCheck> checks;
  ExitCode code = kExitSuccess;
  if (!RequireUsablePatch(out, line, &patch)) {
    code = kExitPatchDamaged;
  } else if (!ChosenInstallations(line, out, &chosen, &gone)) {
    code = kExitNoInstallation;
  } else if (!VerifyInstallations(out, patch, chosen, &checks)) {
    code = kExitPatchDamaged;
  } else {
    for (size_t i = 0; i < checks.size(); ++i) {
      for (const std::string& text : VerifyLines(patch, chosen[i], checks[i]))
        out.Line("%s", text.c_str());
      if (checks[i].verdict != VerifyVerdict::kMatches &&
          checks[i].verdict != VerifyVerdict::kNewerPatch)
        code = kExitFilesDiffer;
    }
  }
  if (line.json) {
    PrintJsonDocument(JsonDocumentStart("verify", patch) +
                      ",\"installations\":" + VerifyJson(chosen, checks) + "," +
                      JsonGoneRecords(gone) + "\"exitCode\":" + std::to_string(code) + "}");
  }
  return code;
}

// qx48patch list: every installation the registry records, as the dialog lists them, with the
// patch each holds; --json for scripts.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "cli/Installations.h"
#include "cli/JsonText.h"
#include "install/PatchCheck.h"

namespace {

void PrintJson(const std::vector<Installation>& installations, const PatchInfo& patch) {
  const bool usable = patch.state == PatchState::kUsable;
  std::string json = JsonDocumentStart("list", patch) + ",\"installations\":[";
  for (size_t i = 0; i < installations.size(); ++i) {
    const Installation& one = installations[i];
    json +=
        std::string(i == 0 ? "" : ",") + "{\"name\":" + JsonString(one.name) +
        ",\"folder\":" + JsonString(one.folder) + ",\"version\":" + JsonString(one.versionText) +
        ",\"installedPatch\":" + JsonString(one.stamp.label) +
        ",\"installedDate\":" + JsonString(one.stamp.state != 0 ? one.stamp.date : "") +
        ",\"current\":" +
        (usable && HoldsPatchVersion(one.folder.c_str(), one.stamp, patch.stamp.label) ? "true"
                                                                                       : "false") +
        "}";
  }
  PrintJsonDocument(json + "]}");
}

}  // namespace

ExitCode RunList(const CommandLine& line, CConsoleOutput& out) {
  const std::vector<Installation> installations = RegistryInstallations();
  const PatchInfo patch = InspectPatch(line.patchFolder);
  if (line.json) {
    PrintJson(installations, patch);
  } else {
    if (patch.state == PatchState::kUsable) {
      out.Line("Patch beside this program: %s (%s)", patch.stamp.label, patch.stamp.date);
    } else {
      out.Line("Patch beside this program: none usable");
    }
    for (const Installation& one : installations) {
      out.Line("%-12s  %-10s  %-11s  %s", one.versionText.c_str(), one.stamp.label,
               patch.state == PatchState::kUsable &&
                       HoldsPatchVersion(one.folder.c_str(), one.stamp, patch.stamp.label)
                   ? "current"
                   : "not current",
               one.folder.c_str());
    }
    if (installations.empty()) out.Line("No EWARM installation is recorded in the registry.");
  }
  return installations.empty() ? kExitNoInstallation : kExitSuccess;
}

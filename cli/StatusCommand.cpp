// qx48patch status: whether the named installations hold this patch's version, as an exit code
// that a detection rule reads (0 every one does, 1 some do not).
#include <vector>

#include "cli/CommandGuards.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "cli/Installations.h"
#include "install/PatchCheck.h"

ExitCode RunStatus(const CommandLine& line, CConsoleOutput& out) {
  PatchInfo patch;
  if (!RequireUsablePatch(out, &patch)) return kExitPatchDamaged;
  std::vector<Installation> chosen;
  if (!ChosenInstallations(line, out, &chosen)) return kExitNoInstallation;
  int notCurrent = 0;
  for (const Installation& installation : chosen) {
    const bool current = HoldsPatchVersion(installation.stamp, patch);
    if (!current) ++notCurrent;
    out.Line("%s: %s, %s", installation.folder.c_str(), installation.stamp.label,
             current ? "current" : "not current");
  }
  return notCurrent == 0 ? kExitSuccess : kExitNotCurrent;
}

#include "bench/PhaseTiming.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "bench/ChildRun.h"

std::string TimePhases(const std::string& front, const std::string& installation,
                       bool clearOldPatch, const std::string& logPath, PhaseTiming* timing) {
  const std::string command =
      "\"" + front + "\" \"" + installation + "\" " + (clearOldPatch ? "clear" : "keep");
  ChildRun run;
  std::string fault = RunChild(command, logPath, &run);
  if (!fault.empty()) return fault;
  if (run.exitCode != 0) return "the install failed: " + run.printed;
  std::istringstream lines(run.printed);
  int named = 0;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t space = line.rfind(' ');
    if (space == std::string::npos) continue;
    const std::string name = line.substr(0, space);
    const char* value = line.c_str() + space + 1;
    if (name == "peak-working-set") timing->peakWorkingSet = strtoull(value, nullptr, 10);
    if (name.rfind("phase ", 0) != 0) continue;
    const std::string phase = name.substr(6);
    if (phase == "patch check") timing->patchCheck = strtod(value, nullptr);
    if (phase == "total") timing->total = strtod(value, nullptr);
    for (int i = 0; i < kInstallPhaseCount; ++i) {
      if (phase == InstallPhaseName(static_cast<InstallPhase>(i))) {
        timing->phases[i] = strtod(value, nullptr);
        ++named;
      }
    }
  }
  return named == kInstallPhaseCount ? "" : "the front printed no phases: " + run.printed;
}

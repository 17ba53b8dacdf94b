// The install benchmark's timing front: the install core the program runs, driven in this
// process without a window, so that the time of each phase of one install can be printed. The
// benchmark puts it beside the program, where it finds the same patch.
//
//   QX48_install_phases <installation folder> clear|keep
//
// Prints "phase <name> <seconds>" for the patch check and each phase of the install, "files <n>",
// "outcome <n>" and "peak-working-set <bytes>" (read at the end); exits 0 when the install is done.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>

#include "bench/Stopwatch.h"
#include "install/PatchCheck.h"
#include "install/PatchPaths.h"
#include "install/PatchRun.h"

namespace {

struct OneInstallation {
  const char* folder;
  BOOL given;
};

const char* Next(void* context) {
  OneInstallation* one = static_cast<OneInstallation*>(context);
  if (one->given) return nullptr;
  one->given = TRUE;
  return one->folder;
}

void Keep(void* context, const InstallEvent& event) {
  if (event.kind == kInstallationFinished) *static_cast<InstallResult*>(context) = *event.result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (strcmp(argv[2], "clear") != 0 && strcmp(argv[2], "keep") != 0)) {
    fprintf(stderr, "usage: QX48_install_phases <installation folder> clear|keep\n");
    return 2;
  }
  const Stopwatch clock;
  char program[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  const PatchInfo patch = InspectPatch(PatchFolderBeside(program));
  const double checked = clock.Seconds();
  InstallResult result;
  result = InstallResult{};
  OneInstallation one{argv[1], FALSE};
  const InstallOptions options{strcmp(argv[2], "clear") == 0};
  const RunTotals totals =
      RunPatchInstall(patch.folder, &patch, InstallationSource{Next, &one}, options,
                      InstallEventSink{Keep, &result});
  const double total = clock.Seconds();
  printf("phase patch check %.4f\n", checked);
  for (int phase = 0; phase < kInstallPhaseCount; ++phase) {
    printf("phase %s %.4f\n", InstallPhaseName(static_cast<InstallPhase>(phase)),
           result.phases.seconds[phase]);
  }
  printf("phase total %.4f\n", total);
  printf("files %d\noutcome %d\n", result.files, static_cast<int>(result.outcome));
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  printf("peak-working-set %llu\n", static_cast<unsigned long long>(memory.PeakWorkingSetSize));
  if (!totals.patchUsable) printf("reason %s\n", totals.patchFault.c_str());
  if (result.outcome != kInstallDone) printf("reason %s\n", result.reason.c_str());
  return totals.done == 1 ? 0 : 1;
}

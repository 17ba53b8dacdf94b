#include "install/PatchRun.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "install/InstallIntoInstallation.h"

namespace {

void Count(RunTotals* totals, const InstallResult& result) {
  ++totals->installations;
  switch (result.outcome) {
    case kInstallDone:
      ++totals->done;
      return;
    case kInstallRolledBack:
    case kInstallSkipped:
    case kInstallFileInUse:
      ++totals->rolledBack;
      break;
    case kInstallNotRestored:
    case kInstallRefused:
      ++totals->notRestored;
      break;
    case kInstallSameFolder:  // not reached: the run counts one folder once
      return;
  }
  if (totals->firstReason.empty()) totals->firstReason = result.reason;
}

}  // namespace

RunTotals RunPatchInstall(const std::string& patchFolder, const PatchInfo* inspected,
                          InstallationSource installations, InstallOptions options,
                          InstallEventSink events) {
  RunTotals totals;
  const DWORD start = GetTickCount();
  PatchInfo own;
  if (inspected == nullptr) {
    own = InspectPatch(patchFolder);
    inspected = &own;
  }
  const PatchInfo& patch = *inspected;
  totals.patchUsable = patch.state == PatchState::kUsable;
  if (!totals.patchUsable) {
    // A damaged patch would leave every installation with a damaged patch: nothing is touched.
    totals.patchFault = patch.state == PatchState::kMissing ? "no patch folder beside the program"
                                                            : patch.fault;
  } else {
    std::vector<FileIdentityInfo> installed;  // the configuration folders installed so far
    for (const char* folder = installations.next(installations.context); folder != nullptr;
         folder = installations.next(installations.context)) {
      InstallResult result;
      InstallPatch(patch, folder, options, events, &result, &installed);
      if (result.outcome == kInstallSameFolder) continue;  // installed and reported once
      Count(&totals, result);
      PostEvent(events, InstallEvent{kInstallationFinished, folder, "", 0, &result, nullptr});
    }
  }
  // Unsigned difference: one wrap of the tick counter during the run is harmless.
  totals.elapsedMs = GetTickCount() - start;
  PostEvent(events, InstallEvent{kRunFinished, "", "", 0, nullptr, &totals});
  return totals;
}

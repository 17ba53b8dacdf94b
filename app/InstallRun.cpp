#include "app/InstallRun.h"

#include <cstdio>

#include "install/PatchInstall.h"
#include "install/PatchManifest.h"
#include "install/PatchPaths.h"

namespace {

// What one run was asked for: the worker's own copy, so that the next command cannot change it.
struct InstallRunRequest {
  InstallationTable* table;
  InstallOptions options;
};

void PostToMailbox(void* mailbox, const char* line) {
  PostStatus(static_cast<StatusMailbox*>(mailbox), "%s", line);
}

// The patch against its manifest, once per run. FALSE, with the reason in text, when the patch is
// damaged; a patch without a manifest passes as it is.
BOOL PatchIsIntact(char* text, size_t size) {
  ManifestCheck check;
  const ManifestVerdict verdict =
      CheckPatchAgainstManifest(GetPatchFolder(), GetPatchManifest(), &check);
  DescribeManifestCheck(check, text, size);
  return verdict == kManifestAbsent || verdict == kManifestMatches;
}

}  // namespace

void StartInstallRun(InstallationTable& table, InstallOptions options) {
  table.running = 1;
  InstallRunRequest* request = new InstallRunRequest{&table, options};
  HANDLE worker = CreateThread(NULL, 0, InstallWorker, request, 0, NULL);
  if (worker == NULL) {
    delete request;
    // The dialog could never close while the flag stays set.
    table.running = 0;
    PostStatus(&table.statusMailbox, "Install patch could not start");
    return;
  }
  // The previous run's worker has ended (a run starts only while none is active); nobody waits
  // on either, so the older handle is released here.
  if (table.workerThread != NULL) CloseHandle(table.workerThread);
  table.workerThread = worker;
}

DWORD WINAPI InstallWorker(LPVOID parameter) {
  const InstallRunRequest* request = static_cast<InstallRunRequest*>(parameter);
  InstallationTable& table = *request->table;
  const InstallOptions options = request->options;
  delete request;
  const StatusSink status{PostToMailbox, &table.statusMailbox};
  const DWORD start = GetTickCount();
  char reason[kStatusLineSize] = "";
  // A damaged patch would leave every installation with a damaged patch: nothing is touched.
  if (!PatchIsIntact(reason, sizeof reason)) {
    table.running = 0;
    PostStatus(&table.statusMailbox, "Install patch stopped: the patch is damaged (%s)", reason);
    return 1;
  }
  int notRestored = 0;
  int rolledBack = 0;
  // `count` is read anew before every row, so rows added during the run are installed too; each
  // row's `checked` is read only when the worker reaches it.
  for (int i = 0; i < table.count.load(); ++i) {
    const InstallationRow& row = table.rows[i];
    if (row.checked.load() == 0) continue;
    InstallResult result;
    InstallPatch(row.installPath, options, status, &result);
    if (result.outcome == kInstallDone) continue;
    // The reason is the last line of this installation; the final text repeats the first.
    PostStatus(&table.statusMailbox, "Not installed into %s: %s", row.installPath, result.reason);
    if (result.outcome == kInstallNotRestored || result.outcome == kInstallRefused) {
      ++notRestored;
    } else {
      ++rolledBack;
    }
    if (reason[0] == '\0') snprintf(reason, sizeof reason, "%s", result.reason);
  }
  // Unsigned difference: one wrap of the tick counter during the run is harmless.
  const DWORD elapsedMs = GetTickCount() - start;

  // Cleared before the final text is posted, so the dialog never takes the final text while it
  // still sees the run active.
  table.running = 0;
  if (notRestored != 0) {
    // An installation that could not be put back is in a state nobody chose: the gravest news.
    // The text of old for it; the line before it named the installation and why.
    PostStatus(&table.statusMailbox,
               "Install patch finished with %d error(s), total elapse %.3f sec", notRestored,
               elapsedMs * 0.001);
  } else if (rolledBack != 0) {
    PostStatus(
        &table.statusMailbox,
        "Install patch finished with %d installation(s) rolled back, total elapse %.3f sec (%s)",
        rolledBack, elapsedMs * 0.001, reason);
  } else {
    PostStatus(&table.statusMailbox, "Install patch finished, total elapse %.3f sec",
               elapsedMs * 0.001);
  }
  return 1;
}

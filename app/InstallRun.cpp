#include "app/InstallRun.h"

#include "install/PatchInstall.h"

namespace {

// What one run was asked for: the worker's own copy, so that the next command cannot change it.
struct InstallRunRequest {
  InstallationTable* table;
  InstallOptions options;
};

void PostToMailbox(void* mailbox, const char* line) {
  PostStatus(static_cast<StatusMailbox*>(mailbox), "%s", line);
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
  int errors = 0;
  // `count` is read anew before every row, so rows added during the run are installed too; each
  // row's `checked` is read only when the worker reaches it.
  for (int i = 0; i < table.count.load(); ++i) {
    const InstallationRow& row = table.rows[i];
    if (row.checked.load() != 0) {
      errors += InstallPatch(row.installPath, options, status);
    }
  }
  // Unsigned difference: one wrap of the tick counter during the run is harmless.
  const DWORD elapsedMs = GetTickCount() - start;

  // Cleared before the final text is posted, so the dialog never takes the final text while it
  // still sees the run active.
  table.running = 0;
  if (errors == 0) {
    PostStatus(&table.statusMailbox, "Install patch finished, total elapse %.3f sec",
               elapsedMs * 0.001);
  } else {
    PostStatus(&table.statusMailbox,
               "Install patch finished with %d error(s), total elapse %.3f sec", errors,
               elapsedMs * 0.001);
  }
  return 1;
}

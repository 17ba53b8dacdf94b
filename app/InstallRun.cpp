#include "app/InstallRun.h"

#include "install/PatchInstall.h"

void StartInstallRun(InstallationTable& table, BOOL clearOldPatch) {
  table.clearOldPatch = clearOldPatch ? 1 : 0;
  table.running = 1;
  HANDLE worker = CreateThread(NULL, 0, InstallWorker, &table, 0, NULL);
  if (worker == NULL) {
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
  InstallationTable& table = *static_cast<InstallationTable*>(parameter);
  const DWORD start = GetTickCount();
  int errors = 0;
  // `count` is read anew before every row, so rows added during the run are installed too; each
  // row's `checked` is read only when the worker reaches it.
  for (int i = 0; i < table.count.load(); ++i) {
    const InstallationRow& row = table.rows[i];
    if (row.checked.load() != 0) {
      errors += InstallPatch(row, &table.statusMailbox, table.clearOldPatch);
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

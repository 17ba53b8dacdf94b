#include "app/InstallRun.h"

#include <cstdio>

#include "BuildInfo.h"
#include "install/PatchPaths.h"
#include "install/PatchRun.h"
#include "install/RunLog.h"
#include "record/VersionStamp.h"

namespace {

// What one run was asked for: the worker's own copy, so that the next command cannot change it.
struct InstallRunRequest {
  InstallationTable* table;
  std::string patchFolder;
  InstallOptions options;
};

// The checked rows in table order. `count` is read anew before every row, so rows added during
// the run are installed too; each row's `checked` is read only when the run reaches it.
struct CheckedRows {
  InstallationTable* table;
  int next;
};

const char* NextCheckedRow(void* context) {
  CheckedRows* rows = static_cast<CheckedRows*>(context);
  while (rows->next < rows->table->count.load()) {
    const InstallationRow& row = rows->table->rows[rows->next++];
    if (row.checked.load() != 0) return row.installPath;
  }
  return nullptr;
}

// One run of the dialog: where its events are shown, and the log they are written to, the
// console tool's, so that a help desk finds the dialog's runs beside the deployments'.
struct DialogRun {
  InstallationTable* table;
  CRunLog log;
};

// The run's events as the status bar shows them, and each installation's end and the run's in
// the log.
void ShowEvent(void* context, const InstallEvent& event) {
  DialogRun& run = *static_cast<DialogRun*>(context);
  InstallationTable& table = *run.table;
  StatusMailbox* mailbox = &table.statusMailbox;
  if (event.kind == kFileStarted) {
    PostStatus(mailbox, "Copy %s to %s", event.file, event.installation);
    return;
  }
  if (event.kind == kInstallationFinished) {
    // The reason is the last line of this installation; the final text repeats the first.
    if (event.result->outcome != kInstallDone) {
      PostStatus(mailbox, "Not installed into %s: %s", event.installation,
                 event.result->reason.c_str());
      run.log.Write("%s: not installed: %s", event.installation, event.result->reason.c_str());
    } else {
      run.log.Write("%s: installed (%d files)", event.installation, event.result->files);
    }
    return;
  }
  const RunTotals& totals = *event.totals;
  const double seconds = totals.elapsedMs * 0.001;
  // Cleared before the final text is posted, so the dialog never takes the final text while it
  // still sees the run active.
  table.running = 0;
  char text[kStatusTextSize];
  if (!totals.patchUsable) {
    snprintf(text, sizeof text, "Install patch stopped: the patch is damaged (%s)",
             totals.patchFault.c_str());
  } else if (totals.notRestored != 0) {
    // An installation that could not be put back is in a state nobody chose: the gravest news.
    // The text of old for it; the line before it named the installation and why.
    snprintf(text, sizeof text, "Install patch finished with %d error(s), total elapse %.3f sec",
             totals.notRestored, seconds);
  } else if (totals.rolledBack != 0) {
    snprintf(text, sizeof text,
             "Install patch finished with %d installation(s) rolled back, total elapse %.3f sec "
             "(%s)",
             totals.rolledBack, seconds, totals.firstReason.c_str());
  } else {
    snprintf(text, sizeof text, "Install patch finished, total elapse %.3f sec", seconds);
  }
  run.log.Write("end: %s", text);
  PostStatus(mailbox, "%s", text);
}

}  // namespace

void StartInstallRun(InstallationTable& table, const std::string& patchFolder,
                     InstallOptions options) {
  table.running = 1;
  InstallRunRequest* request = new InstallRunRequest{&table, patchFolder, options};
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
  const std::string patchFolder = request->patchFolder;
  delete request;
  CheckedRows rows{&table, 0};
  DialogRun run{&table, {}};
  // The dialog runs elevated, as the console tool's changing runs do, and writes to its log with
  // the same checks; a log that cannot be opened does not stop the user's run.
  std::string why;
  if (run.log.Open(CRunLog::DefaultPath(), true, &why)) {
    VersionStamp patch{};
    ReadVersionFile((patchFolder + "\\" + kVersionFileName).c_str(), &patch);
    run.log.WriteStart("QX48_EWARM_pack " QX48_VERSION_TEXT " (" QX48_ARCH_WORDS ")", patch.label,
                       options.clearOldPatch ? "from its dialog, Clear old patch on"
                                             : "from its dialog, Clear old patch off");
  }
  RunPatchInstall(patchFolder, nullptr, InstallationSource{NextCheckedRow, &rows}, options,
                  InstallEventSink{ShowEvent, &run});
  return 1;
}

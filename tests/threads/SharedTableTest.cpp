// The installation table and its status mailbox in the hands of two threads, as the dialog and
// the install worker hold them during a run: the dialog appends rows and toggles their checks
// while the worker walks the table, reads each row when it reaches it and posts a status line for
// it; the worker clears `running`, and the dialog then rewrites every row's stamp. In the tsan
// build ThreadSanitizer reports any memory the two touch without the order the table's atomics and
// the mailbox's lock give; a plain int in place of `count`, or a row counted before it is filled,
// is such a race.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/InstallationTable.h"
#include "app/StatusMailbox.h"

namespace {

std::string InstallPathOf(int row) {
  return "C:\\EW" + std::to_string(row) + "\\";
}

// Fills a row the way the dialog adds one (AddInstallationFolder), then counts it.
void AppendRow(InstallationTable& table) {
  const int count = table.count.load();
  InstallationRow& row = table.rows[count];
  row.present = 1;
  row.checked = 1;
  snprintf(row.displayName, sizeof row.displayName, "IAR Embedded Workbench IDE - ARM 9.%d", count);
  snprintf(row.installPath, sizeof row.installPath, "%s", InstallPathOf(count).c_str());
  row.versionStamp.state = 1;
  snprintf(row.versionStamp.label, sizeof row.versionStamp.label, "V1.0");
  // Only a complete row is counted: the worker may read it as soon as it is.
  table.count = count + 1;
}

// The install worker's walk (InstallWorker): `count` anew before every row, each row's check
// when the walk reaches it, one status line per checked row; `running` cleared before the final
// line. Returns the folders it installed into.
std::vector<std::string> WalkAsTheWorker(InstallationTable& table) {
  std::vector<std::string> installed;
  for (int i = 0; i < table.count.load(); ++i) {
    const InstallationRow& row = table.rows[i];
    if (row.checked.load() == 0) continue;
    installed.emplace_back(row.installPath);
    PostStatus(&table.statusMailbox, "Copy devices\\QuorVantel\\QX48H410xKx.i79 to %s",
               row.installPath);
    std::this_thread::yield();  // the copy takes a while: the dialog gets its turn
  }
  table.running = 0;
  PostStatus(&table.statusMailbox, "Install patch finished, total elapse %.3f sec", 0.047);
  return installed;
}

TEST(SharedTable, DialogAndWorkerShareRowsChecksAndStatus) {
  constexpr int kRounds = 40;
  constexpr int kFoundAtStart = 8;
  const std::string finalText = "Install patch finished, total elapse 0.047 sec";
  unsigned seed = 1;
  for (int round = 0; round < kRounds; ++round) {
    // Zero-filled, as the process's table is at start.
    std::unique_ptr<InstallationTable> table(new InstallationTable());
    for (int i = 0; i < kFoundAtStart; ++i) AppendRow(*table);
    table->running = 1;
    std::vector<std::string> installed;
    std::thread worker([&] { installed = WalkAsTheWorker(*table); });

    bool finished = false;
    int taken = 0;
    char status[kStatusTextSize];
    while (!finished) {
      if (table->count.load() < kMaxInstallations) AppendRow(*table);
      seed = seed * 1103515245u + 12345u;
      const int toggled = static_cast<int>((seed >> 16) % table->count.load());
      table->rows[toggled].checked = table->rows[toggled].checked.load() == 0 ? 1 : 0;
      if (TakeStatus(&table->statusMailbox, status)) {
        ++taken;
        const std::string text(status);
        finished = text == finalText;
        if (!finished) {
          ASSERT_EQ(text.rfind("Copy devices\\QuorVantel\\QX48H410xKx.i79 to C:\\EW", 0), 0u)
              << text;
        }
      }
    }
    // The final line comes after `running` is cleared: the run is over when the dialog sees it.
    EXPECT_EQ(table->running.load(), 0);
    worker.join();

    // What the dialog does once the run is over (ProbeAllRows): every stamp read anew.
    for (int i = 0; i < table->count.load(); ++i) {
      snprintf(table->rows[i].versionStamp.label, kStampTextSize, "V2.0");
    }
    EXPECT_GE(taken, 1);
    // Every folder the worker installed into was a whole row: the path of its own index.
    int previous = -1;
    for (const std::string& folder : installed) {
      const int row = atoi(folder.c_str() + strlen("C:\\EW"));
      EXPECT_EQ(folder, InstallPathOf(row));
      EXPECT_GT(row, previous) << "rows are walked in order, each once";
      previous = row;
    }
  }
}

}  // namespace

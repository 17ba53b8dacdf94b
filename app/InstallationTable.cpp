#include "app/InstallationTable.h"

#include <cstdio>
#include <cstring>

#include "classlib/afx.h"
#include "install/ProbeInstalledPatch.h"
#include "toolchain/InstallRecord.h"

namespace {

InstallationTable g_installationTable;  // static storage: zero-filled before main

void ClearRow(InstallationRow& row) {
  memset(row.displayName, 0, sizeof row.displayName);
  memset(row.installPath, 0, sizeof row.installPath);
  row.present = 0;
  row.checked = 0;
  memset(&row.versionStamp, 0, sizeof row.versionStamp);
}

}  // namespace

InstallationTable& TheInstallationTable() {
  return g_installationTable;
}

void ResetInstallationTable(InstallationTable& table) {
  for (InstallationRow& row : table.rows) ClearRow(row);
  table.count = 0;
  table.running = 0;
  table.workerThread = NULL;
  table.statusMailbox.busy = 0;
  table.statusMailbox.pending = 0;
  memset(table.statusMailbox.text, 0, sizeof table.statusMailbox.text);
}

void CopyInstallationRow(InstallationRow& to, const InstallationRow& from) {
  memcpy(to.displayName, from.displayName, sizeof to.displayName);
  memcpy(to.installPath, from.installPath, sizeof to.installPath);
  to.present = from.present;
  to.checked = from.checked.load();
  to.versionStamp = from.versionStamp;
}

void AppendListedInstallations(InstallationTable& table, const InstallRecordList& listed) {
  for (const InstallRecord& record : listed) {
    const int count = table.count.load();
    if (count >= kMaxInstallations) return;
    InstallationRow& row = table.rows[count];
    ClearRow(row);
    row.present = 1;
    row.checked = 1;
    snprintf(row.displayName, sizeof row.displayName, "IAR Embedded Workbench IDE - ARM %s",
             record.versionText);
    snprintf(row.installPath, sizeof row.installPath, "%s", record.installPath);
    ProbeInstalledPatch(&row.versionStamp, row.installPath);
    table.count = count + 1;
  }
}

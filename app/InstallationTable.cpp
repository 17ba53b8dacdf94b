#include "app/InstallationTable.h"

#include <cstdio>
#include <cstring>

#include "classlib/afx.h"
#include "install/ProbeInstalledPatch.h"
#include "toolchain/InstallRecord.h"

namespace {

InstallationTable g_installationTable;  // static storage: zero-filled before main

// The version texts accepted so far, in list order; row i of the table shows text i.
CStringArray& AcceptedVersionTexts() {
  static CStringArray texts;
  return texts;
}

void ClearRow(InstallationRow& row) {
  memset(row.displayName, 0, sizeof row.displayName);
  memset(row.installPath, 0, sizeof row.installPath);
  row.present = 0;
  row.checked = 0;
  memset(&row.versionStamp, 0, sizeof row.versionStamp);
}

}  // namespace

InstallationTable& TheInstallationTable() { return g_installationTable; }

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

BOOL InsertFoundInstallation(InstallationTable& table, int rowsInUse, const InstallRecord& record) {
  if (rowsInUse < 0 || rowsInUse >= kMaxInstallations) return FALSE;
  CStringArray& texts = AcceptedVersionTexts();

  int position = static_cast<int>(texts.GetSize());
  for (int i = 0; i < texts.GetSize(); ++i) {
    int order = _stricmp(record.versionText, texts[i]);
    if (order == 0) return FALSE;  // the first installation of a version stays
    if (order < 0) {
      position = i;
      break;
    }
  }
  texts.InsertAt(position, record.versionText);

  for (int i = rowsInUse; i > position; --i) CopyInstallationRow(table.rows[i], table.rows[i - 1]);
  InstallationRow& row = table.rows[position];
  ClearRow(row);
  row.present = 1;
  row.checked = 1;
  snprintf(row.displayName, sizeof row.displayName, "IAR Embedded Workbench IDE - ARM %s",
           record.versionText);
  snprintf(row.installPath, sizeof row.installPath, "%s", record.installPath);
  ProbeInstalledPatch(&row.versionStamp, row.installPath);
  return TRUE;
}

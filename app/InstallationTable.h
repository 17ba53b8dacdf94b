#pragma once
#include <atomic>
#include <cstdint>

#include "app/StatusMailbox.h"
#include "classlib/Platform.h"
#include "record/VersionStamp.h"
#include "toolchain/ListedInstallations.h"

// The process-wide table of installations, shared by the dialog (user-interface thread) and the
// install worker. Rows are only appended; a row is complete before `count` includes it.
constexpr int kMaxInstallations = kMaxListedInstallations;
constexpr int kRowTextSize = 1024;  // displayName and installPath: 1023 characters and a terminator

struct InstallationRow {
  char displayName[kRowTextSize];
  char installPath[kRowTextSize];  // never changed once the row counts
  int32_t present;                 // 1: the row holds an installation
  std::atomic<int32_t> checked;  // written by the dialog, read by the worker as it reaches the row
  VersionStamp versionStamp;
};

struct InstallationTable {
  InstallationRow rows[kMaxInstallations];
  std::atomic<int32_t> count;  // raised by the dialog only after the new row is filled
  std::atomic<int32_t>
      running;          // set by the dialog before the worker starts, cleared by the worker
  HANDLE workerThread;  // the latest run's worker; nothing waits on it
  StatusMailbox statusMailbox;
};

// The one table of the process, zero-filled before anything uses it.
InstallationTable& TheInstallationTable();

// Empties the table, run state included.
void ResetInstallationTable(InstallationTable& table);

// Appends the listed installations (SelectListedInstallations: already chosen and in order) as
// checked rows with their stamps, each complete before `count` includes it.
void AppendListedInstallations(InstallationTable& table, const InstallRecordList& listed);

// Copies one row's fields into another (rows hold an atomic and cannot be assigned).
void CopyInstallationRow(InstallationRow& to, const InstallationRow& from);

#pragma once
#include <windows.h>

#include <string>

#include "install/InstallPhases.h"

// What an install run reports as it goes, typed, to whoever shows it: the dialog formats its
// status lines from these, the console tool its progress, log and exit code. Nothing here is
// text to be read back.

// How the install into one installation ended.
enum InstallOutcome {
  kInstallDone,         // every file arrived
  kInstallRolledBack,   // something failed; the installation is as it was before, byte for byte
  kInstallSkipped,      // not touched: no patch, no installation, no undo area
  kInstallFileInUse,    // not touched: a file to be replaced or cleared is in use; a retry may do
  kInstallNotRestored,  // something failed and undoing it failed too; the undo area is kept
  kInstallRefused,      // not touched: an undo area there was not made by this program, or its
                        // journal names a place it may not, or its folders are links or lead
                        // elsewhere; it stays for a person to look at
  kInstallSameFolder,   // not touched: the folder of an installation before it in the run, where
                        // the patch went already (two records or two names of one folder)
};

struct InstallResult {
  InstallOutcome outcome = kInstallDone;
  int files = 0;              // patch files the install began to place
  std::string reason;         // why it is not done, for the user; empty when done
  InstallPhaseTimes phases{};  // where its time went
};

// A whole run, when it ends.
struct RunTotals {
  BOOL patchUsable = FALSE;  // FALSE: the patch was refused and no installation was touched
  std::string patchFault;    // why it was refused
  int installations = 0;     // installations the run reached
  int done = 0;
  int rolledBack = 0;   // rolled back or skipped: each is as it was before the run
  int notRestored = 0;  // not restored or refused: each needs a person
  DWORD elapsedMs = 0;
  std::string firstReason;  // the reason of the first installation that is not done
};

enum InstallEventKind {
  kFileStarted,           // a patch file is about to be placed
  kInstallationFinished,  // one installation has ended, for good or not
  kRunFinished,           // the last event of a run
};

struct InstallEvent {
  InstallEventKind kind;
  const char* installation;     // the installation folder as given; "" for kRunFinished
  const char* file;             // kFileStarted: its path below the patch folder
  int filesStarted;             // kFileStarted: in this installation so far, this one included
  const InstallResult* result;  // kInstallationFinished
  const RunTotals* totals;      // kRunFinished
};

// Where the events go: a function and its context. post may be null: nothing is reported.
struct InstallEventSink {
  void (*post)(void* context, const InstallEvent& event);
  void* context;
};

inline void PostEvent(const InstallEventSink& sink, const InstallEvent& event) {
  if (sink.post != nullptr) sink.post(sink.context, event);
}

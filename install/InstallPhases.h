#pragma once
#include <windows.h>

// Where one install's time goes, phase by phase, so that its cost can be read without a
// profiler: each phase's seconds from the performance counter. The install fills them in its
// result; nothing in the install depends on them.

enum InstallPhase {
  kPhaseManifest,   // the manifest read into the index each copy is compared with
  kPhaseRecovery,   // what a killed run left, undone
  kPhaseFilesInUse, // each installed file the install would replace or move, looked at for use
  kPhaseWalk,       // the copy walk's own work: listings, looks and checks of each entry
  kPhaseClear,      // vendor folders moved into the undo area
  kPhaseJournal,    // journal lines written
  kPhaseCopies,     // the patch files copied (and hashed), each made new in its own name
  kPhaseBackups,    // each replaced file moved into the undo area as its backup
  kPhaseCommit,     // the commit line, the older kept generation removed, the undo area kept
  kPhaseRollBack,   // a failed install undone
  kInstallPhaseCount,
};

// The phases' names as the benchmark prints them.
const char* InstallPhaseName(InstallPhase phase);

struct InstallPhaseTimes {
  double seconds[kInstallPhaseCount];
};

// Adds the time from its making to its end to one phase of times (nothing when times is null).
class PhaseTimer {
 public:
  PhaseTimer(InstallPhaseTimes* times, InstallPhase phase) : times_(times), phase_(phase) {
    if (times_ != nullptr) QueryPerformanceCounter(&start_);
  }
  ~PhaseTimer();
  PhaseTimer(const PhaseTimer&) = delete;
  PhaseTimer& operator=(const PhaseTimer&) = delete;

 private:
  InstallPhaseTimes* times_;
  InstallPhase phase_;
  LARGE_INTEGER start_{};
};

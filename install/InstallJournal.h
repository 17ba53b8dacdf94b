#pragma once
#include <windows.h>

#include <cstdint>

// One installation's install as a transaction. Before each step a line goes into the journal in
// the undo area <config>\QX48_EWARM_patch.undo; what the step replaces or removes is moved into
// that area, never deleted. A failed install is undone step by step in reverse order; a finished
// one keeps the area as <config>\QX48_EWARM_patch.previous (one generation). Neither lies below
// devices, debugger or flashloader, where EWARM reads the patch's files.

constexpr const char* kUndoAreaName = "QX48_EWARM_patch.undo";
constexpr const char* kPreviousAreaName = "QX48_EWARM_patch.previous";
constexpr const char* kJournalName = "journal";
constexpr const char* kTemporarySuffix = ".qx48new";  // a new file beside the one it replaces

struct InstallJournal {
  char config[MAX_PATH];    // the configuration folder; every step lies below it
  char undoArea[MAX_PATH];  // <config>\QX48_EWARM_patch.undo
  HANDLE file;              // the journal, appended to write-through
  int32_t steps;            // lines written so far; names each backup uniquely
  int32_t bucketMade;       // the last folder of backups made in the undo area (-1: none yet)
};

// Makes a fresh undo area below config with an empty journal. FALSE, touching nothing else, when
// an undo area is already there (RecoverUndoArea first) or cannot be made.
BOOL BeginJournal(InstallJournal* journal, const char* config);

// Records that the creator of config made folder before the journal existed (config itself, or
// its parent); a rollback removes it after the undo area is gone.
BOOL JournalCreatedFolder(InstallJournal* journal, const char* folder);

// The steps: each writes its line, then does its work. FALSE when either failed; a later rollback
// puts back what the step did, all of it or any part.
// folder is made (its parent exists).
BOOL JournalMakeFolder(InstallJournal* journal, const char* folder);
// source is copied to a new <destination>.qx48new in the destination's folder and then moved over
// the destination in one step, the old file (existing: its attributes, or INVALID_FILE_ATTRIBUTES
// when there is none) kept in the undo area, so the destination is never half written and a hard
// link to it is replaced, never written into.
BOOL JournalPlaceFile(InstallJournal* journal, const char* source, const char* destination,
                      DWORD existing);
// folder, with everything in it, is moved into the undo area.
BOOL JournalMoveAside(InstallJournal* journal, const char* folder);

// The install arrived: the journal is closed and the undo area becomes the kept generation,
// replacing the older one. FALSE when the area could not be kept (the install stands).
BOOL CommitJournal(InstallJournal* journal);

// Undoes every step of the journal in reverse order and removes the undo area. Returns the number
// of steps that could not be undone; the undo area stays then, for the next run to try again.
int RollBackJournal(InstallJournal* journal);

// An undo area that a killed or failed run left below config is finished: a committed journal is
// kept as the previous generation, any other is rolled back. Returns the number of steps that
// could not be undone (0 as well when there was nothing left over).
int RecoverUndoArea(const char* config);

// Puts back what the install kept as the previous generation below config replaced or removed:
// its journal undone in reverse order, as a failed install's would be; the generation is used up.
// Returns the number of steps that could not be undone (1 when there is no generation, or an undo
// area is in the way); what was not undone stays in the undo area.
int RestorePreviousGeneration(const char* config);

// Removes a file of the install's own, whatever its attributes (a patch file may be read-only).
BOOL DeleteOwnFile(const char* path);

// Removes folder with everything in it, a linked folder as the link, never entered. TRUE when it
// is gone.
BOOL RemoveOwnTree(const char* folder);

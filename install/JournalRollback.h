#pragma once
#include <windows.h>

#include <string>

#include "install/InstallJournal.h"

// Undoing a journal, last step first. The undo area and the kept generation lie in a folder that
// another user may be able to write, so neither is executed unless it is still protected
// (ProtectedArea.h), every line of its journal passes the rules of JournalStep.h, and every path
// in it leads, link by link, where its name says below the configuration folder. One that fails
// any of these is refused whole: nothing is done and the area stays as it is. A step once undone
// leaves the journal, so a rollback that is killed is finished by the next one, never repeated.

struct UndoResult {
  int notUndone = 0;  // steps left to undo, from the first that could not be; the area stays
                      // with exactly those in its journal, for the next run to try
  BOOL refused = FALSE;  // the area or its journal was not trusted: nothing was done
  std::string why;       // for either: the area, and for a refusal the line and what failed
};

// Told after each step a rollback has undone that changed the installation, last step first.
struct UndoProgress {
  void (*stepUndone)(void* context);  // may be null
  void* context;
};

// Undoes every step of the journal in reverse order and removes the undo area.
UndoResult RollBackJournal(InstallJournal* journal);

// An undo area that a killed or failed run left below config is finished: a committed journal is
// kept as the previous generation, any other is rolled back. Nothing left over is a success.
UndoResult RecoverUndoArea(const char* config);

// Puts back what the install kept as the previous generation below config replaced or removed:
// its journal undone in reverse order, where it lies, as a failed install's would be; the
// generation is used up. No generation, or an undo area in the way, counts as one step not undone;
// what was not undone stays in the generation.
UndoResult RestorePreviousGeneration(const char* config, UndoProgress progress = UndoProgress{});

// TRUE when the result is a full success.
inline BOOL Undone(const UndoResult& result) {
  return result.notUndone == 0 && !result.refused;
}

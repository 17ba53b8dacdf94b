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

// The folders an install made before its journal (arm\config, and arm with it), which undoing
// that install takes back last. A caller that holds them open (the installation's checked
// folders, held so that nobody can swap them for links while the steps are undone) is told them
// instead, and removes them once it lets go.
struct MadeFolders {
  std::string config;
  int levels = 0;  // 0: none; 1: the configuration folder; 2: it and its parent
};
// Removes the made folders, each only while empty. TRUE when none of them is left.
BOOL RemoveMadeFolders(const MadeFolders& made);

// Undoes every step of the journal in reverse order and removes the undo area; with made, the
// folders the install made are left for the caller.
UndoResult RollBackJournal(InstallJournal* journal, MadeFolders* made = nullptr);

// An undo area that a killed or failed run left below config is finished: a committed journal is
// kept as the previous generation, any other is rolled back. Nothing left over is a success.
UndoResult RecoverUndoArea(const char* config, MadeFolders* made = nullptr);

// Puts back what the install kept as the previous generation below config replaced or removed:
// its journal undone in reverse order, where it lies, as a failed install's would be; the
// generation is used up. No generation, or an undo area in the way, counts as one step not undone;
// what was not undone stays in the generation.
UndoResult RestorePreviousGeneration(const char* config, UndoProgress progress = UndoProgress{},
                                     MadeFolders* made = nullptr);

// TRUE when the result is a full success.
inline BOOL Undone(const UndoResult& result) {
  return result.notUndone == 0 && !result.refused;
}

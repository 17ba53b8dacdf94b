#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "classlib/Platform.h"

// The journal's steps as one typed unit: the install writes them and the rollback reads them back
// here, and nowhere else. A journal lies in a folder that another user may have written, so what
// is read back is untrusted: every path in it is relative (to the configuration folder, or for
// what a step keeps, to the undo area) and passes the entry-name rules, and a journal with one
// line that fails is never executed.

constexpr const char* kUndoAreaName = "QX48_EWARM_patch.undo";
constexpr const char* kPreviousAreaName = "QX48_EWARM_patch.previous";
constexpr const char* kJournalName = "journal";
// What earlier versions named a new file beside the one it replaced; nothing makes one now.
constexpr const char* kTemporarySuffix = ".qx48new";
// The first line of every journal; a journal without it, or of another layout, is refused like a
// planted one: no release ever wrote another that a run of this version must finish.
constexpr const char* kJournalHeader = "QX48 journal 2";

enum JournalStepKind : char {
  kStepConfigMade = 'M',        // the configuration folder (levels 1), or it and its parent (2),
                                // made before the journal existed
  kStepFolderMade = 'D',        // target made (its parent existed)
  kStepFileMade = 'N',          // target made new in its own name, where there was none
  kStepFileRenewed = 'P',       // target's old file moved to kept, then target made new
  kStepFolderMovedAside = 'V',  // target, a vendor folder, moved whole to kept
  kStepCommitted = 'C',         // the install arrived; nothing to undo
};

// One step. The paths point into the text the journal was read into (or the writer's buffers).
struct JournalStep {
  JournalStepKind kind;
  int levels;             // kStepConfigMade: 1 or 2
  const char* target;     // below the configuration folder
  const char* kept;       // below the undo area: the backup, or the folder moved aside
  int line;               // where ParseJournal read it (1 is the file's first line)
};

// Why a journal was refused: the first line that failed (1 is the first line of the file).
struct JournalFault {
  int line = 0;
  std::string why;
};

// The longest line a step may take: three paths of MAX_PATH and the separators.
constexpr size_t kJournalLineSize = 3 * MAX_PATH + 16;

// One step as its journal line, CR LF included, into line (size bytes). FALSE when it does not
// fit or a path fails the rules the reader applies (the writer never writes what it would refuse).
BOOL FormatJournalStep(const JournalStep& step, char* line, size_t size);

// Splits a journal's text (size bytes, changed in place) into its steps, checking every line:
// known kinds with exactly their fields, paths relative and safe. A journal without this
// version's header line is refused at its first line. A last line without its CR LF was cut off
// by a killed run: the step it announced never began, so it is dropped. FALSE, with the line and why,
// on the first line that fails; steps are then left empty.
BOOL ParseJournal(char* text, size_t size, std::vector<JournalStep>* steps, JournalFault* fault);

// The part of path below the folder base, or null when path does not lie strictly below it
// (letter case aside).
const char* PathBelow(const char* path, const char* base);

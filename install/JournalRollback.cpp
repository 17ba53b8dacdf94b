// Undoing a journal: the lines of <undo area>\journal, last first.
#include <cstdio>
#include <cstring>
#include <vector>

#include "install/EntryNames.h"
#include "install/InstallJournal.h"
#include "install/PathSafety.h"

namespace {

constexpr DWORD kMaxJournalSize = 16u << 20;  // far more than the lines of any patch
constexpr int kFields = 4;

struct Step {
  char kind;
  const char* field[kFields - 1];  // pointers into the journal's text
};

BOOL Exists(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The whole journal into text; FALSE when it cannot be read or is larger than any journal.
BOOL ReadJournal(const char* path, std::vector<char>* text) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  const DWORD size = GetFileSize(file, nullptr);
  DWORD read = 0;
  BOOL ok = size != INVALID_FILE_SIZE && size <= kMaxJournalSize;
  if (ok) {
    text->assign(size + 1, '\0');
    ok = size == 0 || (ReadFile(file, text->data(), size, &read, nullptr) && read == size);
  }
  CloseHandle(file);
  return ok;
}

// Splits text into steps, in place. A line that was cut off (the run was killed while writing
// it) announced a step that never began, so it is dropped.
std::vector<Step> ParseSteps(std::vector<char>& text) {
  std::vector<Step> steps;
  char* line = text.data();
  for (char* end; (end = strstr(line, "\r\n")) != nullptr; line = end + 2) {
    *end = '\0';
    Step step{line[0], {"", "", ""}};
    char* at = strchr(line, '\t');
    for (int i = 0; at != nullptr && i < kFields - 1; ++i) {
      *at = '\0';
      step.field[i] = at + 1;
      at = strchr(at + 1, '\t');
    }
    steps.push_back(step);
  }
  return steps;
}

BOOL IsInside(const char* folder, const char* path) {
  const size_t length = strlen(folder);
  return _strnicmp(path, folder, length) == 0 && path[length] == '\\';
}

// Removes a step's temporary. The install makes its temporaries new, never through a link, so one
// that is a link and cannot be removed (Wine removes no link to a read-only file) was never the
// install's: it stays, and the step had not begun.
BOOL RemoveTemporary(const char* temporary) {
  return !Exists(temporary) || DeleteOwnFile(temporary) || !ResolvesToItself(temporary);
}

// Undoes one step; TRUE when what it did is gone (or it had not begun).
BOOL UndoStep(const Step& step) {
  switch (step.kind) {
    case 'D':  // a folder made: it is empty again once every later step is undone
      return !IsFolder(GetFileAttributesA(step.field[0])) || RemoveDirectoryA(step.field[0]);
    case 'A':  // a file added: while its temporary is there, the move never happened
      if (Exists(step.field[0])) return RemoveTemporary(step.field[0]);
      return !Exists(step.field[1]) || DeleteOwnFile(step.field[1]);
    case 'R':  // a file replaced: the backup exists only once the replacement began
      if (Exists(step.field[2])) {
        // The new file may be a read-only patch file, which a move would not replace.
        const DWORD placed = GetFileAttributesA(step.field[1]);
        if (placed != INVALID_FILE_ATTRIBUTES && (placed & FILE_ATTRIBUTE_READONLY) != 0) {
          SetFileAttributesA(step.field[1], placed & ~FILE_ATTRIBUTE_READONLY);
        }
        if (!MoveFileExA(step.field[2], step.field[1],
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
          return FALSE;
        }
      }
      return RemoveTemporary(step.field[0]);
    case 'V':  // a vendor folder moved aside: the copy's new one is empty again by now
      if (!Exists(step.field[1])) return TRUE;
      if (Exists(step.field[0]) && !RemoveDirectoryA(step.field[0])) return FALSE;
      return MoveFileExA(step.field[1], step.field[0], MOVEFILE_WRITE_THROUGH);
    default:
      return FALSE;
  }
}

// Keeps the area of a finished install as the previous generation.
void KeepAsPrevious(const char* config, const char* undoArea) {
  char previous[MAX_PATH];
  if (JoinItemPath(previous, config, kPreviousAreaName, MAX_PATH - 1) && RemoveOwnTree(previous) &&
      MoveFileExA(undoArea, previous, MOVEFILE_WRITE_THROUGH)) {
    return;
  }
  RemoveOwnTree(undoArea);
}

// Undoes the journal of the undo area below config. Returns the steps not undone. A committed
// journal is kept as the previous generation, unless the caller asks to undo it all the same.
int RollBackArea(const char* config, const char* undoArea, bool evenIfCommitted = false) {
  char path[MAX_PATH];
  std::vector<char> text;
  if (!JoinItemPath(path, undoArea, kJournalName, MAX_PATH - 1)) return 1;
  if (!Exists(path)) {
    // Killed before its journal existed: the run had done nothing yet.
    return RemoveOwnTree(undoArea) ? 0 : 1;
  }
  if (!ReadJournal(path, &text)) return 1;
  std::vector<Step> steps = ParseSteps(text);
  if (!steps.empty() && steps.back().kind == 'C' && !evenIfCommitted) {
    KeepAsPrevious(config, undoArea);
    return 0;
  }
  int failed = 0;
  std::vector<const char*> afterArea;  // folders that hold the undo area itself
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
    if (step->kind == 'C') {
      continue;  // the commit mark itself changed nothing
    }
    if (step->kind == 'D' && IsInside(step->field[0], undoArea)) {
      afterArea.push_back(step->field[0]);
    } else if (!UndoStep(*step)) {
      ++failed;
    }
  }
  if (failed != 0) return failed;
  // The paths of afterArea point into text, which outlives the area's removal.
  if (!RemoveOwnTree(undoArea)) return 1;
  for (const char* folder : afterArea) {
    if (Exists(folder) && !RemoveDirectoryA(folder)) ++failed;
  }
  return failed;
}

}  // namespace

int RollBackJournal(InstallJournal* journal) {
  if (journal->file != INVALID_HANDLE_VALUE) {
    CloseHandle(journal->file);
    journal->file = INVALID_HANDLE_VALUE;
  }
  return RollBackArea(journal->config, journal->undoArea);
}

int RecoverUndoArea(const char* config) {
  char undoArea[MAX_PATH];
  if (!JoinItemPath(undoArea, config, kUndoAreaName, MAX_PATH - 1)) return 0;
  const DWORD attributes = GetFileAttributesA(undoArea);
  if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
  // Only an area this program made is undone; a link of that name is not followed.
  if (!IsFolder(attributes) || IsReparsePoint(attributes)) return 1;
  return RollBackArea(config, undoArea);
}

int RestorePreviousGeneration(const char* config) {
  char previous[MAX_PATH];
  char undoArea[MAX_PATH];
  if (!JoinItemPath(previous, config, kPreviousAreaName, MAX_PATH - 1) ||
      !JoinItemPath(undoArea, config, kUndoAreaName, MAX_PATH - 1)) {
    return 1;
  }
  const DWORD attributes = GetFileAttributesA(previous);
  if (!IsFolder(attributes) || IsReparsePoint(attributes) || Exists(undoArea)) return 1;
  // Its journal names the paths of the undo area it was: back under that name, it is undone step
  // by step as a failed install would be.
  if (!MoveFileExA(previous, undoArea, MOVEFILE_WRITE_THROUGH)) return 1;
  return RollBackArea(config, undoArea, true);
}

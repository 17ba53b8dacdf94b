#include "install/JournalStep.h"

#include <cstdio>
#include <cstring>

#include "install/EntryNames.h"

namespace {

constexpr int kMaxFields = 4;

void Refuse(JournalFault* fault, int line, const char* why) {
  fault->line = line;
  snprintf(fault->why, sizeof fault->why, "%s", why);
}

// The length of path's folder part: up to its last backslash, 0 when it has none.
size_t FolderPartLength(const char* path) {
  const char* cut = strrchr(path, '\\');
  return cut == nullptr ? 0 : static_cast<size_t>(cut - path);
}

// TRUE when the first component of path is one of the install's own areas, which no step of an
// install touches as a target.
BOOL IsInOwnArea(const char* path) {
  const size_t first = strcspn(path, "\\");
  for (const char* area : {kUndoAreaName, kPreviousAreaName}) {
    if (first == strlen(area) && _strnicmp(path, area, first) == 0) return TRUE;
  }
  return FALSE;
}

BOOL IsSafeTarget(const char* path) {
  return IsSafeRelativePath(path) && !IsInOwnArea(path);
}

// A temporary is made in its target's folder and named with the temporary suffix.
BOOL IsTemporaryOf(const char* temporary, const char* target) {
  const size_t folder = FolderPartLength(target);
  const size_t length = strlen(temporary);
  const size_t suffix = strlen(kTemporarySuffix);
  return IsSafeTarget(temporary) && FolderPartLength(temporary) == folder &&
         _strnicmp(temporary, target, folder) == 0 && length > suffix + folder &&
         _stricmp(temporary + length - suffix, kTemporarySuffix) == 0;
}

// The paths of a step, checked as the kind asks. The why names the first that fails.
const char* StepProblem(const JournalStep& step) {
  switch (step.kind) {
    case kStepConfigMade:
      return step.levels == 1 || step.levels == 2 ? nullptr : "levels other than 1 or 2";
    case kStepFolderMade:
      return IsSafeTarget(step.target) ? nullptr : "a folder outside the configuration folder";
    case kStepFileMade:
      return IsSafeTarget(step.target) ? nullptr : "a file outside the configuration folder";
    case kStepFileRenewed:
      if (!IsSafeTarget(step.target)) return "a file outside the configuration folder";
      return IsSafeRelativePath(step.kept) ? nullptr : "a backup outside the undo area";
    case kStepFileAdded:
    case kStepFileReplaced:
      if (!IsSafeTarget(step.target)) return "a file outside the configuration folder";
      if (!IsTemporaryOf(step.temporary, step.target)) return "a temporary not beside its file";
      if (step.kind == kStepFileReplaced && !IsSafeRelativePath(step.kept))
        return "a backup outside the undo area";
      return nullptr;
    case kStepFolderMovedAside:
      if (!IsSafeTarget(step.target)) return "a folder outside the configuration folder";
      return IsSafeRelativePath(step.kept) ? nullptr : "a kept folder outside the undo area";
    case kStepCommitted:
      return nullptr;
  }
  return "an unknown kind of step";
}

// A line of the layout written now: the kind, then exactly the fields it has.
const char* ParseLine(char* fields[], int count, JournalStep* step) {
  static const struct {
    JournalStepKind kind;
    int fields;
  } kShapes[] = {{kStepConfigMade, 2},   {kStepFolderMade, 2},       {kStepFileMade, 2},
                 {kStepFileRenewed, 3},  {kStepFileAdded, 3},        {kStepFileReplaced, 4},
                 {kStepFolderMovedAside, 3}, {kStepCommitted, 1}};
  if (strlen(fields[0]) != 1) return "an unknown kind of step";
  for (const auto& shape : kShapes) {
    if (fields[0][0] != shape.kind) continue;
    if (count != shape.fields) return "the wrong number of fields for its kind";
    step->kind = shape.kind;
    switch (shape.kind) {
      case kStepConfigMade:
        step->levels = strcmp(fields[1], "1") == 0 ? 1 : strcmp(fields[1], "2") == 0 ? 2 : 0;
        break;
      case kStepFolderMovedAside:
      case kStepFileRenewed:
        step->target = fields[1];
        step->kept = fields[2];
        break;
      default:
        if (count > 1) step->target = fields[1];
        if (count > 2) step->temporary = fields[2];
        if (count > 3) step->kept = fields[3];
    }
    return StepProblem(*step);
  }
  return "an unknown kind of step";
}

// A line of the old layout: kind and three fields, absolute paths. The folders made before the
// journal (the configuration folder and its parent) were written as folders made.
const char* ParseOldLine(char* fields[], int count, const char* config, const char* undoArea,
                         JournalStep* step) {
  if (count != kMaxFields || strlen(fields[0]) != 1) return "not a line of a journal";
  const char kind = fields[0][0];
  step->kind = static_cast<JournalStepKind>(kind);
  const char* a = fields[1];
  const char* b = fields[2];
  const char* c = fields[3];
  switch (kind) {
    case 'D': {
      char parent[MAX_PATH];
      snprintf(parent, sizeof parent, "%.*s", static_cast<int>(FolderPartLength(config)), config);
      if (_stricmp(a, config) == 0 || _stricmp(a, parent) == 0) {
        step->kind = kStepConfigMade;
        step->levels = _stricmp(a, config) == 0 ? 1 : 2;
        break;
      }
      step->target = PathBelow(a, config);
      if (step->target == nullptr) return "a folder outside the configuration folder";
      break;
    }
    case 'A':
    case 'R':
      step->temporary = PathBelow(a, config);
      step->target = PathBelow(b, config);
      if (step->target == nullptr || step->temporary == nullptr)
        return "a file outside the configuration folder";
      if (kind == 'R' && (step->kept = PathBelow(c, undoArea)) == nullptr)
        return "a backup outside the undo area";
      break;
    case 'V':
      step->target = PathBelow(a, config);
      step->kept = PathBelow(b, undoArea);
      if (step->target == nullptr) return "a folder outside the configuration folder";
      if (step->kept == nullptr) return "a kept folder outside the undo area";
      break;
    case 'C':
      break;
    default:
      return "an unknown kind of step";
  }
  return StepProblem(*step);
}

}  // namespace

const char* PathBelow(const char* path, const char* base) {
  const size_t length = strlen(base);
  if (length == 0 || _strnicmp(path, base, length) != 0 || path[length] != '\\') return nullptr;
  return path[length + 1] != '\0' ? path + length + 1 : nullptr;
}

BOOL FormatJournalStep(const JournalStep& step, char* line, size_t size) {
  if (StepProblem(step) != nullptr) return FALSE;
  int length = 0;
  switch (step.kind) {
    case kStepConfigMade:
      length = snprintf(line, size, "M\t%d\r\n", step.levels);
      break;
    case kStepFolderMade:
      length = snprintf(line, size, "D\t%s\r\n", step.target);
      break;
    case kStepFileMade:
      length = snprintf(line, size, "N\t%s\r\n", step.target);
      break;
    case kStepFileRenewed:
      length = snprintf(line, size, "P\t%s\t%s\r\n", step.target, step.kept);
      break;
    case kStepFileAdded:
      length = snprintf(line, size, "A\t%s\t%s\r\n", step.target, step.temporary);
      break;
    case kStepFileReplaced:
      length = snprintf(line, size, "R\t%s\t%s\t%s\r\n", step.target, step.temporary, step.kept);
      break;
    case kStepFolderMovedAside:
      length = snprintf(line, size, "V\t%s\t%s\r\n", step.target, step.kept);
      break;
    case kStepCommitted:
      length = snprintf(line, size, "C\r\n");
      break;
  }
  return length > 0 && static_cast<size_t>(length) < size;
}

BOOL ParseJournal(char* text, size_t size, const char* config, const char* undoArea,
                  std::vector<JournalStep>* steps, JournalFault* fault) {
  steps->clear();
  Refuse(fault, 0, "");
  if (memchr(text, '\0', size) != nullptr) {
    Refuse(fault, 1, "a zero byte in the journal");
    return FALSE;
  }
  text[size] = '\0';
  const BOOL current = strncmp(text, kJournalHeader, strlen(kJournalHeader)) == 0 &&
                       strncmp(text + strlen(kJournalHeader), "\r\n", 2) == 0;
  char* line = current ? text + strlen(kJournalHeader) + 2 : text;
  int number = current ? 2 : 1;
  for (char* end; (end = strstr(line, "\r\n")) != nullptr; line = end + 2, ++number) {
    *end = '\0';
    char* fields[kMaxFields + 1] = {};
    int count = 0;
    for (char* at = line;; ++at) {
      char* tab = strchr(at, '\t');
      if (count == kMaxFields) {
        count = kMaxFields + 1;  // too many fields: no kind has them
        break;
      }
      fields[count++] = at;
      if (tab == nullptr) break;
      *tab = '\0';
      at = tab;
    }
    JournalStep step{kStepCommitted, 0, "", "", "", 0};
    const char* problem = count > kMaxFields ? "too many fields"
                          : current          ? ParseLine(fields, count, &step)
                                             : ParseOldLine(fields, count, config, undoArea, &step);
    if (problem != nullptr) {
      Refuse(fault, number, problem);
      steps->clear();
      return FALSE;
    }
    step.line = number;
    steps->push_back(step);
  }
  return TRUE;
}

#include "install/JournalStep.h"

#include <cstdio>
#include <cstring>

#include "install/EntryNames.h"

namespace {

constexpr int kMaxFields = 3;  // the kind and at most two paths

void Refuse(JournalFault* fault, int line, const char* why) {
  fault->line = line;
  fault->why = why;
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
  } kShapes[] = {{kStepConfigMade, 2},  {kStepFolderMade, 2},       {kStepFileMade, 2},
                 {kStepFileRenewed, 3}, {kStepFolderMovedAside, 3}, {kStepCommitted, 1}};
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
    }
    return StepProblem(*step);
  }
  return "an unknown kind of step";
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
    case kStepFolderMovedAside:
      length = snprintf(line, size, "V\t%s\t%s\r\n", step.target, step.kept);
      break;
    case kStepCommitted:
      length = snprintf(line, size, "C\r\n");
      break;
  }
  return length > 0 && static_cast<size_t>(length) < size;
}

BOOL ParseJournal(char* text, size_t size, std::vector<JournalStep>* steps, JournalFault* fault) {
  steps->clear();
  Refuse(fault, 0, "");
  if (memchr(text, '\0', size) != nullptr) {
    Refuse(fault, 1, "a zero byte in the journal");
    return FALSE;
  }
  text[size] = '\0';
  if (strncmp(text, kJournalHeader, strlen(kJournalHeader)) != 0 ||
      strncmp(text + strlen(kJournalHeader), "\r\n", 2) != 0) {
    Refuse(fault, 1, "not a journal of this version");
    return FALSE;
  }
  char* line = text + strlen(kJournalHeader) + 2;
  int number = 2;
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
    JournalStep step{kStepCommitted, 0, "", "", 0};
    const char* problem = count > kMaxFields ? "too many fields" : ParseLine(fields, count, &step);
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

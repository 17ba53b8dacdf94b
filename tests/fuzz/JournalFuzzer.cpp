// Any bytes as a journal found in an undo area, as another user may have written it. Checks that
// the reader never reads or writes past its text, that a journal it accepts holds only paths that
// stay below their folder (relative, no "..", no drive, stream or device name, no target in the
// install's own areas), and that every accepted step, written again by the writer and read back,
// is the same step.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "install/EntryNames.h"
#include "install/JournalStep.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

bool StaysBelow(const char* path) {
  return path[0] == '\0' || IsSafeRelativePath(path);
}

bool InOwnArea(const char* path) {
  for (const char* area : {kUndoAreaName, kPreviousAreaName}) {
    const size_t n = strlen(area);
    if (_strnicmp(path, area, n) == 0 && (path[n] == '\0' || path[n] == '\\')) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exactly the text and its terminator on the heap, as the reader gets it.
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  std::vector<JournalStep> steps;
  JournalFault fault;
  if (!ParseJournal(text.data(), size, &steps, &fault)) {
    FUZZ_CHECK(steps.empty() && fault.line >= 1 && !fault.why.empty());
    return 0;
  }
  for (const JournalStep& step : steps) {
    FUZZ_CHECK(StaysBelow(step.target) && StaysBelow(step.kept));
    FUZZ_CHECK(!InOwnArea(step.target));
    char line[kJournalLineSize];
    FUZZ_CHECK(FormatJournalStep(step, line, sizeof line));
    std::string again = std::string(kJournalHeader) + "\r\n" + line;
    std::vector<char> buffer(again.begin(), again.end());
    buffer.push_back('\0');
    std::vector<JournalStep> read;
    FUZZ_CHECK(ParseJournal(buffer.data(), again.size(), &read, &fault));
    FUZZ_CHECK(read.size() == 1 && read[0].kind == step.kind && read[0].levels == step.levels);
    FUZZ_CHECK(strcmp(read[0].target, step.target) == 0 && strcmp(read[0].kept, step.kept) == 0);
  }
  return 0;
}

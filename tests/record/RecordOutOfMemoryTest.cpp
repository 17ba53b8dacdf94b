// Running out of memory while loading: the load ends, the program goes on, and the version shown
// is "Unknown".
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "record/RecordDocument.h"
#include "record/VersionStamp.h"
#include "tests/classlib/TempFolder.h"

#ifdef QX48_RECORD_OOM_PROBE
#include <sys/wait.h>
#endif

namespace {

#ifdef QX48_RECORD_OOM_PROBE

struct ProbeRun {
  int status = -1;  // as waitpid gives it
  int result = -1;
  long sections = -1;
  char label[64] = "";
  int visited = -1;
};

// Runs the probe (OutOfMemoryProbe.cpp) on file with that much address space to spare.
ProbeRun RunProbe(const std::string& file, int spareMegabytes) {
  ProbeRun run;
  const std::string command =
      std::string(QX48_RECORD_OOM_PROBE) + " '" + file + "' " + std::to_string(spareMegabytes);
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char line[256] = "";
  if (fgets(line, sizeof line, pipe) != nullptr &&
      sscanf(line, "result=%d sections=%ld label=%63s visited=%d", &run.result, &run.sections,
             run.label, &run.visited) != 4) {
    ADD_FAILURE() << "the probe printed: " << line;
  }
  run.status = pclose(pipe);
  return run;
}

TEST(RecordOutOfMemory, TheLoadEndsAndTheVersionIsUnknown) {
  // Within every bound, yet about 75 MB of document: 250,000 sections after the Install one.
  constexpr long kSections = 250001;
  std::string file = "[Install]\nVersion=\"V2.0\"\n";
  for (long i = 1; i < kSections; ++i) file += "[s" + std::to_string(i) + "]\n";
  TempFolder folder;
  const std::string path = folder.Write("big.Version", file);
  const struct {
    int spareMegabytes;
    int result;
    const char* label;
  } cases[] = {
      {512, CRecordDocument::loadComplete, "V2.0"},  // enough: the probe itself works
      {24, CRecordDocument::loadOutOfMemory, kUnknownVersionLabel},
  };
  for (const auto& c : cases) {
    const ProbeRun run = RunProbe(path, c.spareMegabytes);
    ASSERT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0)
        << c.spareMegabytes << " MB spare: the probe did not end normally, status " << run.status;
    EXPECT_EQ(run.result, c.result) << c.spareMegabytes << " MB spare";
    EXPECT_STREQ(run.label, c.label) << c.spareMegabytes << " MB spare";
    EXPECT_EQ(run.visited, 1) << c.spareMegabytes << " MB spare";
    if (c.result == CRecordDocument::loadComplete) {
      EXPECT_EQ(run.sections, kSections);
    } else {
      EXPECT_GT(run.sections, 1) << "memory ran out before the load began";
      EXPECT_LT(run.sections, kSections);
    }
  }
}

#else

TEST(RecordOutOfMemory, TheLoadEndsAndTheVersionIsUnknown) {
  GTEST_SKIP() << "only the host build has a program without sanitizers, and an address-space "
                  "limit to run it under";
}

#endif

}  // namespace

// The journal's lines as the reader takes them: what a killed run or another user may have left.
// Each row is a journal's text and what the reader must make of it.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "install/JournalStep.h"

namespace {

struct Row {
  const char* what;
  std::string text;
  int faultLine;      // 0: accepted
  const char* why;    // part of the reason, when refused
  std::string steps;  // accepted: each step's kind, target and kept, ';'-separated
};

std::string H(const std::string& lines) {
  return std::string(kJournalHeader) + "\r\n" + lines;
}

const std::vector<Row> kRows = {
    {"the header alone", H(""), 0, "", ""},
    {"every kind of step",
     H("M\t2\r\nD\tdevices\\QuorVantel\r\nV\tdebugger\\QuorVantel\t0\\2.dir\r\nN\tdevices\\"
       "QuorVantel\\b.i79\r\nP\tQorvantel.Version\t0\\3.bak\r\nC\r\n"),
     0, "",
     "M::;D:devices\\QuorVantel:;V:debugger\\QuorVantel:0\\2.dir;N:devices\\QuorVantel\\b.i79:;"
     "P:Qorvantel.Version:0\\3.bak;C::;"},
    {"a last line cut off by a kill is dropped", H("D\tdevices\r\nA\tdevi"), 0, "",
     "D:devices:;"},
    // Refused: nothing of such a journal is executed. No release wrote a journal without the
    // header, so one of that layout, even wholly inside the configuration folder, was planted.
    {"the old layout inside the configuration folder",
     "D\tC:\\EW\\arm\t\t\r\nD\tC:\\EW\\arm\\config\t\t\r\nR\tC:\\EW\\arm\\config\\x.i79.qx48new\tC:"
     "\\EW\\arm\\config\\x.i79\tC:\\EW\\arm\\config\\QX48_EWARM_patch.undo\\0\\0.bak\r\nC\t\t\t\r\n",
     1, "not a journal of this version", ""},
    {"the old layout naming a file outside",
     "A\tC:\\nothere.qx48new\tC:\\victim\\secret.txt\t\r\n", 1, "not a journal of this version", ""},
    {"another header", "QX48 journal 1\r\nD\tdevices\r\n", 1, "not a journal of this version", ""},
    {"the steps of earlier versions, that went through a temporary",
     H("A\tdevices\\a.i79\tdevices\\a.i79.qx48new\r\n"), 2, "unknown", ""},
    {"a second bad line after a good one", H("D\tdevices\r\nD\t..\\..\r\n"), 3, "outside", ""},
    {"a drive", H("D\tC:\\Windows\r\n"), 2, "outside", ""},
    {"a UNC path", H("D\t\\\\server\\share\r\n"), 2, "outside", ""},
    {"a leading backslash", H("D\t\\Windows\r\n"), 2, "outside", ""},
    {"a doubled backslash", H("D\tdevices\\\\x\r\n"), 2, "outside", ""},
    {"a stream", H("D\tdevices:evil\r\n"), 2, "outside", ""},
    {"a device name", H("D\tdevices\\CON.txt\r\n"), 2, "outside", ""},
    {"a dot", H("D\t.\r\n"), 2, "outside", ""},
    {"a target in the kept generation", H("N\tQX48_EWARM_patch.previous\\x\r\n"), 2, "outside", ""},
    {"a made file outside", H("N\t..\\x\r\n"), 2, "outside", ""},
    {"a renewed file's backup climbing out of the area", H("P\tx\t..\\..\\x\r\n"), 2, "backup",
     ""},
    {"an unknown kind", H("X\tdevices\r\n"), 2, "unknown", ""},
    {"a kind of two letters", H("DD\tdevices\r\n"), 2, "unknown", ""},
    {"too few fields for its kind", H("P\tx\r\n"), 2, "number of fields", ""},
    {"too many fields", H("C\t\t\t\t\r\n"), 2, "too many", ""},
    {"levels other than 1 or 2", H("M\t3\r\n"), 2, "levels", ""},
    {"a zero byte", H(std::string("D\tdev\0ices\r\n", 12)), 1, "zero byte", ""},
    {"a path longer than any path", H("D\t" + std::string(300, 'a') + "\r\n"), 2, "outside", ""},
};

TEST(JournalStep, EachJournalIsTakenWholeOrRefusedAtItsFirstBadLine) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.what);
    std::vector<char> text(row.text.begin(), row.text.end());
    text.push_back('\0');
    std::vector<JournalStep> steps;
    JournalFault fault;
    const BOOL accepted = ParseJournal(text.data(), row.text.size(), &steps, &fault);
    EXPECT_EQ(row.faultLine == 0, accepted != FALSE) << fault.why;
    EXPECT_EQ(row.faultLine, fault.line);
    EXPECT_NE(std::string::npos, std::string(fault.why).find(row.why)) << fault.why;
    std::string seen;
    for (const JournalStep& step : steps) {
      seen += std::string(1, step.kind) + ":" + step.target + ":" + step.kept + ";";
    }
    EXPECT_EQ(row.steps, seen);
  }
}

// What the writer formats, the reader takes back as it was; what the reader would refuse, the
// writer never writes.
TEST(JournalStep, WrittenStepsReadBackAndRefusedOnesAreNotWritten) {
  const JournalStep written[] = {
      {kStepConfigMade, 1, "", "", 0},
      {kStepFolderMade, 0, "devices\\QuorVantel", "", 0},
      {kStepFolderMovedAside, 0, "debugger\\QuorVantel", "0\\3.dir", 0},
      {kStepFileMade, 0, "devices\\QuorVantel\\b.i79", "", 0},
      {kStepFileRenewed, 0, "Qorvantel.Version", "0\\5.bak", 0},
      {kStepCommitted, 0, "", "", 0}};
  std::string text = std::string(kJournalHeader) + "\r\n";
  for (const JournalStep& step : written) {
    char line[kJournalLineSize];
    ASSERT_TRUE(FormatJournalStep(step, line, sizeof line));
    text += line;
  }
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  std::vector<JournalStep> read;
  JournalFault fault;
  ASSERT_TRUE(ParseJournal(buffer.data(), text.size(), &read, &fault)) << fault.why;
  ASSERT_EQ(std::size(written), read.size());
  for (size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(written[i].kind, read[i].kind);
    EXPECT_EQ(written[i].levels, read[i].levels);
    EXPECT_STREQ(written[i].target, read[i].target);
    EXPECT_STREQ(written[i].kept, read[i].kept);
    EXPECT_EQ(static_cast<int>(i) + 2, read[i].line);
  }
  char line[kJournalLineSize];
  EXPECT_FALSE(FormatJournalStep({kStepFolderMade, 0, "..\\x", "", 0}, line, sizeof line));
  EXPECT_FALSE(FormatJournalStep({kStepFileRenewed, 0, "a", "..\\..\\a.bak", 0}, line, sizeof line));
  EXPECT_FALSE(FormatJournalStep({kStepFolderMade, 0, "devices", "", 0}, line, 8))
      << "a line that does not fit";
}

}  // namespace

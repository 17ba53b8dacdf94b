// The installed patch version of an installation, read from real folders and version files.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "install/ProbeInstalledPatch.h"
#include "record/VersionStamp.h"
#include "tests/support/TestFiles.h"

namespace {

const char kRoot[] = "C:\\qx48-stamp";

std::string Today() {
  return static_cast<LPCTSTR>(TodayText());
}

class VersionStampTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(RemoveTree(kRoot)); }
  void TearDown() override { RemoveTree(kRoot); }

  // An installation with arm\config; with the vendor device folder when patched; with a version
  // file of that content unless it is null.
  std::string Installation(bool patched, const char* versionFile) {
    const std::string folder = std::string(kRoot) + "\\EW";
    EXPECT_TRUE(MakeFolders(folder + "\\arm\\config"));
    if (patched) {
      EXPECT_TRUE(MakeFolders(folder + "\\arm\\config\\devices\\QuorVantel"));
    }
    if (versionFile != nullptr) {
      EXPECT_TRUE(WriteTextFile(folder + "\\arm\\config\\Qorvantel.Version", versionFile));
    }
    return folder;
  }

  VersionStamp Probe(const std::string& folder) {
    VersionStamp stamp;
    memset(&stamp, 0x5A, sizeof stamp);  // whatever was there must not survive
    ProbeInstalledPatch(&stamp, folder.c_str());
    return stamp;
  }
};

struct FileCase {
  const char* what;
  const char* file;
  int state;
  const char* label;
  const char* date;
};

TEST_F(VersionStampTest, VersionFilesGiveStateLabelAndDate) {
  const FileCase cases[] = {
      {"the example file",
       "[Information]\r\nVersion=1.0\r\nExecution=\"QX48_EWARM_pack\"\r\n"
       "Company=\"QuorVantel\"\r\n\r\n[Install]\r\nVersion=\"V2.0\"\r\nDate=\"2019-12-20\"\r\n",
       2, "V2.0", "2019-12-20"},
      {"without quotes", "[Install]\nVersion=V2.0\nDate=2019-12-20\n", 2, "V2.0", "2019-12-20"},
      {"small letters keep their case", "[Install]\nVersion=\"v2.0\"\n", 2, "v2.0", ""},
      {"an unknown version falls back to 1", "[Install]\nVersion=\"V3.0\"\nDate=\"x\"\n", 1, "V3.0",
       "x"},
      {"V1.0", "[Install]\nVersion=\"V1.0\"\nDate=\"2020-01-02\"\n", 1, "V1.0", "2020-01-02"},
      {"two quotes alone", "[Install]\nVersion=\"\"\n", 1, "", ""},
      {"one quote alone", "[Install]\nVersion=\"\n", 1, "\"", ""},
      {"a list takes its first element", "[Install]\nVersion=\"V2.0\",\"V1.0\"\n", 2, "V2.0", ""},
      {"section and keys in other letter case", "[INSTALL]\nversion=\"V2.0\"\nDATE=\"2021\"\n", 2,
       "V2.0", "2021"},
      {"a space inside the quotes is kept", "[Install]\nVersion=\"V2.0 \"\n", 1, "V2.0 ", ""},
      {"only other sections", "[Information]\nVersion=\"V2.0\"\n", 1, "", ""},
      {"an empty file", "", 1, "", ""},
      {"the key Date missing", "[Install]\nVersion=\"V2.0\"\n", 2, "V2.0", ""},
      {"quotes do not group a comma", "[Install]\nVersion=\"V2,0\"\n", 1, "\"V2", ""},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveTree(kRoot);
    const VersionStamp stamp = Probe(Installation(true, c.file));
    EXPECT_EQ(stamp.state, c.state);
    EXPECT_STREQ(stamp.label, c.label);
    EXPECT_STREQ(stamp.date, c.date);
  }
}

TEST_F(VersionStampTest, TheVendorDeviceFolderDecidesWhetherAPatchCounts) {
  const char* file = "[Install]\r\nVersion=\"V2.0\"\r\nDate=\"2019-12-20\"\r\n";
  VersionStamp stamp = Probe(Installation(false, file));
  EXPECT_EQ(stamp.state, 0);
  EXPECT_STREQ(stamp.label, "None");
  EXPECT_EQ(stamp.date, Today());

  RemoveTree(kRoot);
  stamp = Probe(Installation(true, nullptr));
  EXPECT_EQ(stamp.state, 1);
  EXPECT_STREQ(stamp.label, "V1.0");
  EXPECT_EQ(stamp.date, Today());

  // Not even an installation: nothing there at all.
  stamp = Probe(std::string(kRoot) + "\\Missing");
  EXPECT_EQ(stamp.state, 0);
  EXPECT_STREQ(stamp.label, "None");
}

TEST_F(VersionStampTest, OverLongLabelsAndDatesAreCutToTheirFields) {
  const std::string label(300, 'L');
  const std::string date = "\"" + std::string(100, 'D') + "\"";
  const std::string file = "[Install]\nVersion=" + label + "\nDate=" + date + "\n";
  const VersionStamp stamp = Probe(Installation(true, file.c_str()));
  EXPECT_EQ(std::string(stamp.label), std::string(63, 'L'));
  EXPECT_EQ(std::string(stamp.date), std::string(63, 'D'));
  EXPECT_EQ(stamp.state, 1);

  // A value as long as a version file allows is still read, and cut the same way.
  RemoveTree(kRoot);
  const std::string longest = "[Install]\nVersion=" + std::string(4095, 'V') + "\n";
  const VersionStamp cut = Probe(Installation(true, longest.c_str()));
  EXPECT_EQ(std::string(cut.label), std::string(63, 'V'));
}

TEST_F(VersionStampTest, AVersionFileHeldOpenByAnotherProgramGivesAnEmptyStamp) {
  const std::string folder = Installation(true, "[Install]\nVersion=\"V2.0\"\n");
  HANDLE holder = CreateFileA((folder + "\\arm\\config\\Qorvantel.Version").c_str(), GENERIC_READ,
                              0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const VersionStamp stamp = Probe(folder);
  CloseHandle(holder);
  EXPECT_EQ(stamp.state, 1);
  EXPECT_STREQ(stamp.label, "");
  EXPECT_STREQ(stamp.date, "");
}

TEST(VersionLabels, StatesAndLabelsMapBothWays) {
  const struct {
    int state;
    const char* label;
  } labels[] = {{0, "None"}, {1, "V1.0"}, {2, "V2.0"}, {3, "None"}, {-1, "None"}};
  for (const auto& l : labels) EXPECT_STREQ(VersionLabel(l.state), l.label) << l.state;

  EXPECT_EQ(VersionState("V1.0", 7), 1);
  EXPECT_EQ(VersionState("v2.0", 7), 2);
  EXPECT_EQ(VersionState("None", 7), 7);
  EXPECT_EQ(VersionState("", 1), 1);
}

TEST(VersionLabels, StripQuotesRemovesOneEnclosingPairOnly) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"\"V2.0\"", "V2.0"}, {"\"\"", ""},           {"\"", "\""},         {"V2.0", "V2.0"},
               {"\"a\"b\"", "a\"b"}, {"\"\"x\"\"", "\"x\""}, {"\"V2.0", "\"V2.0"}, {"", ""}};
  for (const auto& c : cases) EXPECT_STREQ(StripQuotes(c.in), c.out) << c.in;
}

TEST(VersionLabels, TodayIsTheLocalDateWrittenYearMonthDay) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char expected[16];
  snprintf(expected, sizeof expected, "%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
  EXPECT_EQ(Today(), expected);
}

}  // namespace

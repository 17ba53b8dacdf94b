// The "Installed patch" column: what each installation holds at start, kept current after a
// run; and the column widths a profile record may bring.
#include <cstdio>
#include <regex>

#include "tests/gui/PackDialogFixture.h"

class VersionColumnTest : public PackDialogTest {
 protected:
  // The profile record of the list's column widths, as the class library stores a binary
  // value in an INI file: each byte as two letters, 'A' + low nibble, then 'A' + high nibble.
  static void WriteWidthRecord(const std::vector<int32_t>& values, size_t cutBytes = 0) {
    std::string bytes;
    for (int32_t v : values) {
      for (int i = 0; i < 4; ++i) bytes += char((uint32_t(v) >> (8 * i)) & 0xFF);
    }
    bytes.resize(bytes.size() - cutBytes);
    std::string encoded;
    for (unsigned char b : bytes) {
      encoded += char('A' + (b & 0x0F));
      encoded += char('A' + (b >> 4));
    }
    ASSERT_TRUE(WriteTextFile("C:\\windows\\QX48_EWARM_pack.INI",
                              "[ListCtrls]\r\n1019=" + encoded + "\r\n"));
  }

  std::vector<int> Widths() const {
    std::vector<int> widths;
    for (int c = 0; c < list_->Columns(); ++c) widths.push_back(list_->ColumnWidth(c));
    return widths;
  }
};

TEST_F(VersionColumnTest, ShowsWhatEachInstallationHoldsAndWhatARunInstalled) {
  AddPatchFile("devices\\QuorVantel\\QX48.xml", "<device/>");
  AddPatchFile("Qorvantel.Version",
               "[Information]\r\nVersion=1.0\r\n\r\n[Install]\r\nVersion=\"V2.0\"\r\n"
               "Date=\"2026-12-09\"\r\n");
  const std::string none = MakeInstallation("None"), v1 = MakeInstallation("V1"),
                    v2 = MakeInstallation("V2");
  MarkPatched(v1, "V1.0");
  MarkPatched(v2, "V2.0");
  ASSERT_TRUE(EwarmRegistry::Add("a", none, "9.10"));
  ASSERT_TRUE(EwarmRegistry::Add("b", v1, "9.20"));
  ASSERT_TRUE(EwarmRegistry::Add("c", v2, "9.30"));
  Start();

  EXPECT_EQ(Column(2), (std::vector<std::string>{"None", "V1.0", "V2.0", ""}));
  Screenshot("version-column-at-start");

  HWND button = GetDlgItem(dialog_, kDriverPatch);
  RECT rect;
  GetClientRect(button, &rect);
  ClickClient(button, rect.right / 2, rect.bottom / 2);
  ASSERT_TRUE(
      WaitUntil([&] { return StatusText().rfind("Install patch finished", 0) == 0; }, 60000))
      << StatusText();
  EXPECT_TRUE(WaitUntil(
      [&] {
        return Column(2) == std::vector<std::string>{"V2.0", "V2.0", "V2.0", ""};
      },
      3000));
}

TEST_F(VersionColumnTest, AnUncheckedRowKeepsItsVersionAfterARun) {
  AddPatchFile("devices\\QuorVantel\\QX48.xml", "<device/>");
  AddPatchFile("Qorvantel.Version", "[Install]\r\nVersion=\"V2.0\"\r\nDate=\"2026-12-09\"\r\n");
  const std::string skipped = MakeInstallation("Skipped"), done = MakeInstallation("Done");
  ASSERT_TRUE(EwarmRegistry::Add("a", skipped, "9.10"));
  ASSERT_TRUE(EwarmRegistry::Add("b", done, "9.20"));
  Start();
  ClickCell(0, 0);
  ASSERT_TRUE(WaitUntil([&] { return Cell(0, 0) == "0"; }, 3000));

  HWND button = GetDlgItem(dialog_, kDriverPatch);
  RECT rect;
  GetClientRect(button, &rect);
  ClickClient(button, rect.right / 2, rect.bottom / 2);
  ASSERT_TRUE(
      WaitUntil([&] { return StatusText().rfind("Install patch finished", 0) == 0; }, 60000));
  EXPECT_TRUE(WaitUntil([&] { return Cell(1, 2) == "V2.0"; }, 3000));
  EXPECT_EQ(Cell(0, 2), "None");
}

TEST_F(VersionColumnTest, ThreeColumnsFitTheListWithoutHorizontalScrolling) {
  Start();
  const std::vector<int> widths = Widths();
  ASSERT_EQ(widths.size(), 3u);
  EXPECT_EQ(widths[0], 40);
  RECT client;
  GetClientRect(listWindow_, &client);
  EXPECT_LE(widths[0] + widths[1] + widths[2], client.right);
  EXPECT_EQ(GetWindowLongA(listWindow_, GWL_STYLE) & WS_HSCROLL, 0);
}

TEST_F(VersionColumnTest, AStoredWidthRecordIsAppliedOnlyWhenItFitsTheColumnsExactly) {
  Start();
  const std::vector<int> defaults = Widths();
  ASSERT_EQ(defaults.size(), 3u);
  ASSERT_TRUE(CloseAndWait());

  struct Case {
    const char* what;
    std::vector<int32_t> record;
    size_t cutBytes;
    std::vector<int> expected;
  };
  const std::vector<Case> cases = {
      {"a record for these three columns", {3, 30, 250, 120}, 0, {30, 250, 120}},
      {"a record for the two-column list", {2, 60, 200}, 0, defaults},
      {"a count of 3 but one width short", {3, 30, 250, 120}, 4, defaults},
      {"a count of 3 and two bytes short", {3, 30, 250, 120}, 2, defaults},
      {"a count alone", {3}, 0, defaults},
      {"a record of 0 bytes", {}, 0, defaults},
      {"a record with bytes to spare", {3, 30, 250, 120, 7}, 0, defaults},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteWidthRecord(c.record, c.cutBytes);
    Start();
    EXPECT_EQ(Widths(), c.expected);
    ASSERT_TRUE(CloseAndWait()) << "the program did not survive the record";
  }
}

// Version files far past what a patch writes: one of 400 MB on a single line, one of 80,000
// sections with the install section last. The first is not read (its version shows as unknown),
// the second is read whole; the dialog comes up either way. How long it takes is printed, beside
// a start with ordinary version files, not judged.
TEST_F(VersionColumnTest, HugeVersionFilesGiveABoundedColumnAndTheDialogStillComesUp) {
  const std::string plain = MakeInstallation("Plain"), huge = MakeInstallation("Huge"),
                    sections = MakeInstallation("Sections");
  MarkPatched(plain, "V2.0");
  MarkPatched(huge, "");
  MarkPatched(sections, "");
  {
    HANDLE file = CreateFileA((huge + "\\arm\\config\\Qorvantel.Version").c_str(), GENERIC_WRITE, 0,
                              nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string chunk(1 << 20, 'v');
    DWORD written = 0;
    for (int i = 0; i < 400; ++i) {
      ASSERT_TRUE(WriteFile(file, chunk.data(), DWORD(chunk.size()), &written, nullptr));
    }
    CloseHandle(file);
  }
  std::string many;
  for (int i = 0; i < 80000; ++i) many += "[S" + std::to_string(i) + "]\r\n";
  many += "[Install]\r\nVersion=\"V1.0\"\r\nDate=\"2020-01-02\"\r\n";
  ASSERT_TRUE(WriteTextFile(sections + "\\arm\\config\\Qorvantel.Version", many));
  ASSERT_TRUE(EwarmRegistry::Add("a", plain, "9.10"));

  DWORD start = GetTickCount();
  Start();
  const DWORD ordinary = GetTickCount() - start;
  EXPECT_EQ(Column(2), (std::vector<std::string>{"V2.0", ""}));
  ASSERT_TRUE(CloseAndWait());

  ASSERT_TRUE(EwarmRegistry::Add("b", huge, "9.20"));
  ASSERT_TRUE(EwarmRegistry::Add("c", sections, "9.30"));
  start = GetTickCount();
  Start();
  const DWORD withHugeFiles = GetTickCount() - start;
  EXPECT_EQ(Column(2), (std::vector<std::string>{"V2.0", "Unknown", "V1.0", ""}));
  std::printf(
      "dialog up in %lu ms with ordinary version files, %lu ms with a 400 MB and an "
      "80,000-section one\n",
      static_cast<unsigned long>(ordinary), static_cast<unsigned long>(withHugeFiles));
}

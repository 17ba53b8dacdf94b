// The program starts into its dialog: the installations the registry names, in version-text
// order, each checked, then the add-folder row; the buttons follow the table and the patch folder.
#include "tests/gui/PackDialogFixture.h"

#include <commctrl.h>

#include <cstdio>

namespace {

const char kName[] = "IAR Embedded Workbench IDE - ARM ";

}  // namespace

TEST_F(PackDialogTest, ListsInstallationsInVersionTextOrderAllCheckedThenAddFolderRow) {
  AddPatchFile("devices\\QuorVantel\\QX48.xml", "<device/>");
  // Registry order a, b, c; text order puts 10.10 before 8.50.1 before 9.20.
  ASSERT_TRUE(EwarmRegistry::Add("a", MakeInstallation("EW920"), "9.20"));
  ASSERT_TRUE(EwarmRegistry::Add("b", MakeInstallation("EW1010"), "10.10"));
  ASSERT_TRUE(EwarmRegistry::Add("c", MakeInstallation("EW850"), "8.50.1"));
  Start();

  EXPECT_EQ(Column(1),
            (std::vector<std::string>{std::string(kName) + "10.10", std::string(kName) + "8.50.1",
                                      std::string(kName) + "9.20", kAddFolderText}));
  EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "1", "1", "0"}));
  EXPECT_TRUE(Checked(kSelectAll));
  EXPECT_TRUE(Checked(kClearOldPatch));
  EXPECT_EQ(list_->SelectedRow(), 0);
  EXPECT_TRUE(Enabled(kDriverPatch));
  EXPECT_TRUE(Enabled(IDCANCEL));
  Screenshot("dialog-at-start");
  EXPECT_TRUE(CloseAndWait());
}

TEST_F(PackDialogTest, RepeatedVersionTextsDifferingInCaseGiveOneRowTheFirstFound) {
  ASSERT_TRUE(EwarmRegistry::Add("a", MakeInstallation("First"), "9.10a"));
  ASSERT_TRUE(EwarmRegistry::Add("b", MakeInstallation("Second"), "9.10A"));
  ASSERT_TRUE(EwarmRegistry::Add("c", MakeInstallation("Third"), "9.10a"));
  Start();

  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(Cell(0, 1), std::string(kName) + "9.10a");
  EXPECT_EQ(Cell(1, 1), kAddFolderText);
}

TEST_F(PackDialogTest, WithoutRecordsOnlyTheAddFolderRowAndNothingToInstall) {
  AddPatchFile("devices\\QuorVantel\\QX48.xml", "<device/>");
  Start();

  EXPECT_EQ(Column(1), std::vector<std::string>{kAddFolderText});
  EXPECT_EQ(Cell(0, 0), "0");
  EXPECT_FALSE(Enabled(kDriverPatch));
  EXPECT_TRUE(Enabled(IDCANCEL));
}

TEST_F(PackDialogTest, SixtyFourOfMoreRecordsAreListedAndTheAddFolderRowIsGone) {
  // 70 candidates; the registry yields them in name order, and only the first 64 are offered.
  const std::string folder = MakeInstallation("EW");
  for (int i = 0; i < 70; ++i) {
    char candidate[16], version[16];
    snprintf(candidate, sizeof candidate, "c%02d", i);
    snprintf(version, sizeof version, "v%02d", 69 - i);
    ASSERT_TRUE(EwarmRegistry::Add(candidate, folder, version));
  }
  Start();

  ASSERT_EQ(Rows(), 64);
  // c00..c63 carry v69..v06: the lowest listed version text is v06, the highest v69.
  EXPECT_EQ(Cell(0, 1), std::string(kName) + "v06");
  EXPECT_EQ(Cell(63, 1), std::string(kName) + "v69");
  for (const std::string& text : Column(1)) EXPECT_NE(text, kAddFolderText);

  // With a full table a double click only toggles, even on the last row.
  DoubleClickCell(63, 1);
  EXPECT_TRUE(WaitUntil([&] { return Cell(63, 0) == "0"; }, 3000));
  EXPECT_EQ(Rows(), 64);
}

TEST_F(PackDialogTest, SkipsRecordsWithoutPathOrVersionKeyAndKeepsAnEmptyVersion) {
  const std::string folder = MakeInstallation("EW");
  ASSERT_TRUE(EwarmRegistry::Add("empty-path", "", "1.0"));
  ASSERT_TRUE(EwarmRegistry::SetValue("no-version-key", "", "InstallPath", REG_SZ, folder.c_str(),
                                      DWORD(folder.size() + 1)));
  ASSERT_TRUE(EwarmRegistry::Add("empty-version", folder, ""));
  const std::string longPath(1024, 'x');
  ASSERT_TRUE(EwarmRegistry::Add("too-long", longPath, "2.0"));
  const std::string fitting = "C:\\" + std::string(1020, 'y');
  ASSERT_TRUE(EwarmRegistry::Add("fits", fitting, "3.0"));
  Start();

  EXPECT_EQ(Column(1),
            (std::vector<std::string>{kName, std::string(kName) + "3.0", kAddFolderText}));
}

TEST_F(PackDialogTest, WithoutPatchFolderInstallStaysDisabledUntilOneAppears) {
  ASSERT_TRUE(EwarmRegistry::Add("a", MakeInstallation("EW"), "9.20"));
  Start();
  EXPECT_FALSE(Enabled(kDriverPatch));

  // The folder is looked for again at every refresh: a change of a check box brings one.
  AddPatchFile("devices\\QuorVantel\\QX48.xml", "<device/>");
  ClickCell(0, 0);
  ASSERT_TRUE(WaitUntil([&] { return Cell(0, 0) == "0"; }, 3000));
  Sleep(GetDoubleClickTime() + 100);  // two separate clicks, not a double click
  ClickCell(0, 0);
  ASSERT_TRUE(WaitUntil([&] { return Cell(0, 0) == "1"; }, 3000));
  EXPECT_TRUE(WaitUntil([&] { return Enabled(kDriverPatch); }, 3000));
}

TEST_F(PackDialogTest, ClicksDoubleClicksAndSpaceToggleOnlyWhereTheyShould) {
  AddPatchFile("devices\\QuorVantel\\QX48.xml", "<device/>");
  ASSERT_TRUE(EwarmRegistry::Add("a", MakeInstallation("EW1"), "9.10"));
  ASSERT_TRUE(EwarmRegistry::Add("b", MakeInstallation("EW2"), "9.20"));
  Start();

  // A click in the name column selects without toggling.
  ClickCell(1, 1);
  ASSERT_TRUE(WaitUntil([&] { return list_->SelectedRow() == 1; }, 3000));
  Sleep(200);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "1", "0"}));

  // A click in the check column toggles that row.
  ClickCell(0, 0);
  EXPECT_TRUE(WaitUntil([&] { return Cell(0, 0) == "0"; }, 3000));
  EXPECT_EQ(list_->SelectedRow(), 0);

  // A double click on the name toggles once.
  DoubleClickCell(1, 1);
  EXPECT_TRUE(WaitUntil([&] { return Cell(1, 0) == "0"; }, 3000));

  // Every row unchecked: nothing to install.
  EXPECT_TRUE(WaitUntil([&] { return !Enabled(kDriverPatch); }, 3000));

  // Space toggles the selected row.
  PressKey(listWindow_, VK_SPACE);
  EXPECT_TRUE(WaitUntil([&] { return Cell(1, 0) == "1"; }, 3000));
  EXPECT_TRUE(WaitUntil([&] { return Enabled(kDriverPatch); }, 3000));
  EXPECT_EQ(Cell(0, 0), "0");
}

TEST_F(PackDialogTest, SpaceWithNoSelectedRowChangesNothing) {
  ASSERT_TRUE(EwarmRegistry::Add("a", MakeInstallation("EW1"), "9.10"));
  Start();
  // A click on the empty part of the list clears the selection.
  RECT client;
  GetClientRect(listWindow_, &client);
  ClickClient(listWindow_, client.right / 2, client.bottom - 10);
  ASSERT_TRUE(WaitUntil([&] { return list_->SelectedRow() == -1; }, 3000));

  PressKey(listWindow_, VK_SPACE);
  Sleep(300);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "0"}));
  EXPECT_EQ(WaitForWindow("Select IAR EWARM Path", 300), nullptr);
}

TEST_F(PackDialogTest, SelectAllUnchecksAndChecksEveryRowButNotTheAddFolderRow) {
  AddPatchFile("devices\\QuorVantel\\QX48.xml", "<device/>");
  ASSERT_TRUE(EwarmRegistry::Add("a", MakeInstallation("EW1"), "9.10"));
  ASSERT_TRUE(EwarmRegistry::Add("b", MakeInstallation("EW2"), "9.20"));
  Start();
  HWND selectAll = GetDlgItem(dialog_, kSelectAll);
  RECT box;
  GetClientRect(selectAll, &box);

  ClickClient(selectAll, 6, box.bottom / 2);
  ASSERT_TRUE(WaitUntil([&] { return !Checked(kSelectAll); }, 3000));
  EXPECT_TRUE(WaitUntil([&] { return Column(0) == std::vector<std::string>{"0", "0", "0"}; }));
  EXPECT_TRUE(WaitUntil([&] { return !Enabled(kDriverPatch); }, 3000));

  // Checking one row by hand leaves "Select All" as it is.
  ClickCell(0, 0);
  EXPECT_TRUE(WaitUntil([&] { return Cell(0, 0) == "1"; }, 3000));
  EXPECT_FALSE(Checked(kSelectAll));

  ClickClient(selectAll, 6, box.bottom / 2);
  EXPECT_TRUE(WaitUntil([&] { return Column(0) == std::vector<std::string>{"1", "1", "0"}; }));
  EXPECT_TRUE(Checked(kSelectAll));
}

TEST_F(PackDialogTest, AboutBoxOpensFromTheSystemMenuAndClosesWithOk) {
  Start();
  PostMessageA(dialog_, WM_SYSCOMMAND, 0x0010, 0);
  HWND about = WaitForWindow("About QX48_EWARM_pack");
  ASSERT_NE(about, nullptr);
  PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(about, IDOK)));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, 3000));
  // Other system commands keep their usual meaning: Close ends the program.
  PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(program_.WaitForExit(10000));
}

TEST_F(PackDialogTest, CloseEndsTheProgram) {
  Start();
  EXPECT_TRUE(CloseAndWait());
  EXPECT_FALSE(program_.Running());
}

TEST_F(PackDialogTest, ADoubleClickInTheCheckColumnTogglesTheRowOnce) {
  ASSERT_TRUE(EwarmRegistry::Add("a", MakeInstallation("EW1"), "9.10"));
  Start();
  DoubleClickCell(0, 0);
  Sleep(500);
  EXPECT_EQ(Cell(0, 0), "0");
  DoubleClickCell(0, 0);
  Sleep(500);
  EXPECT_EQ(Cell(0, 0), "1");
}

TEST_F(PackDialogTest, ARightClickSelectsTheRowUnderThePointerAndNeverAllRows) {
  ASSERT_TRUE(EwarmRegistry::Add("a", MakeInstallation("EW1"), "9.10"));
  ASSERT_TRUE(EwarmRegistry::Add("b", MakeInstallation("EW2"), "9.20"));
  Start();
  ClickCell(1, 1, true);
  EXPECT_TRUE(WaitUntil([&] { return list_->SelectedRow() == 1; }, 3000));

  RECT client;
  GetClientRect(listWindow_, &client);
  ClickClient(listWindow_, client.right / 2, client.bottom - 10, true);
  Sleep(500);
  EXPECT_LE(SendMessageA(listWindow_, LVM_GETSELECTEDCOUNT, 0, 0), 1);
  // No check box changed on the way.
  EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "1", "0"}));
}

// Adding an installation by hand: through the shell's folder browser (the add-folder row) and by
// dropping folders on the list. A folder with "arm\config" becomes a checked row before the
// add-folder row; any other folder is refused with a message naming it.
#include <shlobj.h>

#include "tests/gui/PackDialogFixture.h"

class AddInstallationTest : public PackDialogTest {
 protected:
  static constexpr const char* kBrowserTitle = "Browse for Folder";

  // Opens the browser from the add-folder row with a double click, as a user does.
  HWND OpenBrowser() {
    DoubleClickCell(Rows() - 1, 1);
    return WaitForWindow(kBrowserTitle);
  }

  // Chooses path in the open browser and confirms with OK. The browser is told the folder with
  // its own BFFM_SETSELECTION message (the string lives in the program's memory), as a user
  // would click it in the tree.
  void ChooseInBrowser(HWND browser, const std::string& path) {
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, program_.Id());
    ASSERT_NE(process, nullptr);
    void* remote =
        VirtualAllocEx(process, nullptr, path.size() + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(remote, nullptr);
    WriteProcessMemory(process, remote, path.c_str(), path.size() + 1, nullptr);
    // The browser fills its tree after it shows; a selection asked for too early is lost. Its
    // edit box names the selected folder, so ask until it does.
    const std::string leaf = path.substr(path.find_last_of('\\') + 1);
    HWND edit = FindWindowExA(browser, nullptr, "Edit", nullptr);
    bool selected = false;
    for (int attempt = 0; attempt < 10 && !selected; ++attempt) {
      SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(remote));
      selected = WaitUntil([&] { return edit == nullptr || WindowText(edit) == leaf; }, 500);
    }
    EXPECT_TRUE(selected) << "the browser did not select " << path;
    if (edit == nullptr) Sleep(500);
    PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(browser, IDOK)));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(browser); }, 5000));
    CloseHandle(process);
  }

  // Drops the paths on the list as the shell does: a WM_DROPFILES whose HDROP is a DROPFILES
  // block in the program's own memory.
  void DropOnList(const std::vector<std::string>& paths) {
    std::string block(sizeof(DROPFILES), '\0');
    DROPFILES header = {};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = FALSE;
    memcpy(&block[0], &header, sizeof header);
    for (const std::string& path : paths) block += path + '\0';
    block += '\0';
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, program_.Id());
    ASSERT_NE(process, nullptr);
    void* remote =
        VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(remote, nullptr);
    WriteProcessMemory(process, remote, block.data(), block.size(), nullptr);
    CloseHandle(process);
    PostMessageA(listWindow_, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
  }

  // Waits for the refusal and confirms it; returns its text.
  std::string AcceptRefusal() {
    HWND box = WaitForWindow("Message");
    if (box == nullptr) return "<no message>";
    const std::string text = MessageBoxText(box);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    WaitUntil([&] { return !IsWindow(box); }, 3000);
    return text;
  }

  static std::string Refusal(const std::string& path) {
    return "Path \"" + path + "\"\r\n is not valid IAR EWARM path!";
  }
};

TEST_F(AddInstallationTest, ABrowsedInstallationBecomesACheckedRowBeforeTheAddFolderRow) {
  AddPatchFile("devices\\QuorVantel\\QX48.xml", "<device/>");
  ASSERT_TRUE(EwarmRegistry::Add("a", MakeInstallation("EW"), "9.10"));
  const std::string manual = MakeInstallation("Manual");
  Start();

  HWND browser = OpenBrowser();
  ASSERT_NE(browser, nullptr) << "the folder browser did not open";
  Screenshot("folder-browser");
  ChooseInBrowser(browser, manual);

  ASSERT_TRUE(WaitUntil([&] { return Rows() == 3; }, 3000));
  EXPECT_EQ(Cell(1, 1), manual + "\\");
  EXPECT_EQ(Cell(1, 0), "1");
  EXPECT_EQ(Cell(2, 1), kAddFolderText);
  EXPECT_EQ(Cell(2, 0), "0");
  EXPECT_TRUE(WaitUntil([&] { return Enabled(kDriverPatch); }, 3000));
}

TEST_F(AddInstallationTest, AFolderWithoutArmConfigIsRefusedWithTheTwoLineMessage) {
  const std::string plain = std::string(kRoot) + "\\NotEwarm";
  ASSERT_TRUE(MakeFolders(plain + "\\arm"));
  Start();

  HWND browser = OpenBrowser();
  ASSERT_NE(browser, nullptr);
  ChooseInBrowser(browser, plain);
  EXPECT_EQ(AcceptRefusal(), Refusal(plain + "\\"));
  EXPECT_EQ(Rows(), 1);
  EXPECT_EQ(Cell(0, 0), "0");
}

TEST_F(AddInstallationTest, CancellingTheBrowserAddsNothingAndSaysNothing) {
  Start();
  HWND browser = OpenBrowser();
  ASSERT_NE(browser, nullptr);
  PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(browser); }, 5000));
  EXPECT_EQ(WaitForWindow("Message", 500), nullptr);
  EXPECT_EQ(Column(0), std::vector<std::string>{"0"});
  EXPECT_EQ(Column(1), std::vector<std::string>{kAddFolderText});
}

TEST_F(AddInstallationTest, TheSixtyFourthRowTakesTheAddFolderRowsPlace) {
  const std::string folder = MakeInstallation("EW");
  for (int i = 0; i < 63; ++i) {
    char candidate[16], version[16];
    snprintf(candidate, sizeof candidate, "c%02d", i);
    snprintf(version, sizeof version, "9.%02d", i);
    ASSERT_TRUE(EwarmRegistry::Add(candidate, folder, version));
  }
  Start();
  ASSERT_EQ(Rows(), 64);

  DropOnList({folder});
  ASSERT_TRUE(WaitUntil([&] { return Cell(63, 1) == folder + "\\"; }, 5000));
  EXPECT_EQ(Rows(), 64);
  EXPECT_EQ(list_->SelectedRow(), 63);
  // The table is full: a further drop is ignored.
  DropOnList({folder});
  Sleep(500);
  EXPECT_EQ(Rows(), 64);
  EXPECT_EQ(WaitForWindow("Message", 300), nullptr);
}

TEST_F(AddInstallationTest, DroppedFoldersAreAddedOrRefusedOneByOneInDropOrder) {
  const std::string first = MakeInstallation("DropA");
  const std::string second = MakeInstallation("DropB");
  const std::string invalid = std::string(kRoot) + "\\NotEwarm";
  ASSERT_TRUE(MakeFolders(invalid));
  Start();

  DropOnList({first});
  ASSERT_TRUE(WaitUntil([&] { return Rows() == 2; }, 5000));
  EXPECT_EQ(Cell(0, 1), first + "\\");

  DropOnList({invalid});
  EXPECT_EQ(AcceptRefusal(), Refusal(invalid + "\\"));
  EXPECT_EQ(Rows(), 2);

  DropOnList({second, invalid, first});
  EXPECT_EQ(AcceptRefusal(), Refusal(invalid + "\\"));
  ASSERT_TRUE(WaitUntil([&] { return Rows() == 4; }, 5000));
  EXPECT_EQ(Column(1),
            (std::vector<std::string>{first + "\\", second + "\\", first + "\\", kAddFolderText}));
  EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "1", "1", "0"}));
}

TEST_F(AddInstallationTest, APathWithNoRoomForItsBackslashIsRefused) {
  // 259 characters without a trailing backslash: with it the path would not fit its buffer.
  std::string path = std::string(kRoot) + "\\";
  path += std::string(259 - path.size(), 'p');
  ASSERT_EQ(path.size(), 259u);
  Start();
  DropOnList({path});
  EXPECT_EQ(AcceptRefusal(), Refusal(path));
  EXPECT_EQ(Rows(), 1);
}

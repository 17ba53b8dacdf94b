// "Driver &patch" in the real window: the run installs into every checked row on its worker,
// the buttons and closing follow the running flag, and the final text tells how it went.
#include <map>
#include <regex>
#include <set>

#include "install/Sha256.h"
#include "tests/support/Sha256Text.h"
#include "tests/gui/PackDialogFixture.h"

namespace {

const std::regex kFinishedClean(R"(Install patch finished, total elapse \d+\.\d{3} sec)");
const std::regex kFinishedWithErrors(
    R"(Install patch finished with (\d+) error\(s\), total elapse \d+\.\d{3} sec)");
const std::regex kFinishedRolledBack(
    R"(Install patch finished with (\d+) installation\(s\) rolled back, total elapse \d+\.\d{3} sec \((.*)\))");

// Every file below folder, path -> content, as the listing names them.
void ReadTreeInto(const std::string& folder, const std::string& prefix,
                  std::map<std::string, std::string>* tree) {
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (listing == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      (*tree)[prefix + name] = "<folder>";
      ReadTreeInto(folder + "\\" + name, prefix + name + "\\", tree);
    } else {
      std::string content;
      (*tree)[prefix + name] =
          ReadTextFile(folder + "\\" + name, &content) ? content : "<unreadable>";
    }
  } while (FindNextFileA(listing, &entry));
  FindClose(listing);
}

std::map<std::string, std::string> ReadTree(const std::string& folder) {
  std::map<std::string, std::string> tree;
  ReadTreeInto(folder, "", &tree);
  return tree;
}

bool IsFinalText(const std::string& text) {
  return text.rfind("Install patch finished", 0) == 0;
}

}  // namespace

const std::string kVersionFile = "[Install]\r\nVersion=\"V2.0\"\r\nDate=\"2026-12-09\"\r\n";

class InstallRunTest : public PackDialogTest {
 protected:
  // Every patch here has its version file: without one the run refuses the patch.
  void SetUp() override {
    PackDialogTest::SetUp();
    AddPatchFile("Qorvantel.Version", kVersionFile);
  }
  // A patch of many files, so that a run takes long enough to watch.
  void AddLargePatch(int files) {
    for (int i = 0; i < files; ++i) {
      char name[64];
      snprintf(name, sizeof name, "devices\\QuorVantel\\part%02d\\file%04d.xml", i % 10, i);
      AddPatchFile(name, std::string(512, char('a' + i % 26)));
    }
  }

  void PressDriverPatch() {
    HWND button = GetDlgItem(dialog_, kDriverPatch);
    RECT rect;
    GetClientRect(button, &rect);
    ClickClient(button, rect.right / 2, rect.bottom / 2);
  }

  // Watches the status line until the final text, noting the installation of each "Copy" text.
  std::string WatchRun(std::vector<std::string>* installOrder, int timeoutMs = 120000) {
    std::string text;
    WaitUntil(
        [&] {
          text = StatusText();
          const size_t to = text.rfind(" to ");
          if (installOrder != nullptr && text.rfind("Copy ", 0) == 0 && to != std::string::npos) {
            const std::string folder = text.substr(to + 4);
            if (installOrder->empty() || installOrder->back() != folder)
              installOrder->push_back(folder);
          }
          return IsFinalText(text);
        },
        timeoutMs);
    return text;
  }
};

TEST_F(InstallRunTest, InstallsIntoEveryCheckedRowInTableOrderAndReportsTheTime) {
  AddLargePatch(400);
  const std::string a = MakeInstallation("EWa"), b = MakeInstallation("EWb"),
                    c = MakeInstallation("EWc");
  ASSERT_TRUE(EwarmRegistry::Add("1", c, "9.30"));
  ASSERT_TRUE(EwarmRegistry::Add("2", a, "9.10"));
  ASSERT_TRUE(EwarmRegistry::Add("3", b, "9.20"));
  Start();
  ClickCell(1, 0);  // b is not to be installed
  ASSERT_TRUE(WaitUntil([&] { return Cell(1, 0) == "0"; }, 3000));

  PressDriverPatch();
  std::vector<std::string> order;
  const std::string final = WatchRun(&order);

  EXPECT_TRUE(std::regex_match(final, kFinishedClean)) << final;
  EXPECT_EQ(order, (std::vector<std::string>{a, c}));
  const std::string file = "\\arm\\config\\devices\\QuorVantel\\part03\\file0123.xml";
  EXPECT_TRUE(PathExists(a + file));
  EXPECT_FALSE(PathExists(b + "\\arm\\config\\devices"));
  EXPECT_TRUE(PathExists(c + file));
  EXPECT_TRUE(WaitUntil([&] { return Enabled(IDCANCEL) && Enabled(kDriverPatch); }, 3000));
  Screenshot("after-install-run");
  EXPECT_TRUE(CloseAndWait());
}

TEST_F(InstallRunTest, WhileRunningButtonsAreDisabledClosingIsRefusedAndUncheckedRowsSkipped) {
  AddLargePatch(1500);
  const std::string first = MakeInstallation("EW1"), second = MakeInstallation("EW2"),
                    third = MakeInstallation("EW3");
  ASSERT_TRUE(EwarmRegistry::Add("1", first, "9.10"));
  ASSERT_TRUE(EwarmRegistry::Add("2", second, "9.20"));
  ASSERT_TRUE(EwarmRegistry::Add("3", third, "9.30"));
  Start();

  PressDriverPatch();
  ASSERT_TRUE(WaitUntil([&] { return StatusText().rfind("Copy ", 0) == 0; }, 20000));
  EXPECT_TRUE(WaitUntil([&] { return !Enabled(kDriverPatch) && !Enabled(IDCANCEL); }, 3000));

  // The worker is still on the first row: the third is unchecked before it gets there.
  ClickCell(2, 0);
  ASSERT_TRUE(WaitUntil([&] { return Cell(2, 0) == "0"; }, 3000));

  // A second command starts nothing, even sent straight to the dialog.
  PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(kDriverPatch, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog_, kDriverPatch)));

  // Closing (Escape, the Close command, the window's close) is refused with the message.
  PostMessageA(dialog_, WM_CLOSE, 0, 0);
  HWND box = WaitForWindow("Message");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "Installation, please try again later.");
  Screenshot("closing-refused-during-run");
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 3000));
  EXPECT_TRUE(IsWindow(dialog_));
  EXPECT_TRUE(program_.Running());

  const std::string final = WatchRun(nullptr);
  EXPECT_TRUE(std::regex_match(final, kFinishedClean)) << final;
  const std::string file = "\\arm\\config\\devices\\QuorVantel\\part09\\file1499.xml";
  EXPECT_TRUE(PathExists(first + file));
  EXPECT_TRUE(PathExists(second + file));
  EXPECT_FALSE(PathExists(third + "\\arm\\config\\devices"));

  // Nothing runs after the final text: no second worker was started.
  Sleep(1000);
  EXPECT_EQ(StatusText(), final);
  EXPECT_TRUE(WaitUntil([&] { return Enabled(IDCANCEL); }, 3000));
  EXPECT_TRUE(CloseAndWait());
}

// The read-only file cannot be replaced: the final text counts a rolled-back installation and
// names the file. (What becomes of its files is the install's own fault table.)
TEST_F(InstallRunTest, AFileThatCannotBeReplacedIsCountedAndNamedInTheFinalText) {
  AddPatchFile("devices\\QuorVantel\\QX48.xml", "<device version=\"2\"/>");
  AddPatchFile("devices\\QuorVantel\\QX48.svd", "<svd/>");
  const std::string folder = MakeInstallation("EW");
  const std::string locked = folder + "\\arm\\config\\devices\\QuorVantel\\QX48.xml";
  ASSERT_TRUE(WriteTextFile(locked, "<device version=\"1\"/>"));
  ASSERT_TRUE(SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(EwarmRegistry::Add("1", folder, "9.10"));
  Start();
  // "Clear old patch" off: the read-only file stays in the way.
  HWND clear = GetDlgItem(dialog_, kClearOldPatch);
  ClickClient(clear, 6, 8);
  ASSERT_TRUE(WaitUntil([&] { return !Checked(kClearOldPatch); }, 3000));

  PressDriverPatch();
  const std::string final = WatchRun(nullptr, 30000);
  std::smatch match;
  ASSERT_TRUE(std::regex_match(final, match, kFinishedRolledBack)) << final;
  EXPECT_EQ(match[1].str(), "1");
  EXPECT_NE(match[2].str().find("QX48.xml could not be installed"), std::string::npos) << final;
  SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The installation folder itself a link (made on the Unix side) to a folder outside that looks
// like an installation: the run refuses it and says so, and nothing there is written or made.
TEST_F(InstallRunTest, AnInstallationFolderThatLeadsElsewhereIsRefusedAndLeftAsItWas) {
  AddPatchFile("devices\\QuorVantel\\QX48.xml", "<device version=\"2\"/>");
  const std::string outside = WindowsPathOf(QX48_LINK_FIXTURE "/chain-outside");
  const std::map<std::string, std::string> before = ReadTree(outside);
  ASSERT_FALSE(before.empty()) << "run through CTest (gui_link_fixture)";
  ASSERT_TRUE(EwarmRegistry::Add("1", WindowsPathOf(QX48_LINK_FIXTURE "/EW-folderlink"), "9.10"));
  Start();
  PressDriverPatch();
  const std::string final = WatchRun(nullptr, 30000);
  std::smatch match;
  ASSERT_TRUE(std::regex_match(final, match, kFinishedWithErrors)) << final;
  EXPECT_EQ(match[1].str(), "1");
  EXPECT_EQ(before, ReadTree(outside));
}

// Another program (this test) holds a file the patch replaces: the other installation is
// installed, and the final text counts the one skipped and names the file.
TEST_F(InstallRunTest, AFileInUseSkipsItsInstallationAndIsNamed) {
  AddPatchFile("devices\\QuorVantel\\QX48.xml", "<device version=\"2\"/>");
  AddPatchFile("devices\\QuorVantel\\QX48.svd", "<svd/>");
  const std::string busy = MakeInstallation("EWbusy"), free = MakeInstallation("EWfree");
  const std::string held = busy + "\\arm\\config\\devices\\QuorVantel\\QX48.xml";
  ASSERT_TRUE(WriteTextFile(held, "<device version=\"1\"/>"));
  ASSERT_TRUE(EwarmRegistry::Add("1", busy, "9.10"));
  ASSERT_TRUE(EwarmRegistry::Add("2", free, "9.20"));
  HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  Start();
  PressDriverPatch();
  const std::string final = WatchRun(nullptr, 30000);
  CloseHandle(file);
  std::smatch match;
  ASSERT_TRUE(std::regex_match(final, match, kFinishedRolledBack)) << final;
  EXPECT_EQ(match[1].str(), "1");
  EXPECT_NE(match[2].str().find(held + " is in use"), std::string::npos) << final;
  EXPECT_TRUE(PathExists(free + "\\arm\\config\\devices\\QuorVantel\\QX48.svd"));
}

// The patch beside the program comes with a manifest other than the one the program was built
// with (here: one that lists the patch's files, with one of them changed since): nothing is
// touched anywhere.
TEST_F(InstallRunTest, ADamagedPatchStopsTheRunBeforeAnythingIsTouched) {
  const std::string good = "<device version=\"2\"/>";
  AddPatchFile("devices\\QuorVantel\\QX48.xml", "<device version=\"X\"/>");
  AddPatchFile("devices\\QuorVantel\\QX48.svd", "<svd/>");
  ASSERT_TRUE(WriteTextFile(PatchFolder() + ".sha256",
                            Sha256Of("<svd/>") + "  6  devices\\QuorVantel\\QX48.svd\n" +
                                Sha256Of(good) + "  " + std::to_string(good.size()) +
                                "  devices\\QuorVantel\\QX48.xml\n" + Sha256Of(kVersionFile) +
                                "  " + std::to_string(kVersionFile.size()) +
                                "  Qorvantel.Version\n"));
  const std::string folder = MakeInstallation("EW");
  ASSERT_TRUE(WriteTextFile(folder + "\\arm\\config\\devices\\QuorVantel\\QX48.xml",
                            "<device version=\"1\"/>"));
  ASSERT_TRUE(EwarmRegistry::Add("1", folder, "9.10"));
  const auto before = ReadTree(folder);
  Start();
  PressDriverPatch();
  std::string text;
  ASSERT_TRUE(WaitUntil(
      [&] { return (text = StatusText()).rfind("Install patch stopped", 0) == 0; }, 30000))
      << text;
  EXPECT_EQ(text,
            "Install patch stopped: the patch is damaged (its manifest is not the one this "
            "program was built with)");
  EXPECT_EQ(before, ReadTree(folder));
  EXPECT_TRUE(WaitUntil([&] { return Enabled(IDCANCEL) && Enabled(kDriverPatch); }, 3000));

  // Without that manifest, as a patch folder made by hand, it installs.
  AddPatchFile("devices\\QuorVantel\\QX48.xml", good);
  ASSERT_TRUE(DeleteFileA((PatchFolder() + ".sha256").c_str()));
  PressDriverPatch();
  EXPECT_TRUE(std::regex_match(WatchRun(nullptr, 30000), kFinishedClean));
  std::string content;
  EXPECT_TRUE(ReadTextFile(folder + "\\arm\\config\\devices\\QuorVantel\\QX48.xml", &content));
  EXPECT_EQ(content, good);
}

// The program is killed in the middle of a large run; started again, its next run first undoes
// what the killed one left and then installs the whole patch.
TEST_F(InstallRunTest, AProgramKilledMidRunLeavesNothingHalfDoneForTheNextRun) {
  AddLargePatch(1500);
  const std::string folder = MakeInstallation("EW");
  const std::string config = folder + "\\arm\\config";
  ASSERT_TRUE(WriteTextFile(config + "\\devices\\QuorVantel\\old.xml", "old"));
  ASSERT_TRUE(WriteTextFile(config + "\\devices\\Other\\keep.xml", "keep"));
  ASSERT_TRUE(EwarmRegistry::Add("1", folder, "9.10"));
  const auto before = ReadTree(config);
  Start();
  PressDriverPatch();
  // Killed once its journal holds some 50 steps: the journal only grows while the run is on and
  // stays until the run has ended, so its length is a step the run has durably passed, however
  // late the test looks (a status text is gone again 50 ms later).
  const std::string journal = config + "\\QX48_EWARM_patch.undo\\journal";
  ASSERT_TRUE(WaitUntil(
      [&] {
        WIN32_FILE_ATTRIBUTE_DATA data;
        return GetFileAttributesExA(journal.c_str(), GetFileExInfoStandard, &data) &&
               data.nFileSizeLow >= 4096;
      },
      60000));
  program_.Kill();
  EXPECT_TRUE(PathExists(config + "\\QX48_EWARM_patch.undo")) << "killed before the run had ended";

  Start();
  PressDriverPatch();
  const std::string final = WatchRun(nullptr);
  EXPECT_TRUE(std::regex_match(final, kFinishedClean)) << final;
  auto expected = ReadTree(PatchFolder());
  expected["devices\\Other"] = "<folder>";
  expected["devices\\Other\\keep.xml"] = "keep";
  auto after = ReadTree(config);
  for (auto entry = after.begin(); entry != after.end();) {
    entry = entry->first.rfind("QX48_EWARM_patch.previous", 0) == 0 ? after.erase(entry)
                                                                    : std::next(entry);
  }
  EXPECT_EQ(expected, after)
      << "the new patch exactly: no temporaries, no undo area, no old vendor file";
  EXPECT_NE(before, after);
  EXPECT_TRUE(CloseAndWait());
}

TEST_F(InstallRunTest, ClearOldPatchRemovesTheOldVendorFilesBeforeTheCopy) {
  AddPatchFile("devices\\QuorVantel\\new.xml", "new");
  const std::string folder = MakeInstallation("EW");
  const std::string config = folder + "\\arm\\config";
  ASSERT_TRUE(WriteTextFile(config + "\\devices\\QuorVantel\\old.xml", "old"));
  ASSERT_TRUE(WriteTextFile(config + "\\devices\\Other\\keep.xml", "keep"));
  ASSERT_TRUE(EwarmRegistry::Add("1", folder, "9.10"));
  Start();
  ASSERT_TRUE(Checked(kClearOldPatch));

  PressDriverPatch();
  EXPECT_TRUE(std::regex_match(WatchRun(nullptr, 30000), kFinishedClean));
  EXPECT_FALSE(PathExists(config + "\\devices\\QuorVantel\\old.xml"));
  EXPECT_TRUE(PathExists(config + "\\devices\\QuorVantel\\new.xml"));
  EXPECT_TRUE(PathExists(config + "\\devices\\Other\\keep.xml"));
}

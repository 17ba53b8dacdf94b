// One install at a time on a machine, whichever program runs it: the dialog and qx48patch.exe,
// each started from the unpacked package, meet while one of them is in the middle of a run. The
// dialog's run is made long by a hand-made patch with some thousand more files; the tool, which
// installs only the patch its manifest names, by as many installations as it takes.
#include <gtest/gtest.h>

#include "tests/e2e/ConsoleFixture.h"
#include "tests/e2e/PackSession.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowDriver.h"

namespace {

constexpr int kBulkFiles = 2000;
constexpr int kTargets = 64;  // the most --target options the tool takes

class InstallLockTest : public ConsoleFixture {
 protected:
  void SetUp() override {
    ConsoleFixture::SetUp();
    DeleteFileA("C:\\windows\\QX48_EWARM_pack.INI");
  }
  // A patch made by hand: the dialog installs it; it has no manifest, as such a patch has not.
  void AddBulkFiles() {
    for (int i = 0; i < kBulkFiles; ++i) {
      ASSERT_TRUE(WriteTextFile(
          PatchFolder() + "\\bulk\\QuorVantel\\f" + std::to_string(i) + ".txt", "bulk\r\n"));
    }
    ASSERT_TRUE(DeleteFileA((PatchFolder() + ".sha256").c_str()));
    patch_ = ReadFolderTree(PatchFolder());
  }
};

TEST_F(InstallLockTest, WhileTheDialogInstallsTheConsoleToolExitsWith1618AndChangesNothing) {
  AddBulkFiles();
  PackSession dialog;
  std::string fault;
  ASSERT_TRUE(dialog.Start(Dialog(), &fault)) << fault;
  ASSERT_TRUE(dialog.PressDriverPatch());
  const ConsoleResult busy = Run("install --target " + fresh_.folder);
  EXPECT_EQ(busy.exitCode, 1618u) << busy.out << busy.err;
  EXPECT_NE(busy.err.find("Another installation is running"), std::string::npos) << busy.err;
  EXPECT_EQ(dialog.StatusText().rfind(PackSession::kFinalPrefix, 0), std::string::npos)
      << "the dialog's run ended before the tool ran: the test proves nothing";
  const std::string final = dialog.WaitForFinalText(300000);
  EXPECT_EQ(final.rfind("Install patch finished, total", 0), 0u) << final;
  EXPECT_TRUE(HoldsPatch(old_));
  EXPECT_TRUE(HoldsPatch(fresh_));
  // The dialog's run is over and its lock given back: the tool gets past it now, to be stopped by
  // the hand-made patch, which has no manifest.
  EXPECT_EQ(Run("install --target " + old_.folder).exitCode, 1612u);
  EXPECT_TRUE(dialog.Close());
}

TEST_F(InstallLockTest, WhileTheConsoleToolInstallsTheDialogSaysTryAgainLaterAndStartsNothing) {
  PackSession dialog;
  std::string fault;
  ASSERT_TRUE(dialog.Start(Dialog(), &fault)) << fault;
  std::string targets;
  for (int i = 0; i < kTargets; ++i) {
    const Ewarm target = MakeEwarm("Target" + std::to_string(i), "", false);
    targets += " --target " + target.folder;
  }
  ConsoleRun tool;
  ASSERT_TRUE(tool.Start(Tool(), "install" + targets));
  ASSERT_TRUE(
      WaitUntil([&] { return tool.OutputSoFar().find(" of ") != std::string::npos; }, 60000))
      << "the tool's install did not start";
  dialog.ClickButton(PackSession::kDriverPatch);
  HWND box = FindProcessWindow(dialog.ProcessId(), "Message", 15000);
  ASSERT_NE(box, nullptr) << "no message box";
  EXPECT_EQ(MessageBoxText(box), "Installation, please try again later.");
  const std::string soFar = tool.OutputSoFar();
  const bool toolStillRunning =
      soFar.find("Target" + std::to_string(kTargets - 1) + ": installed") == std::string::npos;
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 10000));
  EXPECT_EQ(dialog.StatusText(), "") << "the dialog started a run";
  const ConsoleResult result = tool.Wait(300000);
  EXPECT_EQ(result.exitCode, 0u) << result.err;
  EXPECT_TRUE(toolStillRunning)
      << "the tool had finished before the click: the test proves nothing";
  EXPECT_FALSE(HoldsPatch(old_)) << "the dialog installed although the tool held the lock";
  // Afterwards the dialog installs as ever. The first click after the message box may only bring
  // the dialog back to the front under Wine, so a lost one is clicked again.
  ASSERT_TRUE(dialog.PressDriverPatch() || dialog.PressDriverPatch());
  EXPECT_EQ(dialog.WaitForFinalText(300000).rfind("Install patch finished, total", 0), 0u);
  EXPECT_TRUE(HoldsPatch(old_));
  EXPECT_TRUE(dialog.Close());
}

}  // namespace

#include "tests/gui/PackDialogFixture.h"

#include <commctrl.h>

#include <cstdlib>

namespace {

std::string ResultsFolder() {
  // GoogleTest's results go to "xml:<folder>/<program>.xml"; screenshots go beside them.
  const char* output = getenv("GTEST_OUTPUT");
  std::string path = output != nullptr ? output : "";
  if (path.rfind("xml:", 0) == 0) path = path.substr(4);
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

}  // namespace

void PackDialogTest::SetUp() {
  EwarmRegistry::Clear();
  ASSERT_TRUE(RemoveTree(kRoot));
  ASSERT_TRUE(MakeFolders(AppFolder()));
  ASSERT_TRUE(CopyOneFile(WindowsPathOf(QX48_PACK_EXE), AppFolder() + "\\QX48_EWARM_pack.exe"));
  // The profile the program reads its column widths from; each test starts without one.
  DeleteFileA("C:\\windows\\QX48_EWARM_pack.INI");
}

void PackDialogTest::TearDown() {
  const std::string crash = program_.CrashText();
  if (!crash.empty()) ADD_FAILURE() << "the program " << crash;
  if (dialog_ != nullptr && HasFailure()) {
    Screenshot(std::string("failed-") +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  list_.reset();
  program_.Kill();
  EwarmRegistry::Clear();
}

void PackDialogTest::AddPatchFile(const std::string& relative, const std::string& content) {
  ASSERT_TRUE(WriteTextFile(PatchFolder() + "\\" + relative, content));
}

std::string PackDialogTest::MakeInstallation(const std::string& name) {
  const std::string folder = std::string(kRoot) + "\\" + name;
  EXPECT_TRUE(MakeFolders(folder + "\\arm\\config"));
  return folder;
}

void PackDialogTest::MarkPatched(const std::string& installFolder, const std::string& version) {
  const std::string config = installFolder + "\\arm\\config";
  ASSERT_TRUE(MakeFolders(config + "\\devices\\QuorVantel"));
  if (!version.empty()) {
    ASSERT_TRUE(WriteTextFile(config + "\\Qorvantel.Version",
                              "[Information]\r\nVersion=1.0\r\nExecution=\"QX48_EWARM_pack\"\r\n"
                              "Company=\"QuorVantel\"\r\n\r\n[Install]\r\nVersion=\"" +
                                  version + "\"\r\nDate=\"2019-12-20\"\r\n"));
  }
}

void PackDialogTest::Start() {
  list_.reset();
  program_.Kill();  // a program of an earlier step of the test has ended; release it
  ASSERT_TRUE(program_.Start(AppFolder() + "\\QX48_EWARM_pack.exe"));
  dialog_ = program_.WaitForDialog(kTitle);
  ASSERT_NE(dialog_, nullptr) << "the dialog did not appear";
  listWindow_ = GetDlgItem(dialog_, kList);
  ASSERT_NE(listWindow_, nullptr);
  list_ = std::make_unique<RemoteListView>(listWindow_, program_.Id());
}

bool PackDialogTest::CloseAndWait() {
  PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog_, IDCANCEL)));
  return program_.WaitForExit(10000);
}

std::vector<std::string> PackDialogTest::Column(int column) const {
  std::vector<std::string> texts;
  for (int row = 0; row < Rows(); ++row) texts.push_back(Cell(row, column));
  return texts;
}

bool PackDialogTest::Checked(int id) const {
  return SendMessageA(GetDlgItem(dialog_, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::string PackDialogTest::StatusText() const {
  HWND status = GetDlgItem(dialog_, 3);
  return status != nullptr ? WindowText(status) : std::string("<no status bar>");
}

void PackDialogTest::ClickCell(int row, int column, bool right) {
  // A user scrolls a row into view before clicking it.
  SendMessageA(listWindow_, LVM_ENSUREVISIBLE, WPARAM(row), FALSE);
  const RECT cell = list_->CellRect(row, column);
  ClickClient(listWindow_, (cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2, right);
}

void PackDialogTest::DoubleClickCell(int row, int column) {
  SendMessageA(listWindow_, LVM_ENSUREVISIBLE, WPARAM(row), FALSE);
  const RECT cell = list_->CellRect(row, column);
  DoubleClickClient(listWindow_, (cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
}

HWND PackDialogTest::WaitForWindow(const char* title, int timeoutMs) const {
  return FindProcessWindow(program_.Id(), title, timeoutMs);
}

void PackDialogTest::Screenshot(const std::string& name) const {
  // The program may still be repainting what the last step changed.
  Sleep(400);
  const std::string path = ResultsFolder() + "/" + name + ".png";
  EXPECT_TRUE(SaveWindowPng(dialog_, path)) << path;
}

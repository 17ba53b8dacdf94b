#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "BuildInfo.h"
#include "app/res/resource.h"
#include "tests/support/EwarmRegistry.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowDriver.h"

// The real QX48_EWARM_pack.exe, copied with or without a patch folder into a throw-away folder of
// the Wine prefix, started as its own process and driven through its window.
class PackDialogTest : public ::testing::Test {
 protected:
  static constexpr const char* kRoot = "C:\\qx48-gui";
  static constexpr const char* kTitle = QX48_DIALOG_CAPTION;
  static constexpr const char* kAddFolderText = "Double click to select the install path of IAR";
  static constexpr int kList = IDC_LIST;
  static constexpr int kSelectAll = IDC_SELECT_ALL;
  static constexpr int kClearOldPatch = IDC_CLEAR_OLD_PATCH;
  static constexpr int kDriverPatch = IDC_DRIVER_PATCH;

  void SetUp() override;
  void TearDown() override;

  std::string AppFolder() const { return std::string(kRoot) + "\\app"; }
  std::string PatchFolder() const { return AppFolder() + "\\QX48_EWARM_patch"; }
  // A patch file at relative path below the patch folder.
  void AddPatchFile(const std::string& relative, const std::string& content);
  // An installation folder C:\qx48-gui\<name> with its arm\config.
  std::string MakeInstallation(const std::string& name);
  // Marks an installation as patched: the vendor device folder and, unless empty, a version file.
  void MarkPatched(const std::string& installFolder, const std::string& version);

  // Starts the program and waits for its dialog and first button refresh.
  void Start();
  // Closes the dialog with its Close button and waits for the program to end.
  bool CloseAndWait();

  std::vector<std::string> Column(int column) const;
  std::string Cell(int row, int column) const { return list_->Text(row, column); }
  int Rows() const { return list_->Count(); }
  bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(dialog_, id)) != FALSE; }
  bool Checked(int id) const;
  std::string StatusText() const;
  void ClickCell(int row, int column, bool right = false);
  void DoubleClickCell(int row, int column);
  // Waits for a top-level window of the program with that title (a message box, the about box).
  HWND WaitForWindow(const char* title, int timeoutMs = 5000) const;
  void Screenshot(const std::string& name) const;

  ProgramUnderTest program_;
  HWND dialog_ = nullptr;
  HWND listWindow_ = nullptr;
  std::unique_ptr<RemoteListView> list_;
};

#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "BuildInfo.h"
#include "app/res/resource.h"
#include "tests/support/WindowDriver.h"

// QX48_EWARM_pack started from its folder and used through its window as a person uses it: the
// pointer moves to a control and clicks it, and what the person would see is read back from the
// windows (list cells, status bar, button states).
class PackSession {
 public:
  static constexpr const char* kTitle = QX48_DIALOG_CAPTION;
  static constexpr const char* kFinalPrefix = "Install patch finished";
  static constexpr int kList = IDC_LIST;
  static constexpr int kDriverPatch = IDC_DRIVER_PATCH;
  static constexpr int kStatusBar = IDC_STATUS_BAR;
  static constexpr int kCheckColumn = 0;
  static constexpr int kNameColumn = 1;
  static constexpr int kVersionColumn = 2;

  struct Row {
    std::string check;    // "1" checked, "0" not
    std::string name;     // "Local install"
    std::string version;  // "Installed patch"
  };

  // Starts the program and waits for its dialog; false (and the reason in *fault) otherwise.
  bool Start(const std::string& exePath, std::string* fault);
  // Waits for the program to end by itself (a person closing it); true when it did.
  bool WaitForExit(int timeoutMs) { return program_.WaitForExit(timeoutMs); }

  std::vector<Row> Rows() const;
  // The row of the installation whose version text is version ("... - ARM <version>"), or -1.
  int FindRow(const std::string& version) const;
  // Clicks the row's check cell when it does not show checked, and waits until it does.
  bool SetChecked(int row, bool checked);
  // Clicks "Driver &patch"; true once the status line shows that a run has started (or, for a
  // run so short that its first text is already gone, ended), judged against the text shown
  // before the click.
  bool PressDriverPatch();
  // Waits for the final text of a run ("Install patch finished..."); every other status text
  // seen meanwhile goes to *seen.
  std::string WaitForFinalText(int timeoutMs, std::vector<std::string>* seen = nullptr);

  std::string StatusText() const;
  bool Enabled(int id) const;
  bool Screenshot(const std::string& path) const { return SaveWindowPng(dialog_, path); }
  // Clicks "&Close" and waits for the program to end.
  bool Close();
  HWND Dialog() const { return dialog_; }
  DWORD ProcessId() const { return program_.Id(); }
  // "" unless the program has crashed (ProgramUnderTest::CrashText).
  std::string CrashText() const { return program_.CrashText(); }
  // Points at a button of the dialog and clicks it, without waiting for anything.
  void ClickButton(int id);

 private:
  // Moves the pointer onto a point of window's client area, then clicks there. The move comes
  // first because under Wine the first click into a freshly shown window was sometimes taken
  // only as the pointer's arrival and lost.
  void PointAndClick(HWND window, int x, int y);

  ProgramUnderTest program_;
  HWND dialog_ = nullptr;
  HWND listWindow_ = nullptr;
  std::unique_ptr<RemoteListView> list_;
};

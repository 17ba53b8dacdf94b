#pragma once
#include <string>

#include "app/InstallationTable.h"
#include "app/res/resource.h"
#include "classlib/afxwin.h"
#include "install/InstallLock.h"
#include "listview/CheckListCtrl.h"

// The main dialog: the installations with their check boxes, the install command, the status
// line. Everything here runs on the user-interface thread; a 50 ms timer shows the worker's
// newest status text and brings the buttons up to date.
class CPatchDlg : public CDialog {
 public:
  enum { IDD = IDD_QX48_EWARM_PACK_DIALOG };

  // patchFolder: the patch beside the program, installed from by every run of the dialog.
  explicit CPatchDlg(const std::string& patchFolder, CWnd* pParent = NULL);

  void RefreshControls();
  void ToggleSelectedRow();
  void SetAllChecked(BOOL checked);
  void SetRowCheckCell(int listRow, BOOL checked);
  void AppendInstallationRow(int listRow, const InstallationRow& row);
  void ShowAddedRow();

  CCheckListCtrl m_list;
  BOOL m_selectAll;
  BOOL m_clearOldPatch;
  HICON m_hIcon;
  CStatusBarCtrl m_statusBar;
  CBitmap m_checkImages[2];  // 0: empty box, 1: checked box; lent to the list
  BOOL m_refreshPending;     // the next tick refreshes the controls
  std::string m_patchFolder;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnCancel() override;

  afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
  afx_msg void OnPaint();
  afx_msg HCURSOR OnQueryDragIcon();
  afx_msg void OnSelectAll();
  afx_msg void OnRClickList(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnClickList(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnDblClkList(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
  afx_msg void OnKeyDownList(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnDriverPatch();
  afx_msg void OnTimer(UINT_PTR nIDEvent);
  afx_msg void OnShowWindow(BOOL bShow, UINT nStatus);
  afx_msg LRESULT OnListDropFile(WPARAM wParam, LPARAM lParam);
  afx_msg void OnReturnList(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);

  DECLARE_MESSAGE_MAP()

 private:
  void FillInstallationTable();
  void SetUpList();
  void ProbeAllRows();

  // A double click in the check column reaches the dialog as a click and then a double click
  // (and, on some systems, one more click): the row toggles once for all of them.
  BOOL IsSameMouseToggle(int listRow) const;
  void NoteMouseToggle(int listRow);
  int m_mouseToggleRow;
  DWORD m_mouseToggleTime;

  // Set while a run this dialog started has not yet been seen to end.
  BOOL m_runInProgress;
  // The control that had the keyboard focus when the run started, until it is given back.
  HWND m_focusBeforeRun;
  void RestoreFocusAfterRun(BOOL running);
  // The machine-wide install lock, held by the user-interface thread from the click until a
  // refresh sees the run ended.
  CInstallLock m_installLock;
};

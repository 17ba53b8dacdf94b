#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "ModelessDialog.h"
#include "TestResource.h"
#include "classlib/afxwin.h"
#include "listview/CheckListCtrl.h"

// The list test dialog: a CCheckListCtrl bound to item 1019 as in the main dialog, and a plain
// list view beside it. It records what reaches it from the lists.
class CListTestDlg : public CDialog {
 public:
  CListTestDlg() : CDialog(IDD_LIST_TEST) {}

  // Created hidden; nothing is set up in the list yet.
  BOOL CreateHidden() { return CreateModeless(*this, IDD_LIST_TEST); }
  // The main dialog's layout: check column, "Local install", "Installed patch", images 0 (red)
  // and 1 (blue). Returns the name column's width.
  int SetUpLikeTheMainDialog();
  // The list window's width in pixels.
  int ListWidth() const;

  CCheckListCtrl m_list;
  CBitmap m_images[2];
  std::vector<std::string> dropped;
  int columnClicks = 0;
  int plainColumnClicks = 0;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  afx_msg LRESULT OnListDropFile(WPARAM wParam, LPARAM lParam);
  afx_msg void OnColumnClick(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnPlainColumnClick(NMHDR* pNMHDR, LRESULT* pResult);

  DECLARE_MESSAGE_MAP()
};

// Every text of a row as the list view holds it.
std::vector<std::string> RowTexts(const CListCtrl& list, int row, int columns);
// Header item widths and list column widths, which must agree.
std::vector<int> HeaderWidths(const CCheckListCtrl& list);
std::vector<int> ColumnWidths(const CListCtrl& list, int columns);

#pragma once
#include <windows.h>

#include "classlib/DataExchange.h"
#include "classlib/Wnd.h"

// A modal dialog box over a dialog template. The dialog window is bound to this object while it
// is created, so its map sees WM_CREATE, and its procedure's results (custom drawing among them)
// go straight back to the sender.
class CDialog : public CWnd {
 public:
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

  // Runs until EndDialog and returns its result; -1 when the dialog could not be made.
  virtual INT_PTR DoModal();
  void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

  // Dialog data: DoDataExchange moves member values into controls (FALSE) or back (TRUE).
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
  virtual void DoDataExchange(CDataExchange* pDX);

  // Exchanges data into the controls (UpdateData(FALSE)); TRUE lets the dialog set the focus.
  virtual BOOL OnInitDialog();
  // OK stores the controls' data and ends with IDOK; Cancel ends with IDCANCEL.
  virtual void OnOK();
  virtual void OnCancel();

  // Commands this dialog does not handle go on to the application.
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) override;

 protected:
  // F1 in a dialog that is not a child window becomes the help command of the main window, as
  // the class library does it for every top-level window.
  afx_msg LRESULT OnHelpMessage(WPARAM wParam, LPARAM lParam);

  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;

  DECLARE_MESSAGE_MAP()

 private:
  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
  LPCDLGTEMPLATE LoadTemplate() const;
  // The owner window: the given parent, else the application's main window (as the class
  // library does, so that a dialog opened from the main dialog is modal to it).
  HWND OwnerHandle() const;
};

#pragma once
#include <windows.h>

#include "classlib/Exceptions.h"
#include "classlib/Wnd.h"

// Raised by data exchange when a control cannot take part; UpdateData catches it and returns
// FALSE.
class CUserException : public CException {};

// One data exchange between a dialog's members and its controls.
class CDataExchange {
 public:
  CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
      : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

  // The control with that id; a missing control fails the exchange.
  HWND PrepareCtrl(int nIDC);
  [[noreturn]] void Fail();

  BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
  CWnd* m_pDlgWnd;
};

// Binds rControl to dialog item nIDC (once: later exchanges leave it bound).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// A check box's state (0 unchecked, 1 checked, 2 indeterminate) and an int or BOOL member.
// Values outside 0 to 2 show as unchecked.
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);

// A dialog box over a dialog template. The dialog window is bound to this object while it is
// created, so its map sees WM_CREATE, and its procedure's results (custom drawing among them)
// go straight back to the sender.
class CDialog : public CWnd {
 public:
  CDialog();  // with a template given later by InitModalIndirect or CreateIndirect
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  ~CDialog() override;

  // Modal: runs until EndDialog and returns its result; -1 when the dialog could not be made.
  virtual INT_PTR DoModal();
  BOOL InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = nullptr);

  // Modeless: creates the dialog and returns at once.
  BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  BOOL CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = nullptr);

  void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

  // Exchanges data into the controls (UpdateData(FALSE)); TRUE lets the dialog set the focus.
  virtual BOOL OnInitDialog();
  // OK stores the controls' data and ends with IDOK; Cancel ends with IDCANCEL.
  virtual void OnOK();
  virtual void OnCancel();

  // Commands this dialog does not handle go on to the application.
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) override;

 protected:
  UINT m_nIDTemplate;
  LPCDLGTEMPLATE m_lpDialogTemplate;
  CWnd* m_pParentWnd;

  DECLARE_MESSAGE_MAP()

 private:
  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
  LPCDLGTEMPLATE LoadTemplate() const;
  // The owner window: the given parent, else the application's main window (as the class
  // library does, so that a dialog opened from the main dialog is modal to it).
  HWND OwnerHandle(CWnd* pParentWnd) const;
};

#pragma once
#include <windows.h>

#include "classlib/CException.h"

class CWnd;

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

#include "classlib/DataExchange.h"

#include "classlib/Wnd.h"

HWND CDataExchange::PrepareCtrl(int nIDC) {
  HWND hWndControl = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
  if (hWndControl == nullptr) Fail();
  return hWndControl;
}

void CDataExchange::Fail() {
  throw new CUserException;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
  if (rControl.m_hWnd != nullptr) return;
  HWND hWndControl = pDX->PrepareCtrl(nIDC);
  if (!rControl.SubclassWindow(hWndControl)) pDX->Fail();
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
  HWND hWndControl = pDX->PrepareCtrl(nIDC);
  if (pDX->m_bSaveAndValidate) {
    value = static_cast<int>(::SendMessageA(hWndControl, BM_GETCHECK, 0, 0));
  } else {
    if (value < 0 || value > 2) value = 0;
    ::SendMessageA(hWndControl, BM_SETCHECK, static_cast<WPARAM>(value), 0);
  }
}

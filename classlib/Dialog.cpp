#include "classlib/Dialog.h"

#include "classlib/WinApp.h"

HWND CDataExchange::PrepareCtrl(int nIDC) {
  HWND hWndControl = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
  if (hWndControl == nullptr) Fail();
  return hWndControl;
}

void CDataExchange::Fail() { throw new CUserException; }

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

BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_COMMAND(IDOK, &CDialog::OnOK)
  ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog() : m_nIDTemplate(0), m_lpDialogTemplate(nullptr), m_pParentWnd(nullptr) {}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_lpDialogTemplate(nullptr), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() = default;

BOOL CDialog::InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd) {
  m_lpDialogTemplate = lpDialogTemplate;
  m_pParentWnd = pParentWnd;
  return lpDialogTemplate != nullptr;
}

LPCDLGTEMPLATE CDialog::LoadTemplate() const {
  if (m_lpDialogTemplate != nullptr) return m_lpDialogTemplate;
  LPCTSTR name = MAKEINTRESOURCEA(m_nIDTemplate);
  HINSTANCE module = AfxFindResourceHandle(name, RT_DIALOG);
  HRSRC resource = ::FindResourceA(module, name, RT_DIALOG);
  if (resource == nullptr) return nullptr;
  HGLOBAL loaded = ::LoadResource(module, resource);
  return loaded != nullptr ? static_cast<LPCDLGTEMPLATE>(::LockResource(loaded)) : nullptr;
}

HWND CDialog::OwnerHandle(CWnd* pParentWnd) const {
  if (pParentWnd != nullptr) return pParentWnd->GetSafeHwnd();
  CWinApp* app = AfxGetApp();
  CWnd* mainWnd = app != nullptr ? app->m_pMainWnd : nullptr;
  if (mainWnd == nullptr || mainWnd == this || mainWnd->m_hWnd == nullptr) return nullptr;
  return ::GetAncestor(mainWnd->m_hWnd, GA_ROOT);
}

INT_PTR CDialog::DoModal() {
  LPCDLGTEMPLATE dialogTemplate = LoadTemplate();
  if (dialogTemplate == nullptr || m_hWnd != nullptr) return -1;
  classlib_detail::EnsureCommonControls();
  AfxHookWindowCreate(this);
  const INT_PTR result =
      ::DialogBoxIndirectParamA(AfxGetInstanceHandle(), dialogTemplate, OwnerHandle(m_pParentWnd),
                                &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  AfxUnhookWindowCreate();  // still hooked when the dialog failed before WM_INITDIALOG
  return result;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
  m_nIDTemplate = nIDTemplate;
  m_lpDialogTemplate = nullptr;
  LPCDLGTEMPLATE dialogTemplate = LoadTemplate();
  return dialogTemplate != nullptr && CreateIndirect(dialogTemplate, pParentWnd);
}

BOOL CDialog::CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd) {
  if (lpDialogTemplate == nullptr || m_hWnd != nullptr) return FALSE;
  m_pParentWnd = pParentWnd;
  classlib_detail::EnsureCommonControls();
  AfxHookWindowCreate(this);
  HWND hWnd = ::CreateDialogIndirectParamA(AfxGetInstanceHandle(), lpDialogTemplate,
                                           OwnerHandle(pParentWnd), &CDialog::DialogProc,
                                           reinterpret_cast<LPARAM>(this));
  AfxUnhookWindowCreate();
  return hWnd != nullptr;
}

// Everything but WM_INITDIALOG has gone through the map before the dialog manager calls this.
INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM /*wParam*/, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
  // The controls exist now; nothing else the dialog creates is to be bound by the hook.
  AfxUnhookWindowCreate();
  if (CWnd::FromHandlePermanent(hWnd) == nullptr && !dialog->SubclassWindow(hWnd)) return FALSE;
  return dialog->OnInitDialog();
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) {
  if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  CWinApp* app = AfxGetApp();
  return app != nullptr && app->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

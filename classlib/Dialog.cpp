#include "classlib/Dialog.h"

#include "classlib/CommonControls.h"
#include "classlib/WinApp.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
ON_MESSAGE(WM_HELP, &CDialog::OnHelpMessage)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

LPCDLGTEMPLATE CDialog::LoadTemplate() const {
  LPCTSTR name = MAKEINTRESOURCEA(m_nIDTemplate);
  HINSTANCE module = AfxFindResourceHandle(name, RT_DIALOG);
  HRSRC resource = ::FindResourceA(module, name, RT_DIALOG);
  if (resource == nullptr) return nullptr;
  HGLOBAL loaded = ::LoadResource(module, resource);
  return loaded != nullptr ? static_cast<LPCDLGTEMPLATE>(::LockResource(loaded)) : nullptr;
}

HWND CDialog::OwnerHandle() const {
  if (m_pParentWnd != nullptr) return m_pParentWnd->GetSafeHwnd();
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
      ::DialogBoxIndirectParamA(AfxGetInstanceHandle(), dialogTemplate, OwnerHandle(),
                                &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  AfxUnhookWindowCreate();  // still hooked when the dialog failed before WM_INITDIALOG
  return result;
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

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  try {
    DoDataExchange(&dx);
  } catch (CUserException* e) {
    e->Delete();
    return FALSE;
  }
  return TRUE;
}

void CDialog::DoDataExchange(CDataExchange* /*pDX*/) {}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) {
  if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  CWinApp* app = AfxGetApp();
  return app != nullptr && app->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

LRESULT CDialog::OnHelpMessage(WPARAM /*wParam*/, LPARAM /*lParam*/) {
  CWinApp* app = AfxGetApp();
  CWnd* mainWnd = app != nullptr ? app->m_pMainWnd : nullptr;
  const BOOL noModifier =
      ::GetKeyState(VK_SHIFT) >= 0 && ::GetKeyState(VK_CONTROL) >= 0 && ::GetKeyState(VK_MENU) >= 0;
  if ((GetStyle() & WS_CHILD) == 0 && mainWnd != nullptr && mainWnd->m_hWnd != nullptr &&
      noModifier) {
    mainWnd->SendMessage(WM_COMMAND, ID_HELP);
    return TRUE;
  }
  return Default();
}

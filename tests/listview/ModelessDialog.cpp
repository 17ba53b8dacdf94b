#include "ModelessDialog.h"

#include <commctrl.h>

namespace {

// The dialog manager's procedure for a modeless test dialog. Every other message has already
// gone through the object's map when this is called.
INT_PTR CALLBACK InitDialogProc(HWND /*hWnd*/, UINT message, WPARAM /*wParam*/, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  // The controls exist now; nothing else the dialog creates is to be bound by the hook.
  AfxUnhookWindowCreate();
  return reinterpret_cast<CDialog*>(lParam)->OnInitDialog();
}

}  // namespace

BOOL CreateModeless(CDialog& dialog, UINT idTemplate) {
  // A template naming a list view or a status bar needs their classes registered.
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  AfxHookWindowCreate(&dialog);
  HWND window = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(idTemplate),
                                     nullptr, &InitDialogProc, reinterpret_cast<LPARAM>(&dialog));
  AfxUnhookWindowCreate();
  return window != nullptr && CWnd::FromHandlePermanent(window) == &dialog;
}

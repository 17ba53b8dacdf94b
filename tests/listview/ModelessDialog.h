#pragma once
#include <windows.h>

#include "classlib/afxwin.h"

// Makes dialog's window from template idTemplate without a modal loop, bound to the object the
// way DoModal binds it (from its first message on, so WM_CREATE reaches the map, and then
// OnInitDialog). The program itself only runs dialogs modally; the tests need the window to
// stay while they drive it, and end it with ::DestroyWindow. FALSE when no window was made.
BOOL CreateModeless(CDialog& dialog, UINT idTemplate);

// A window's client-area DC (the screen's for a null window), released when the object goes.
class CTestClientDC : public CDC {
 public:
  explicit CTestClientDC(HWND window) : window_(window) { Attach(::GetDC(window)); }
  ~CTestClientDC() override { ::ReleaseDC(window_, Detach()); }

 private:
  HWND window_;
};

#pragma once
#include "app/res/resource.h"
#include "classlib/afxwin.h"

// The about box: its template is all there is; OK and Escape close it.
class CAboutDlg : public CDialog {
 public:
  enum { IDD = IDD_ABOUTBOX };
  CAboutDlg() : CDialog(IDD) {}
};

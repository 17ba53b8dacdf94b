#pragma once
#include "classlib/afxwin.h"

// The application: shows the main dialog once and ends when it closes.
class CPatchApp : public CWinApp {
 public:
  CPatchApp();
  BOOL InitInstance() override;

  DECLARE_MESSAGE_MAP()
};

extern CPatchApp theApp;

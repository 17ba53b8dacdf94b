// A GUI program with nothing but an application object, started by the window-layer tests to
// see the class layer's WinMain at work. Arguments: "once" or "loop", then a file to report to.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "classlib/afxwin.h"

namespace {

void Report(const char* text) {
  if (__argc < 3) return;
  FILE* file = fopen(__argv[2], "ab");
  if (file == nullptr) return;
  fputs(text, file);
  fclose(file);
}

class CProbeApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    m_loop = __argc >= 2 && strcmp(__argv[1], "loop") == 0;
    const bool instanceOk = m_hInstance == GetModuleHandleA(nullptr) &&
                            AfxGetInstanceHandle() == m_hInstance && AfxGetApp() == this;
    char line[512];
    snprintf(line, sizeof line, "InitInstance %s %s instance %s\n", m_loop ? "loop" : "once",
             m_pszProfileName, instanceOk ? "ok" : "wrong");
    Report(line);
    if (!m_loop) return FALSE;
    PostQuitMessage(0);  // the message loop ends at once
    return TRUE;
  }
  int ExitInstance() override {
    Report(m_loop ? "ExitInstance after loop\n" : "ExitInstance\n");
    return 7;
  }

 private:
  bool m_loop = false;
};

CProbeApp theApp;

}  // namespace

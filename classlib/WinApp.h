#pragma once
#include <windows.h>

#include "classlib/CString.h"
#include "classlib/MessageMap.h"

class CWnd;

// The application object: exactly one, constructed as a global before the program starts.
// The program's WinMain (this layer's) runs its InitInstance.
//
// The profile is the class library's default one: an INI file named after the program
// ("<exe name>.INI", no folder, so the Windows profile functions keep it in the Windows
// folder). Binary values are stored as text, two letters per byte: 'A' + low nibble, then
// 'A' + high nibble.
class CWinApp : public CCmdTarget {
 public:
  // The name does not name the profile (the program's file name does), and nothing else here
  // shows it, so it is not kept.
  explicit CWinApp(LPCTSTR lpszAppName = nullptr);
  ~CWinApp() override;

  // TRUE runs the message loop (Run); FALSE ends the program at once with ExitInstance's code.
  virtual BOOL InitInstance();
  virtual int Run();
  virtual int ExitInstance();

  // The standard help command: opens the program's help file when there is one.
  afx_msg void OnHelp();

  // On TRUE, *ppData holds *pBytes bytes (at least one) that the caller frees with delete[].
  // FALSE, with *ppData null and *pBytes 0, when the entry is missing or empty, or is not a
  // binary value written the profile's way (odd length, a letter outside 'A' to 'P').
  BOOL GetProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE* ppData, UINT* pBytes);

  // 3-D controls were a separate library (CTL3D) on 16-bit Windows; every Win32 system draws
  // them itself, so there is nothing to enable.
  BOOL Enable3dControls() { return TRUE; }

  CWnd* m_pMainWnd;
  HINSTANCE m_hInstance;
  LPCTSTR m_pszProfileName;   // "<exe name>.INI"
  LPCTSTR m_pszHelpFilePath;  // "<program folder>\<exe name>.HLP"
  // The program's own full path, asked of Windows once here; empty when it did not fit MAX_PATH.
  LPCTSTR m_pszModulePath;

 private:
  CString m_profileName;
  CString m_helpFilePath;
  CString m_modulePath;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// The module that holds the resource: the program itself (there are no resource DLLs).
HINSTANCE AfxFindResourceHandle(LPCTSTR lpszName, LPCTSTR lpszType);
// The program hosts no ActiveX controls, so there is no container support to switch on.
inline void AfxEnableControlContainer() {}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

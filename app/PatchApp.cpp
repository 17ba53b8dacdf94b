#include "app/PatchApp.h"

#include "PatchManifestDigest.h"
#include "app/PatchDlg.h"
#include "install/PatchManifest.h"
#include "install/PatchPaths.h"

BEGIN_MESSAGE_MAP(CPatchApp, CWinApp)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

// No application name: the profile is the default one, an INI file named after the program.
CPatchApp::CPatchApp() : CWinApp(NULL) {}

CPatchApp theApp;

BOOL CPatchApp::InitInstance() {
  // Before anything reads the patch: only the manifest this program was built with is taken.
  BindManifestDigest(QX48_PATCH_MANIFEST_SHA256);
  AfxEnableControlContainer();
  Enable3dControls();

  // Constructing the dialog fills the installation table, before the dialog window exists.
  // The one place the dialog learns where its patch lies.
  CPatchDlg dlg(PatchFolderBeside(m_pszModulePath));
  m_pMainWnd = &dlg;
  dlg.DoModal();

  // The dialog was the whole program: no message loop of our own.
  return FALSE;
}

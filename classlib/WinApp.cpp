#include "classlib/WinApp.h"

#include <vector>

#include "classlib/CommonControls.h"
#include "classlib/Wnd.h"

namespace {

CWinApp* g_app = nullptr;

// Longest profile text read (characters); a longer value counts as unreadable.
constexpr size_t kMaxProfileText = 1 << 16;

// The profile text of an entry, empty when it is missing; FALSE when it is longer than
// kMaxProfileText.
BOOL ReadProfileText(LPCTSTR section, LPCTSTR entry, LPCTSTR profile, CString& text) {
  std::vector<char> buffer(256);
  for (;;) {
    const DWORD length = ::GetPrivateProfileStringA(section, entry, "", buffer.data(),
                                                    static_cast<DWORD>(buffer.size()), profile);
    // A text that fills the buffer may have been cut: ask again with a larger one.
    if (length + 1 < buffer.size()) {
      text = CString(buffer.data(), static_cast<int>(length));
      return TRUE;
    }
    if (buffer.size() > kMaxProfileText) {
      text.Empty();
      return FALSE;
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

CWinApp::CWinApp(LPCTSTR /*lpszAppName*/)
    : m_pMainWnd(nullptr), m_hInstance(::GetModuleHandleA(nullptr)) {
  if (g_app == nullptr) g_app = this;

  char modulePath[MAX_PATH] = "";
  const DWORD length = ::GetModuleFileNameA(m_hInstance, modulePath, MAX_PATH);
  CString path(modulePath, length < MAX_PATH ? static_cast<int>(length) : MAX_PATH - 1);
  CString withoutExtension = path;
  const int dot = path.ReverseFind('.');
  if (dot > path.ReverseFind('\\')) withoutExtension = path.Left(dot);
  m_profileName = withoutExtension.Mid(withoutExtension.ReverseFind('\\') + 1) + ".INI";
  m_helpFilePath = withoutExtension + ".HLP";

  // A path that fills the buffer is cut (and unterminated on older Windows): nobody gets it.
  if (length != 0 && length < MAX_PATH) m_modulePath = static_cast<LPCTSTR>(path);

  m_pszProfileName = m_profileName;
  m_pszHelpFilePath = m_helpFilePath;
  m_pszModulePath = m_modulePath;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
  return TRUE;
}

int CWinApp::Run() {
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return ExitInstance();
}

int CWinApp::ExitInstance() {
  return 0;
}

void CWinApp::OnHelp() {
  if (::GetFileAttributesA(m_pszHelpFilePath) == INVALID_FILE_ATTRIBUTES) return;
  ::WinHelpA(m_pMainWnd != nullptr ? m_pMainWnd->GetSafeHwnd() : nullptr, m_pszHelpFilePath,
             HELP_FINDER, 0);
}

BOOL CWinApp::GetProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE* ppData,
                               UINT* pBytes) {
  *ppData = nullptr;
  *pBytes = 0;
  CString text;
  if (!ReadProfileText(lpszSection, lpszEntry, m_pszProfileName, text)) return FALSE;
  const int length = text.GetLength();
  if (length <= 0 || length % 2 != 0) return FALSE;
  for (int i = 0; i < length; ++i) {
    if (text[i] < 'A' || text[i] > 'P') return FALSE;
  }
  const UINT bytes = static_cast<UINT>(length / 2);
  BYTE* data = new BYTE[bytes];
  for (UINT i = 0; i < bytes; ++i) {
    const int low = text[static_cast<int>(2 * i)] - 'A';
    const int high = text[static_cast<int>(2 * i + 1)] - 'A';
    data[i] = static_cast<BYTE>((high << 4) | low);
  }
  *ppData = data;
  *pBytes = bytes;
  return TRUE;
}

CWinApp* AfxGetApp() {
  return g_app;
}

HINSTANCE AfxGetInstanceHandle() {
  return g_app != nullptr ? g_app->m_hInstance : ::GetModuleHandleA(nullptr);
}

HINSTANCE AfxFindResourceHandle(LPCTSTR /*lpszName*/, LPCTSTR /*lpszType*/) {
  return AfxGetInstanceHandle();
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR /*lpCmdLine*/,
               int /*nCmdShow*/) {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return -1;
  app->m_hInstance = hInstance;
  classlib_detail::EnsureCommonControls();
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}

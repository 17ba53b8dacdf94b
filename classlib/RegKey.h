#pragma once
#include <windows.h>

// An open registry key, closed with the object. The Reg* calls return a Win32 error code
// (ERROR_SUCCESS on success) instead of setting the last error, so these forwarders do too.
class CRegKey {
 public:
  CRegKey() = default;
  ~CRegKey() { Close(); }
  CRegKey(const CRegKey&) = delete;
  CRegKey& operator=(const CRegKey&) = delete;

  operator HKEY() const { return m_hKey; }

  // Closes the key held before; on failure the object holds no key. Opened through a local:
  // Windows does not promise what a failed RegOpenKeyExA leaves in its output.
  LONG Open(HKEY parent, LPCSTR name, REGSAM access) {
    Close();
    HKEY key = nullptr;
    const LONG result = ::RegOpenKeyExA(parent, name, 0, access, &key);
    if (result == ERROR_SUCCESS) m_hKey = key;
    return result;
  }
  LONG Close() {
    return m_hKey != nullptr ? ::RegCloseKey(Detach()) : static_cast<LONG>(ERROR_SUCCESS);
  }
  void Attach(HKEY key) {
    Close();
    m_hKey = key;
  }
  HKEY Detach() {
    HKEY key = m_hKey;
    m_hKey = nullptr;
    return key;
  }

 private:
  HKEY m_hKey = nullptr;
};

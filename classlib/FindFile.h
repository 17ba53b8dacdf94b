#pragma once
#include <windows.h>

// A directory listing (FindFirstFileA ... FindNextFileA), closed with the object. A failed call
// leaves its reason in GetLastError: ERROR_FILE_NOT_FOUND when nothing matches the pattern,
// ERROR_PATH_NOT_FOUND when its folder is missing, ERROR_NO_MORE_FILES at the end of a listing.
class CFindFile {
 public:
  CFindFile() = default;
  ~CFindFile() { Close(); }
  CFindFile(const CFindFile&) = delete;
  CFindFile& operator=(const CFindFile&) = delete;

  BOOL IsOpen() const { return m_hFind != INVALID_HANDLE_VALUE; }

  // Closes a listing held before. On TRUE, entry holds the first match.
  BOOL FindFirst(LPCSTR pattern, WIN32_FIND_DATAA* entry) {
    Close();
    m_hFind = ::FindFirstFileA(pattern, entry);
    return IsOpen();
  }
  // On TRUE, entry holds the next match; FALSE also when no listing is open.
  BOOL FindNext(WIN32_FIND_DATAA* entry) { return IsOpen() && ::FindNextFileA(m_hFind, entry); }
  // A caller that wants the reason a listing ended reads GetLastError before closing it.
  BOOL Close() {
    if (!IsOpen()) return FALSE;
    HANDLE find = m_hFind;
    m_hFind = INVALID_HANDLE_VALUE;
    return ::FindClose(find);
  }

 private:
  HANDLE m_hFind = INVALID_HANDLE_VALUE;
};

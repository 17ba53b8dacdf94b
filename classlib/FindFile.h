#pragma once
#include <windows.h>

#include "classlib/Handle.h"

// A directory listing (FindFirstFileA ... FindNextFileA), closed with the object. "." and ".."
// are skipped here, so no caller sees them: a folder that holds nothing else lists as empty
// (FindFirst FALSE, ERROR_FILE_NOT_FOUND). A failed call
// leaves its reason in GetLastError: ERROR_FILE_NOT_FOUND when nothing matches the pattern,
// ERROR_PATH_NOT_FOUND when its folder is missing, ERROR_NO_MORE_FILES at the end of a listing.
class CFindFile : public CHandle {
 public:
  CFindFile() : CHandle(INVALID_HANDLE_VALUE, ::FindClose) {}

  // Closes a listing held before. On TRUE, entry holds the first match.
  BOOL FindFirst(LPCSTR pattern, WIN32_FIND_DATAA* entry) {
    Close();
    m_handle = ::FindFirstFileA(pattern, entry);
    if (!IsOpen()) return FALSE;
    if (!IsDotEntry(entry->cFileName) || FindNext(entry)) return TRUE;
    Close();
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  // On TRUE, entry holds the next match; FALSE also when no listing is open. A caller that wants
  // the reason a listing ended reads GetLastError before closing it.
  BOOL FindNext(WIN32_FIND_DATAA* entry) {
    while (IsOpen() && ::FindNextFileA(m_handle, entry)) {
      if (!IsDotEntry(entry->cFileName)) return TRUE;
    }
    return FALSE;
  }

 private:
  static BOOL IsDotEntry(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
  }
};

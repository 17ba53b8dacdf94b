#pragma once
#include <windows.h>

#include "classlib/Handle.h"

// FILE_ID_INFO, which the headers declare for Windows 8 and later only (where FileIdInfo names
// the information class, hence another name here).
struct FileIdentityInfo {
  ULONGLONG volume;
  BYTE id[16];
};

// A handle from CreateFileA (a file, or a folder opened with FILE_FLAG_BACKUP_SEMANTICS), closed
// with the object. Failed calls leave their reason in GetLastError.
class CFileHandle : public CHandle {
 public:
  CFileHandle() : CHandle(INVALID_HANDLE_VALUE, ::CloseHandle) {}

  // Closes a handle held before. No security attributes and no template file: nothing here
  // hands a handle to a child process or copies another file's attributes.
  BOOL Create(LPCSTR path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    Close();
    m_handle = ::CreateFileA(path, access, share, nullptr, disposition, flags, nullptr);
    return IsOpen();
  }
  BOOL GetInformation(BY_HANDLE_FILE_INFORMATION* information) const {
    return ::GetFileInformationByHandle(m_handle, information);
  }
  // The volume and the 128-bit file id (Windows 8 and later; FALSE before). Unlike
  // GetInformation it asks nothing of the volume itself: under Wine that question goes to the
  // mount manager in another process, a round trip per call.
  BOOL GetIdentity(FileIdentityInfo* identity) const {
    constexpr FILE_INFO_BY_HANDLE_CLASS kFileIdInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);
    return ::GetFileInformationByHandleEx(m_handle, kFileIdInfo, identity, sizeof *identity);
  }
  // The path with every link followed. Returns its length without the terminator; when it does
  // not fit, the size it needs (terminator included, so at least size); 0 on failure.
  DWORD GetFinalPathName(LPSTR path, DWORD size, DWORD flags) const {
    return ::GetFinalPathNameByHandleA(m_handle, path, size, flags);
  }
};

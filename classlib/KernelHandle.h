#pragma once
#include <windows.h>

// A kernel object's handle that is not a file (a process token, say), closed with the object.
// Null is "none", as the calls that open such objects report failure.
class CKernelHandle {
 public:
  CKernelHandle() = default;
  ~CKernelHandle() { Close(); }
  CKernelHandle(const CKernelHandle&) = delete;
  CKernelHandle& operator=(const CKernelHandle&) = delete;

  // For the call that opens the object: it writes the handle here.
  HANDLE* Receive() {
    Close();
    return &m_handle;
  }
  HANDLE GetSafeHandle() const { return m_handle; }
  BOOL Close() {
    if (m_handle == nullptr) return FALSE;
    HANDLE handle = m_handle;
    m_handle = nullptr;
    return ::CloseHandle(handle);
  }

 private:
  HANDLE m_handle = nullptr;
};

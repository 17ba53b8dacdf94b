#pragma once
#include <windows.h>

// The one owner of a Win32 handle that the handle classes share: closed with the object, never
// copied. Windows reports "no handle" as null from some calls and as INVALID_HANDLE_VALUE from
// others; each class says which is its own, and both count as not open. close is the call that
// gives this kind of handle back (CloseHandle, FindClose).
class CHandle {
 public:
  CHandle(const CHandle&) = delete;
  CHandle& operator=(const CHandle&) = delete;

  BOOL IsOpen() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
  // For the calls the classes have no member for; still owned here.
  HANDLE GetSafeHandle() const { return m_handle; }
  // Takes over handle (from a call the class has no member for), closing one held before.
  void Attach(HANDLE handle) {
    Close();
    m_handle = handle;
  }
  // Gives the handle up without closing it: whoever took it (Attach) owns it now.
  HANDLE Detach() {
    HANDLE handle = m_handle;
    m_handle = m_none;
    return handle;
  }
  // For the call that opens the object: it writes the handle here.
  HANDLE* Receive() {
    Close();
    return &m_handle;
  }
  BOOL Close() {
    if (!IsOpen()) return FALSE;
    HANDLE handle = m_handle;
    m_handle = m_none;
    return m_close(handle);
  }

 protected:
  CHandle(HANDLE none, BOOL(WINAPI* close)(HANDLE)) : m_handle(none), m_none(none), m_close(close) {}
  ~CHandle() { Close(); }

  HANDLE m_handle;

 private:
  HANDLE m_none;
  BOOL(WINAPI* m_close)(HANDLE);
};

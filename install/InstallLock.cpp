#include "install/InstallLock.h"

InstallLockResult CInstallLock::TryAcquire() {
  if (m_held) return InstallLockResult::kAcquired;
  if (m_mutex == nullptr) {
    // A null DACL would let any user hold the installs up; the default one is the creator's, and
    // both programs run as administrators.
    m_mutex = CreateMutexA(nullptr, FALSE, kInstallLockName);
    if (m_mutex == nullptr) {
      // A mutex created by another user whose DACL refuses us: someone else is installing.
      return GetLastError() == ERROR_ACCESS_DENIED ? InstallLockResult::kBusy
                                                   : InstallLockResult::kFailed;
    }
  }
  switch (WaitForSingleObject(m_mutex, 0)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:
      m_held = TRUE;
      return InstallLockResult::kAcquired;
    case WAIT_TIMEOUT:
      return InstallLockResult::kBusy;
    default:
      return InstallLockResult::kFailed;
  }
}

void CInstallLock::Release() {
  if (m_held) {
    ReleaseMutex(m_mutex);
    m_held = FALSE;
  }
  if (m_mutex != nullptr) {
    CloseHandle(m_mutex);
    m_mutex = nullptr;
  }
}

#pragma once
#include <windows.h>

// One install at a time on the machine, whichever program runs it: the dialog's install run and
// the console tool's install and restore each hold this named mutex for their whole run. The
// "Global" prefix puts it in the machine's namespace, so sessions of other users (a distribution
// system's service runs in session 0) see it too.
constexpr const char* kInstallLockName = "Global\\QX48_EWARM_pack.install";

enum class InstallLockResult {
  kAcquired,
  kBusy,    // another thread or process holds it
  kFailed,  // the mutex could not be created or waited on
};

// A mutex belongs to the thread that took it: Release must run on the thread that acquired.
class CInstallLock {
 public:
  CInstallLock() = default;
  ~CInstallLock() { Release(); }
  CInstallLock(const CInstallLock&) = delete;
  CInstallLock& operator=(const CInstallLock&) = delete;

  // Takes the lock without waiting. A holder that ended without releasing it (a crash) leaves it
  // abandoned; that counts as acquired, since nothing is installing any more.
  InstallLockResult TryAcquire();
  void Release();
  BOOL Held() const { return m_held; }

 private:
  HANDLE m_mutex = nullptr;
  BOOL m_held = FALSE;
};

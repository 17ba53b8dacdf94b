#pragma once
#include <windows.h>

#include <string>

#include "classlib/FileHandle.h"

// One install at a time on the machine, whichever program runs it: the dialog's install run and
// the console tool's install, restore and uninstall each hold the lock file for their whole run,
// open without sharing. It lies in %ProgramData%\QuorVantel\Lock, a folder of SYSTEM and
// Administrators alone (ProgramDataFolder.h), so a standard user can neither hold it nor put
// anything in its place: a named kernel object would be anyone's to create first, and to hold
// for ever. A holder that ends without letting go (a crash) releases it with its handles.
constexpr const char* kInstallLockFolder = "Lock";
constexpr const char* kInstallLockFile = "install.lock";

enum class InstallLockResult {
  kAcquired,
  kBusy,    // another program holds it
  kFailed,  // its folder is not safe to use, or the file could not be made (Why says)
};

class CInstallLock {
 public:
  // Takes the lock without waiting.
  InstallLockResult TryAcquire();
  void Release() { m_file.Close(); }
  BOOL Held() const { return m_file.IsOpen(); }
  // Why TryAcquire failed, for the user.
  const std::string& Why() const { return m_why; }

 private:
  CFileHandle m_file;
  std::string m_why;
};

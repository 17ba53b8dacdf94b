#include "install/InstallLock.h"

#include "install/ErrorWords.h"
#include "install/ProgramDataFolder.h"

InstallLockResult CInstallLock::TryAcquire() {
  if (m_file.IsOpen()) return InstallLockResult::kAcquired;
  CProgramDataFolder folder;
  if (!folder.Use(kInstallLockFolder, &m_why)) return InstallLockResult::kFailed;
  const std::string path = folder.Path() + "\\" + kInstallLockFile;
  // No sharing at all: a second open, by anyone, fails while this one holds it.
  if (m_file.Create(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT))
    return InstallLockResult::kAcquired;
  const DWORD error = GetLastError();
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
    return InstallLockResult::kBusy;
  m_why = path + " cannot be opened: " + ErrorInWords(error);
  return InstallLockResult::kFailed;
}

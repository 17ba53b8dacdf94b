#pragma once

// qx48patch's exit codes. Distribution systems read them: Intune and Configuration Manager
// retry later on 1618 and count 0 as success; every other code is a failure that they report by
// its number, so each cause has its own. The Windows Installer's numbers are used where one
// means the same thing.
enum ExitCode : int {
  kExitSuccess = 0,
  kExitNotCurrent = 1,        // status: a named installation lacks this patch's version
  kExitNoInstallation = 2,    // no EWARM installation to work on
  kExitSomeFailed = 3,        // install or restore failed in some installations
  kExitNotAdministrator = 5,  // ERROR_ACCESS_DENIED: started without administrator rights
  kExitFatal = 1603,          // ERROR_INSTALL_FAILURE: anything else that stopped the run
  kExitPatchDamaged =
      1612,  // ERROR_INSTALL_SOURCE_ABSENT: patch beside the program missing or damaged
  kExitAnotherInstall = 1618,  // ERROR_INSTALL_ALREADY_RUNNING: another install holds the lock
  kExitBadUsage = 1639,        // ERROR_INVALID_COMMAND_LINE
};

#pragma once

// qx48patch's exit codes. Distribution systems read them: Intune and Configuration Manager
// retry later on 1618 and count 0 as success; every other code is a failure that they report by
// its number, so each cause has its own and an administrator can map each to an action. The
// Windows Installer's and Win32's numbers are used where one means the same thing, so that a
// console that prints a code's system message prints the right one.
enum ExitCode : int {
  kExitSuccess = 0,
  kExitNotCurrent = 1,        // status: a named installation lacks this patch's version
  kExitSomeFailed = 3,        // install, restore or uninstall failed in some installations
  kExitNotAdministrator = 5,  // ERROR_ACCESS_DENIED: started without administrator rights
  kExitFileInUse = 32,        // ERROR_SHARING_VIOLATION: skipped because a file was in use
  kExitFilesDiffer = 1392,    // ERROR_FILE_CORRUPT: verify found a patch file missing, changed
                              // or foreign
  kExitFatal = 1603,          // ERROR_INSTALL_FAILURE: anything else that stopped the run
  kExitPatchDamaged =
      1612,  // ERROR_INSTALL_SOURCE_ABSENT: patch beside the program missing or damaged
  kExitAnotherInstall = 1618,  // ERROR_INSTALL_ALREADY_RUNNING: another install holds the lock
  kExitLogFailure = 1622,      // ERROR_INSTALL_LOG_FAILURE: the log cannot be opened
  kExitBadUsage = 1639,        // ERROR_INVALID_COMMAND_LINE
  kExitNoInstallation = 1642,  // ERROR_PATCH_TARGET_NOT_FOUND: no EWARM installation to work on
};

// Every code above, for the help text's test.
constexpr int kAllExitCodes[] = {0, 1, 3, 5, 32, 1392, 1603, 1612, 1618, 1622, 1639, 1642};

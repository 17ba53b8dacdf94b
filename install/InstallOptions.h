#pragma once
#include <windows.h>

// What one install run was asked to do, handed by value from the command to every copy.
struct InstallOptions {
  BOOL clearOldPatch;  // installed vendor folders that the patch carries are removed first
};

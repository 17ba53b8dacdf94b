#pragma once
#include <windows.h>

#include <cstddef>

// The install's own areas in a configuration folder (the undo area and the kept generation) are
// executed later by an administrator's or SYSTEM's run, while the folder around them may be
// writable by every user. So they are made for SYSTEM and Administrators alone, and an existing
// one is trusted only when it still is.

// Makes folder (its parent exists) with an owner of Administrators and a protected DACL that lets
// in SYSTEM and Administrators only, nothing inherited from the configuration folder. FALSE when it
// could not be made, or something was already there.
BOOL CreateProtectedFolder(const char* folder);

// TRUE when the folder open in handle (with READ_CONTROL) is owned by SYSTEM, Administrators or
// TrustedInstaller and its DACL lets nobody else write, delete or change it. FALSE with why
// (size bytes) otherwise. Wine reports every file as owned by the account that runs it and keeps
// no DACL of its own, only what the Unix mode says, so under Wine that account counts as an owner
// and a folder other Unix users may write is what fails.
BOOL IsProtectedFolder(HANDLE folder, char* why, size_t size);

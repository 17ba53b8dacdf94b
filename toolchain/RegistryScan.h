#pragma once
#include <windows.h>

#include "toolchain/InstallRecord.h"

// The EWARM locations key below HKEY_LOCAL_MACHINE, as a 32-bit process names it. EWARM's
// installer writes it in the 32-bit view. A 32-bit program under WOW64 opens the 64-bit view's
// Wow6432Node path instead, which is the same key; a 64-bit program opens the plain path in the
// 32-bit view (KEY_WOW64_32KEY).
constexpr const char* kLocationsKeyPath =
    "SOFTWARE\\IAR Systems\\Embedded Workbench\\5.0\\Locations";
constexpr const char* kLocationsKeyPathWow64 =
    "SOFTWARE\\Wow6432Node\\IAR Systems\\Embedded Workbench\\5.0\\Locations";
constexpr const char* kInstallPathValue = "InstallPath";
constexpr const char* kVersionKeyPath = "Product Families\\ARM\\10.EW";
constexpr const char* kVersionValue = "Version";

// The enumeration gives up after this many subkeys, so that a registry that keeps changing under
// the scan cannot keep it going for ever. The dialog lists at most 64 of them.
constexpr DWORD kMaxLocationSubkeys = 100000;

// Appends one record per installation that has both an installation folder and a version text,
// in the order the registry enumerates them, and returns the number of records in the list.
// Never fails: an unreadable registry leaves the list as it was, and a subkey whose name does not
// fit the scan's buffer is passed over without ending the scan.
int FindToolchainInstallations(InstallRecordList& list);

// Zero-fills record and reads the candidate subkeyName below locationsKey into it. TRUE when the
// candidate counts: a non-empty "InstallPath" and a "Version" (empty allowed), both text values
// (REG_SZ, or REG_EXPAND_SZ expanded) that fit their fields with a terminator. On FALSE the
// record may hold part of what was read.
BOOL ReadInstallRecord(InstallRecord* record, HKEY locationsKey, const char* subkeyName);

// Opens the locations key for reading. On failure *key is left unchanged.
BOOL OpenLocationsKey(HKEY* key);

// TRUE for a 32-bit process on 64-bit Windows; FALSE for a 64-bit process, and when
// IsWow64Process is missing or fails.
BOOL IsRunningUnderWow64();

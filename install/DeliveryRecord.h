#pragma once
#include <windows.h>

#include <string>

#include "classlib/FileHandle.h"

// Which patch version an elevated install last delivered into each configuration folder, kept
// where only administrators may write: HKLM, in the registry's 64-bit view whichever package
// writes it, one value per folder named by the folder's identity (volume and file id, so that two
// spellings of one folder are one record).
//
// A version file in arm\config is anyone's to write. One that says this package's version or an
// older one costs nothing to believe: the install puts this version there anyway. One that says a
// newer version would make every later delivery leave the installation alone and every detection
// pass, so it is believed only where a delivery of that very version recorded it here.

// Notes that label was just installed into the folder. FALSE when it could not be written (the
// install stands; a newer patch it brought then counts as unknown to an older package).
BOOL RecordDelivery(const FileIdentityInfo& config, const char* label);

// Forgets the folder's record, once what the folder holds no longer came from one delivery
// (restored, or taken out).
void ForgetDelivery(const FileIdentityInfo& config);

// The version last delivered into the configuration folder of installFolder; empty when none was
// recorded, or the folder cannot be opened and checked.
std::string RecordedDelivery(const char* installFolder);

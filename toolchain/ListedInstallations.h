#pragma once
#include "toolchain/InstallRecord.h"

// Which of the registry's installations a program of ours lists, and in which order. The dialog's
// table and the console tool's list both come from here, so they never disagree.
constexpr int kMaxListedInstallations = 64;

// The first kMaxListedInstallations records of found, one per version text (compared without
// regard to ASCII case; the first in registry order stays), in ascending order of version text
// compared as text, so "10.10" comes before "9.20".
InstallRecordList SelectListedInstallations(const InstallRecordList& found);

// The registry scan followed by SelectListedInstallations.
InstallRecordList FindListedInstallations();

// What the console tool works on: every distinct installation folder among the first
// kMaxListedInstallations records (compared without regard to case or trailing backslashes; the
// first in registry order stays), so that a second EWARM of one version in another folder is
// patched too. Ordered as SelectListedInstallations orders, a tie in registry order.
InstallRecordList SelectDistinctFolders(const InstallRecordList& found);
InstallRecordList FindDistinctInstallations();

#pragma once
#include <cstdint>

#include "classlib/afx.h"

// Which patch an installation holds, as read from its version file when its row was made.
constexpr int kStampTextSize = 64;  // label and date: at most 63 characters and a terminator

// The label of a version file that could not be read whole (over its size bound, too many
// entries, out of memory): the patch is there, its version is not known. Its state is 1.
constexpr const char* kUnknownVersionLabel = "Unknown";

struct VersionStamp {
  int32_t state;               // 0: no patch, 1: "V1.0", 2: "V2.0"
  char label[kStampTextSize];  // the label as the version file writes it
  char date[kStampTextSize];   // the install date, "%Y-%m-%d"
};

class CRecordDocument;

// Fills every field of the stamp from the version file at path ("V1.0", dated today, when the
// file is missing).
void ReadVersionFile(LPCTSTR path, VersionStamp* stamp);

// The visitor that takes the label and the date from the section "Install"; returns 1. A document
// whose load was cut gives the label kUnknownVersionLabel and an empty date.
int ReadInstallSection(CRecordDocument* document, void* stamp);

// clear: zero the stamp and make it state 1 first. Then: date today, label of the state.
void ResetVersionStamp(VersionStamp* stamp, BOOL clear);

CString VersionLabel(int state);
int VersionState(LPCTSTR label, int fallback);
CString TodayText();
CString StripQuotes(LPCTSTR text);

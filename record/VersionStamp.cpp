#include "record/VersionStamp.h"

#include <cstdio>
#include <cstring>

#include "record/RecordDocument.h"

namespace {

constexpr int kScratchSize = 256;  // what one element of the version file may give: 255 characters

// Copies text into a fixed field, cut to the field's size and always terminated.
template <size_t N>
void CopyCut(char (&field)[N], LPCTSTR text) {
  snprintf(field, N, "%.*s", static_cast<int>(N - 1), text);
}

// The first element of key in section "Install", cut to the scratch size; empty when missing.
void ReadInstallElement(CRecordDocument* document, LPCTSTR key, char (&scratch)[kScratchSize]) {
  memset(scratch, 0, sizeof scratch);
  const int section = document->FindSection("Install");
  if (section < 0) return;
  CRecordSection* install = document->GetSection(section);
  const int index = install->FindKey(key);
  if (index < 0) return;
  // An element may be as long as a value text; take it whole, then keep what the scratch holds.
  char element[kRecordTextSize];
  if (install->GetValue(index)->GetElement(0, element) != 0) CopyCut(scratch, element);
}

}  // namespace

CString VersionLabel(int state) {
  switch (state) {
    case 1:
      return "V1.0";
    case 2:
      return "V2.0";
    default:
      return "None";
  }
}

int VersionState(LPCTSTR label, int fallback) {
  if (_stricmp(label, "V1.0") == 0) return 1;
  if (_stricmp(label, "V2.0") == 0) return 2;
  return fallback;
}

CString TodayText() {
  return COleDateTime::GetCurrentTime().Format("%Y-%m-%d");
}

CString StripQuotes(LPCTSTR text) {
  const int length = static_cast<int>(strlen(text));
  if (length >= 2 && text[0] == '"' && text[length - 1] == '"')
    return CString(text + 1, length - 2);
  return text;
}

void ResetVersionStamp(VersionStamp* stamp, BOOL clear) {
  if (clear) {
    memset(stamp, 0, sizeof *stamp);
    stamp->state = 1;
  }
  CopyCut(stamp->date, TodayText());
  CopyCut(stamp->label, VersionLabel(stamp->state));
}

int ReadInstallSection(CRecordDocument* document, void* context) {
  VersionStamp* stamp = static_cast<VersionStamp*>(context);
  // What a cut load holds is only the start of the file; any version read from it could be
  // wrong. Nothing here allocates: memory may have run out.
  if (document->IsLoadCut()) {
    CopyCut(stamp->label, kUnknownVersionLabel);
    stamp->date[0] = '\0';
    return 1;
  }
  char scratch[kScratchSize];

  ReadInstallElement(document, "Version", scratch);
  CopyCut(stamp->label, StripQuotes(scratch));

  ReadInstallElement(document, "Date", scratch);
  CopyCut(stamp->date, StripQuotes(scratch));
  return 1;
}

void ReadVersionFile(LPCTSTR path, VersionStamp* stamp) {
  // An installed patch without a version file counts as the first version, dated today.
  if (path == NULL || path[0] == '\0' || !PathFileExistsA(path)) {
    ResetVersionStamp(stamp, TRUE);
    return;
  }
  if (ReadRecordFile(path, ReadInstallSection, stamp) != 0) {
    stamp->state = VersionState(stamp->label, 1);
  } else {
    ResetVersionStamp(stamp, TRUE);  // the file vanished between the two looks
  }
}

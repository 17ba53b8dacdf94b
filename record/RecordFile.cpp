#include <cstdio>
#include <cstring>

#include "record/RecordDocument.h"

void CRecordDocument::Load(LPCTSTR path) {
  // The header scan reads one character more than a name may hold: a longer name shows as
  // kRecordTextSize characters and its line is skipped.
  CString headerFormat;
  if (m_sectionCloseMark.IsEmpty()) {
    headerFormat.Format("%s%%%ds", static_cast<LPCTSTR>(m_sectionOpenMark), kRecordTextSize);
  } else {
    headerFormat.Format("%s%%%d[^%s]", static_cast<LPCTSTR>(m_sectionOpenMark), kRecordTextSize,
                        static_cast<LPCTSTR>(m_sectionCloseMark));
  }
  // Key lines before the first header belong to a section with the empty name.
  char currentSection[kRecordTextSize] = "";
  try {
    // Open flags 0: read only, and no other program may hold the file open meanwhile.
    CStdioFile file(path, 0);
    CString line;
    while (file.ReadString(line)) LoadLine(line, headerFormat, currentSection);
    file.Close();
  } catch (CFileException* error) {
    error->Delete();
  }
}

void CRecordDocument::LoadLine(LPCTSTR line, const char* headerFormat,
                               char (&currentSection)[kRecordTextSize]) {
  char header[kRecordTextSize + 1];
  header[0] = '\0';
  // A line too short for the format leaves header empty, which is all that is looked at.
  if (sscanf(line, headerFormat, header) == 1 && header[0] != '\0') {
    const size_t length = strlen(header);
    if (length >= static_cast<size_t>(kRecordTextSize)) return;
    memcpy(currentSection, header, length + 1);
    if (FindSection(currentSection) < 0) AddSection(currentSection);
    return;
  }

  const int sectionIndex = FindSection(currentSection);
  CRecordSection* section = GetSection(sectionIndex);
  char keyName[kRecordTextSize];
  if (section == nullptr) {
    // Only before the first header: the section is made by the first key line, not by empty
    // or other lines.
    CRecordSection probe;
    if (!probe.ParseKey(line, keyName)) return;
    section = GetSection(AddSection(currentSection));
  } else if (!section->ParseKey(line, keyName)) {
    return;
  }
  const int keyIndex = section->FindKey(keyName);
  section->SetFromLine(keyIndex >= 0 ? keyIndex : static_cast<int>(section->GetKeyCount()), line);
}

int ReadRecordFile(LPCTSTR path, RecordVisitor visitor, void* context) {
  if (path == nullptr || !PathFileExistsA(path)) return 0;
  CRecordDocument document;
  document.Load(path);
  return visitor != nullptr ? visitor(&document, context) : 0;
}

#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "record/RecordDocument.h"

void CRecordDocument::Load(LPCTSTR path) {
  // Whatever goes wrong, the caller gets a document: a version file is one outside input among
  // many, and an exception from it would end the program.
  try {
    m_loadResult = LoadFile(path);
  } catch (CFileException* error) {
    error->Delete();
    m_loadResult = loadUnreadable;
  } catch (CMemoryException* error) {
    error->Delete();
    m_loadResult = loadOutOfMemory;
  } catch (const std::bad_alloc&) {  // the standard library's containers, and new itself
    m_loadResult = loadOutOfMemory;
  } catch (CException* error) {
    error->Delete();
    m_loadResult = loadFailed;
  } catch (const std::exception&) {
    m_loadResult = loadFailed;
  }
}

CRecordDocument::LoadResult CRecordDocument::LoadFile(LPCTSTR path) {
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
  // Open flags 0: read only, and no other program may hold the file open meanwhile.
  CStdioFile file(path, 0);
  // The length is looked at first so that a large file is not read at all; the read limit holds
  // the bound for a file that grows while it is read, or whose length says nothing (a pipe).
  if (file.GetLength() > kMaxRecordFileSize) return loadTooLarge;  // closed on the way out
  file.SetReadLimit(kMaxRecordFileSize + 1);
  LoadTally tally = {CountEntries(), 0};
  INT_PTR lines = 0;
  CString line;
  while (file.ReadString(line)) {
    if (file.ReachedReadLimit()) return loadTooLarge;  // this line may be cut: not loaded
    if (++lines > kMaxRecordLines) return loadTooManyLines;
    LoadLine(line, headerFormat, currentSection, tally);
    if (tally.entries > kMaxRecordEntries) return loadTooManyEntries;
    if (tally.comparedInVain > kMaxRecordComparedInVain) return loadTooManyLikeNames;
  }
  file.Close();
  return loadComplete;
}

INT_PTR CRecordDocument::CountEntries() const {
  INT_PTR entries = GetSectionCount();
  for (INT_PTR s = 0; s < GetSectionCount(); ++s) {
    const CRecordSection* section = GetSection(static_cast<int>(s));
    entries += section->GetKeyCount();
    for (INT_PTR k = 0; k < section->GetKeyCount(); ++k) {
      entries += section->GetValue(static_cast<int>(k))->GetElementCount();
    }
  }
  return entries;
}

void CRecordDocument::LoadLine(LPCTSTR line, const char* headerFormat,
                               char (&currentSection)[kRecordTextSize], LoadTally& tally) {
  // Only the lookups compare names; what they compared in vain is counted around them.
  const uint64_t sectionsInVain = m_sectionIndex.ComparedInVain();
  char header[kRecordTextSize + 1];
  header[0] = '\0';
  // A line too short for the format leaves header empty, which is all that is looked at.
  if (sscanf(line, headerFormat, header) == 1 && header[0] != '\0') {
    const size_t length = strlen(header);
    if (length >= static_cast<size_t>(kRecordTextSize)) return;
    memcpy(currentSection, header, length + 1);
    const int found = FindSection(currentSection);
    tally.comparedInVain += m_sectionIndex.ComparedInVain() - sectionsInVain;
    if (found < 0) {
      AddSection(currentSection);
      ++tally.entries;
    }
    return;
  }

  const int sectionIndex = FindSection(currentSection);
  tally.comparedInVain += m_sectionIndex.ComparedInVain() - sectionsInVain;
  CRecordSection* section = GetSection(sectionIndex);
  char keyName[kRecordTextSize];
  if (section == nullptr) {
    // Only before the first header: the section is made by the first key line, not by empty
    // or other lines.
    CRecordSection probe;
    if (!probe.ParseKey(line, keyName)) return;
    section = GetSection(AddSection(currentSection));
    ++tally.entries;
  } else if (!section->ParseKey(line, keyName)) {
    return;
  }
  const uint64_t keysInVain = section->KeyLookupsComparedInVain();
  const int found = section->FindKey(keyName);
  tally.comparedInVain += section->KeyLookupsComparedInVain() - keysInVain;
  const int keyIndex = found >= 0 ? found : static_cast<int>(section->GetKeyCount());
  const INT_PTR keysBefore = section->GetKeyCount();
  const INT_PTR elementsBefore = found >= 0 ? section->GetValue(found)->GetElementCount() : 0;
  if (section->SetFromLine(keyIndex, line) == 0) return;  // a value text too long
  tally.entries += (section->GetKeyCount() - keysBefore) +
                   (section->GetValue(keyIndex)->GetElementCount() - elementsBefore);
}

int ReadRecordFile(LPCTSTR path, RecordVisitor visitor, void* context) {
  if (path == nullptr || !PathFileExistsA(path)) return 0;
  CRecordDocument document;
  document.Load(path);
  return visitor != nullptr ? visitor(&document, context) : 0;
}

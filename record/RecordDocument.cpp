#include "record/RecordDocument.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

// Scans read one character more than a name may hold, so that an over-long name shows as one
// of kRecordTextSize characters instead of being cut silently.
constexpr int kScanSize = kRecordTextSize + 1;

// new that fails as the class library's allocations fail.
template <typename T>
T* NewObject() {
  try {
    return new T;
  } catch (const std::bad_alloc&) {
    AfxThrowMemoryException();
  }
}

// Copies text with its terminator when it fits in bufferSize bytes.
int CopyWhole(const CString& text, char* buffer, size_t bufferSize) {
  const size_t needed = static_cast<size_t>(text.GetLength()) + 1;
  if (buffer == nullptr || needed > bufferSize) return 0;
  memcpy(buffer, static_cast<LPCTSTR>(text), needed);
  return 1;
}

}  // namespace

CRecordValue::CRecordValue() : m_listSeparator(",") {}

int CRecordValue::GetElement(int index, char* buffer, size_t bufferSize) const {
  if (index < 0 || index >= m_elements.GetSize()) return 0;
  return CopyWhole(m_elements[index], buffer, bufferSize);
}

int CRecordValue::SetElement(int index, LPCTSTR text) {
  if (index < 0) return 0;
  m_elements.SetAtGrow(index, text);
  return 1;
}

CRecordSection::CRecordSection()
    : m_keyValueSeparator("="), m_keyIndex(CRecordNameIndex::multibyteNoCase) {}

CRecordSection::~CRecordSection() {
  for (INT_PTR i = 0; i < m_values.GetSize(); ++i) {
    delete static_cast<CRecordValue*>(m_values[i]);
  }
}

CString CRecordSection::GetKeyName(int index) const {
  if (index < 0 || index >= m_keyNames.GetSize()) return CString();
  return m_keyNames[index];
}

CRecordValue* CRecordSection::GetValue(int index) const {
  if (index < 0 || index >= m_values.GetSize()) return nullptr;
  return static_cast<CRecordValue*>(m_values[index]);
}

int CRecordSection::FindKey(LPCTSTR name) const {
  return m_keyIndex.Find(m_keyNames, name);
}

BOOL CRecordSection::ScanKeyName(LPCTSTR line, char* scan) const {
  if (line == nullptr || m_keyValueSeparator.IsEmpty()) return FALSE;
  const char* separator = strstr(line, m_keyValueSeparator);
  if (separator == nullptr) return FALSE;
  const CString before(line, static_cast<int>(separator - line));
  // %s takes the first word after any white space; with a suffix the name runs up to it.
  CString format;
  if (m_keySuffix.IsEmpty()) {
    format.Format("%s%%%ds", static_cast<LPCTSTR>(m_keyPrefix), kScanSize - 1);
  } else {
    format.Format("%s%%%d[^%s]", static_cast<LPCTSTR>(m_keyPrefix), kScanSize - 1,
                  static_cast<LPCTSTR>(m_keySuffix));
  }
  scan[0] = '\0';
  if (sscanf(before, format, scan) != 1) return FALSE;
  return scan[0] != '\0';
}

int CRecordSection::ParseKey(LPCTSTR line, char (&keyName)[kRecordTextSize]) const {
  char scan[kScanSize];
  if (!ScanKeyName(line, scan)) return 0;
  const size_t length = strlen(scan);
  if (length >= static_cast<size_t>(kRecordTextSize)) return 0;
  memcpy(keyName, scan, length + 1);
  return 1;
}

int CRecordSection::SetFromLine(int index, LPCTSTR line) {
  char keyName[kRecordTextSize];
  if (index < 0 || !ParseKey(line, keyName)) return 0;
  const char* afterSeparator = strstr(line, m_keyValueSeparator) + m_keyValueSeparator.GetLength();
  CString valueText(afterSeparator);
  valueText.TrimLeft();
  valueText.TrimRight();
  if (valueText.GetLength() >= kRecordTextSize) return 0;

  while (index >= m_keyNames.GetSize()) {
    CRecordValue* value = NewObject<CRecordValue>();
    try {
      m_values.Add(value);
    } catch (...) {
      delete value;
      throw;
    }
    try {
      m_keyNames.Add("");
    } catch (...) {
      // Keep the two arrays the same length.
      m_values.RemoveAt(m_values.GetUpperBound());
      delete value;
      throw;
    }
    // Should filing fail, the key stays: the index then scans, and finds it all the same.
    m_keyIndex.Add(static_cast<int>(m_keyNames.GetUpperBound()), "");
  }
  const CString previousName = m_keyNames[index];
  m_keyNames.SetAt(index, keyName);
  if (!m_keyIndex.FiledTogether(previousName, keyName)) {
    m_keyIndex.Remove(index, previousName);
    m_keyIndex.Add(index, keyName);
  }

  CRecordValue* value = GetValue(index);
  CString escapedSeparator;
  for (int i = 0; i < value->m_listSeparator.GetLength(); ++i) {
    escapedSeparator += EscapeCode(value->m_listSeparator[i]);
  }
  CStringArray pieces;
  SplitList(valueText, value->m_listSeparator, pieces);
  // Decoding after splitting: an escaped separator never splits the list.
  value->m_elements.RemoveAll();
  for (INT_PTR i = 0; i < pieces.GetSize(); ++i) {
    CString& piece = pieces.ElementAt(i);
    piece.Replace(escapedSeparator, value->m_listSeparator);
    piece.Replace("%13", "\r");
    piece.Replace("%10", "\n");
    value->SetElement(static_cast<int>(i), piece);
  }
  return 1;
}

CRecordDocument::CRecordDocument()
    : m_sectionOpenMark("["),
      m_sectionCloseMark("]"),
      m_sectionIndex(CRecordNameIndex::asciiNoCase) {}

CRecordDocument::~CRecordDocument() {
  for (INT_PTR i = 0; i < m_sections.GetSize(); ++i) {
    delete static_cast<CRecordSection*>(m_sections[i]);
  }
}

CRecordSection* CRecordDocument::GetSection(int index) const {
  if (index < 0 || index >= m_sections.GetSize()) return nullptr;
  return static_cast<CRecordSection*>(m_sections[index]);
}

int CRecordDocument::FindSection(LPCTSTR name) const {
  return m_sectionIndex.Find(m_sectionNames, name);
}

int CRecordDocument::AddSection(LPCTSTR name) {
  CRecordSection* section = NewObject<CRecordSection>();
  try {
    m_sections.Add(section);
  } catch (...) {
    delete section;
    throw;
  }
  try {
    m_sectionNames.Add(name);
  } catch (...) {
    m_sections.RemoveAt(m_sections.GetUpperBound());
    delete section;
    throw;
  }
  const int index = static_cast<int>(m_sectionNames.GetUpperBound());
  // Should filing fail, the section stays: the index then scans, and finds it all the same.
  m_sectionIndex.Add(index, name);
  return index;
}

int CRecordDocument::GetSectionName(int index, char* buffer, size_t bufferSize) const {
  if (index < 0 || index >= m_sectionNames.GetSize()) return 0;
  return CopyWhole(m_sectionNames[index], buffer, bufferSize);
}

void SplitList(LPCTSTR text, LPCTSTR separator, CStringArray& pieces) {
  pieces.RemoveAll();
  if (text == nullptr) text = "";
  const size_t n = strlen(text);
  const size_t s = separator != nullptr ? strlen(separator) : 0;
  if (s == 0) {
    CString piece(text);
    pieces.Add(piece.Trim());
    return;
  }
  for (size_t p = 0; p <= n;) {
    const char* hit = strstr(text + p, separator);
    const size_t e = hit != nullptr ? static_cast<size_t>(hit - text) : n;
    CString piece(text + p, static_cast<int>(e - p));
    pieces.Add(piece.Trim());
    p = e + s;
  }
}

CString EscapeCode(char ch) {
  CString code;
  code.Format("%%%02d", static_cast<int>(static_cast<signed char>(ch)));
  return code;
}

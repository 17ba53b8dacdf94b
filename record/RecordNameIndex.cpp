#include "record/RecordNameIndex.h"

#include <cstring>
#include <new>

#ifdef _WIN32
#include <mbctype.h>
#endif

namespace {

// 64-bit FNV-1a: names differ mostly in their last characters, which it mixes well enough.
constexpr uint64_t kHashStart = 14695981039346656037ull;
constexpr uint64_t kHashPrime = 1099511628211ull;

uint64_t Mix(uint64_t hash, unsigned char byte) {
  return (hash ^ byte) * kHashPrime;
}

unsigned char AsciiUpper(unsigned char c) {
  return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// What every character that is not ASCII is folded to.
constexpr unsigned char kOtherCharacter = 0x80;

unsigned char Fold(unsigned char c) {
  return c >= 0x80 ? kOtherCharacter : AsciiUpper(c);
}

}  // namespace

CRecordNameIndex::CRecordNameIndex(Comparison comparison) : m_comparison(comparison) {
#ifdef _WIN32
  m_codePage = _getmbcp();
  m_hasLeadBytes = FALSE;
  for (unsigned int byte = 0x80; byte <= 0xFF; ++byte) {
    if (_ismbblead(byte)) m_hasLeadBytes = TRUE;
  }
#endif
}

uint64_t CRecordNameIndex::Hash(LPCTSTR name) const {
  const unsigned char* at = reinterpret_cast<const unsigned char*>(name != nullptr ? name : "");
  uint64_t hash = kHashStart;
#ifdef _WIN32
  if (m_comparison == multibyteNoCase && m_hasLeadBytes) {
    // Under a double-byte code page _mbsicmp folds each character through the code page's case
    // map, which may change both bytes of a double-byte one (the two forms of a full-width letter
    // differ in the trail byte; the two forms of some roman numerals in their lead byte). What
    // stays is that a character compares with a character: a double-byte one is one mark.
    while (*at != 0) {
      if (_ismbblead(*at)) {
        if (at[1] == 0) break;  // _mbsicmp reads a lead byte before the terminator as the end
        hash = Mix(hash, kOtherCharacter);
        at += 2;
      } else {
        hash = Mix(hash, Fold(*at));
        ++at;
      }
    }
    return hash;
  }
#endif
  // _stricmp, and _mbsicmp under a single-byte code page (or on the host), fold ASCII letters
  // only: the other bytes could be hashed as they are, but one rule for every build keeps the
  // cost of names alike the same wherever the tests run.
  for (; *at != 0; ++at) hash = Mix(hash, Fold(*at));
  return hash;
}

BOOL CRecordNameIndex::Equal(LPCTSTR a, LPCTSTR b) const {
  if (m_comparison == asciiNoCase) return _stricmp(a, b) == 0;
  return _mbsicmp(reinterpret_cast<const unsigned char*>(a),
                  reinterpret_cast<const unsigned char*>(b)) == 0;
}

BOOL CRecordNameIndex::CanTrustHashes() const {
#ifdef _WIN32
  if (m_comparison == multibyteNoCase && _getmbcp() != m_codePage) return FALSE;
#endif
  return m_complete;
}

void CRecordNameIndex::Add(int index, LPCTSTR name) {
  if (!m_complete) return;
  try {
    m_filed.emplace(Hash(name), index);
  } catch (const std::bad_alloc&) {
    m_complete = FALSE;
    m_filed.clear();
    AfxThrowMemoryException();
  }
}

void CRecordNameIndex::Remove(int index, LPCTSTR name) {
  const auto range = m_filed.equal_range(Hash(name));
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second == index) {
      m_filed.erase(it);
      return;
    }
  }
}

BOOL CRecordNameIndex::Matches(const CStringArray& names, INT_PTR index, LPCTSTR name) const {
  if (Equal(names[index], name)) return TRUE;
  m_comparedInVain += strlen(name) + 1;
  return FALSE;
}

int CRecordNameIndex::Find(const CStringArray& names, LPCTSTR name) const {
  if (name == nullptr) return -1;
  if (!CanTrustHashes()) {
    for (INT_PTR i = 0; i < names.GetSize(); ++i) {
      if (Matches(names, i, name)) return static_cast<int>(i);
    }
    return -1;
  }
  int first = -1;
  const auto range = m_filed.equal_range(Hash(name));
  for (auto it = range.first; it != range.second; ++it) {
    const int index = it->second;
    if (index < names.GetSize() && (first < 0 || index < first) && Matches(names, index, name)) {
      first = index;
    }
  }
  return first;
}

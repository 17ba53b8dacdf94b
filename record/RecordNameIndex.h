#pragma once
#include <cstdint>
#include <unordered_map>

#include "classlib/afx.h"

// Finds the first of the names in a string array that equals a given name under one of the
// record's case-blind comparisons, without comparing it with every name: each name is filed under
// a hash of its fold, a form that every name equal to it shares, and only the names filed under
// the same hash are compared. The comparison itself has the last word, so the result is exactly
// that of a scan from the first name on, only without the scan's cost (loading a file of n names
// took time in n squared).
//
// The fold keeps ASCII letters without their case and every other character as one and the same
// mark: a code page's case map may fold a double-byte character into one of other bytes, so only
// its place can be trusted. Names that differ only in such characters therefore share a hash;
// ComparedInVain tells how much comparing that cost, so that loading can stop at a bound on it.
class CRecordNameIndex {
 public:
  enum Comparison {
    asciiNoCase,      // _stricmp: ASCII letters without regard to case (section names)
    multibyteNoCase,  // _mbsicmp: letters of the current multibyte code page (key names)
  };

  explicit CRecordNameIndex(Comparison comparison);

  // Files index under name. Running out of memory raises CMemoryException; the index then falls
  // back to scanning for good, so that it never misses a name.
  void Add(int index, LPCTSTR name);
  // Takes index out from under name, where Add filed it.
  void Remove(int index, LPCTSTR name);
  // TRUE when two names are filed under the same hash (and so need no refiling).
  BOOL FiledTogether(LPCTSTR a, LPCTSTR b) const { return Hash(a) == Hash(b); }

  // The lowest index i for which names[i] equals name, or -1. names is the array whose entries
  // were filed, name by name.
  int Find(const CStringArray& names, LPCTSTR name) const;

  // Characters Find has compared with names that turned out not equal, since the index was made.
  uint64_t ComparedInVain() const { return m_comparedInVain; }

 private:
  uint64_t Hash(LPCTSTR name) const;
  BOOL Equal(LPCTSTR a, LPCTSTR b) const;
  BOOL Matches(const CStringArray& names, INT_PTR index, LPCTSTR name) const;
  BOOL CanTrustHashes() const;

  Comparison m_comparison;
  std::unordered_multimap<uint64_t, int> m_filed;
  BOOL m_complete = TRUE;  // FALSE once a name could not be filed
  mutable uint64_t m_comparedInVain = 0;
#ifdef _WIN32
  // The multibyte code page the hashes were made under; _setmbcp may change it later.
  int m_codePage;
  BOOL m_hasLeadBytes;
#endif
};

#pragma once
#include <cstddef>
#include <cstdint>

#include "classlib/afx.h"
#include "record/RecordNameIndex.h"

// Section names, key names and value texts hold at most 4095 characters and a terminator.
// A line of a version file whose name or value text is longer is skipped as a whole.
constexpr int kRecordTextSize = 4096;

// A version file is a few hundred bytes and a dozen lines. Loading stops at these bounds, so that
// no file, whatever it holds, costs the dialog's thread much time or memory: a file over the size
// is not read at all; past so many lines, or once the document holds so many sections, keys and
// list elements (each costs up to about 300 bytes, so a document stays below about 80 MB), the
// rest of the file is not loaded.
constexpr ULONGLONG kMaxRecordFileSize = 8u << 20;
constexpr INT_PTR kMaxRecordLines = INT_PTR{1} << 18;
constexpr INT_PTR kMaxRecordEntries = INT_PTR{1} << 18;
// Characters the name lookups may compare in vain during one load (CRecordNameIndex): names that
// differ only in characters other than ASCII ones look alike to the lookups, and a file of
// thousands of them would take time in their number squared. A real file compares none in vain.
constexpr uint64_t kMaxRecordComparedInVain = uint64_t{1} << 20;

// The value of one key: its list of elements, already decoded.
class CRecordValue {
 public:
  CRecordValue();
  virtual ~CRecordValue() = default;
  CRecordValue(const CRecordValue&) = delete;
  CRecordValue& operator=(const CRecordValue&) = delete;

  INT_PTR GetElementCount() const { return m_elements.GetSize(); }
  // Copies element index whole, with its terminator, into buffer and returns 1. Returns 0 and
  // leaves buffer untouched when there is no such element or when it does not fit in
  // bufferSize bytes: an element arrives whole or not at all.
  int GetElement(int index, char* buffer, size_t bufferSize) const;
  template <size_t N>
  int GetElement(int index, char (&buffer)[N]) const {
    return GetElement(index, buffer, N);
  }
  // Sets element index, first appending empty elements so that it exists. Returns 1, or 0 for
  // a negative index.
  int SetElement(int index, LPCTSTR text);

 private:
  friend class CRecordSection;

  CStringArray m_elements;
  CString m_listSeparator;
};

// One section: keys in the order of their first lines, each with its value.
class CRecordSection {
 public:
  CRecordSection();
  virtual ~CRecordSection();
  CRecordSection(const CRecordSection&) = delete;
  CRecordSection& operator=(const CRecordSection&) = delete;

  INT_PTR GetKeyCount() const { return m_keyNames.GetSize(); }
  // The key's name and value; an empty name and null for an index outside the section.
  CString GetKeyName(int index) const;
  CRecordValue* GetValue(int index) const;

  // The index of the first key whose name equals name, letters compared without regard to
  // case in the current multibyte code page (_mbsicmp); -1 when there is none. Takes about the
  // same time however many keys the section has, unless they differ only in characters other
  // than ASCII ones (see CRecordNameIndex).
  int FindKey(LPCTSTR name) const;
  // Characters FindKey has compared in vain so far.
  uint64_t KeyLookupsComparedInVain() const { return m_keyIndex.ComparedInVain(); }
  // Returns 1 and the key name in keyName when line is a key line: it holds the key/value
  // separator and, before it, a key name of 1 to 4095 characters. Otherwise returns 0 and
  // leaves keyName untouched (no separator, nothing but white space before it, or a name too
  // long).
  int ParseKey(LPCTSTR line, char (&keyName)[kRecordTextSize]) const;
  // Stores the key name and value of a key line at index, appending keys when index is not
  // below their number. Returns 1; returns 0 and changes nothing for a line that ParseKey
  // refuses, a value text over 4095 characters or a negative index.
  int SetFromLine(int index, LPCTSTR line);

 private:
  // The key name of line into scan (kRecordTextSize + 1 bytes, so that a name one character
  // too long shows); FALSE when the line has no separator or no name.
  BOOL ScanKeyName(LPCTSTR line, char* scan) const;

  CStringArray m_keyNames;
  CPtrArray m_values;  // owned CRecordValue objects, parallel to m_keyNames
  CString m_keyPrefix;
  CString m_keySuffix;
  CString m_keyValueSeparator;
  CRecordNameIndex m_keyIndex;  // every entry of m_keyNames, for FindKey
};

// A whole version file: sections in the order of their first headers.
class CRecordDocument {
 public:
  CRecordDocument();
  virtual ~CRecordDocument();
  CRecordDocument(const CRecordDocument&) = delete;
  CRecordDocument& operator=(const CRecordDocument&) = delete;

  // How the latest Load ended. A file that cannot be opened or read leaves the document with
  // what was loaded before the failure, as if the file ended there. The other three cut the load
  // short on purpose, and what the document then holds is no more than the start of the file:
  // a reader should not take it for the file's content.
  enum LoadResult {
    loadComplete,
    loadUnreadable,        // the file could not be opened or read
    loadTooLarge,          // the file has more than kMaxRecordFileSize bytes
    loadTooManyLines,      // the file has more than kMaxRecordLines lines
    loadTooManyEntries,    // the document came to hold more than kMaxRecordEntries
    loadTooManyLikeNames,  // its names' lookups compared more than kMaxRecordComparedInVain
    loadOutOfMemory,       // memory ran out
    loadFailed,            // any other exception of the class library stopped it
  };

  // Adds the sections and keys of the file at path. Never fails and lets no exception out; it
  // reads at most kMaxRecordFileSize bytes, and GetLoadResult tells how it ended.
  void Load(LPCTSTR path);
  LoadResult GetLoadResult() const { return m_loadResult; }
  // TRUE when the latest Load stopped before the end of its file on purpose (see LoadResult).
  BOOL IsLoadCut() const { return m_loadResult >= loadTooLarge; }

  INT_PTR GetSectionCount() const { return m_sectionNames.GetSize(); }
  CRecordSection* GetSection(int index) const;  // null for an index outside the document
  // The index of the first section whose name _stricmp finds equal to name, or -1. Takes about
  // the same time however many sections the document has.
  int FindSection(LPCTSTR name) const;
  // Appends a new, empty section of that name; returns its index.
  int AddSection(LPCTSTR name);
  // Copies the name of section index, with its terminator, into buffer and returns 1; returns
  // 0 and leaves buffer untouched when there is no such section or the name does not fit.
  int GetSectionName(int index, char* buffer, size_t bufferSize) const;
  template <size_t N>
  int GetSectionName(int index, char (&buffer)[N]) const {
    return GetSectionName(index, buffer, N);
  }

 private:
  // What loading has cost so far, for the bounds.
  struct LoadTally {
    INT_PTR entries;          // sections, keys and list elements in the document
    uint64_t comparedInVain;  // characters the lookups compared in vain
  };
  // Loads one line and adds to tally what it cost (entries fall when a repeated key's new value
  // has fewer elements).
  void LoadLine(LPCTSTR line, const char* headerFormat, char (&currentSection)[kRecordTextSize],
                LoadTally& tally);
  LoadResult LoadFile(LPCTSTR path);
  INT_PTR CountEntries() const;

  CStringArray m_sectionNames;
  CPtrArray m_sections;  // owned CRecordSection objects, parallel to m_sectionNames
  CString m_sectionOpenMark;
  CString m_sectionCloseMark;
  CRecordNameIndex m_sectionIndex;  // every entry of m_sectionNames, for FindSection
  LoadResult m_loadResult = loadComplete;
};

// Called with the loaded document and the caller's context; its result is ReadRecordFile's.
typedef int (*RecordVisitor)(CRecordDocument* document, void* context);

// Returns 0 without calling visitor when path does not exist. Otherwise loads the file into a
// new document, calls visitor on it (even when loading failed part way or wholly) and returns
// what visitor returned.
int ReadRecordFile(LPCTSTR path, RecordVisitor visitor, void* context);

// Empties pieces and fills it with the parts of text between occurrences of separator, each
// trimmed of white space. An empty text gives one empty piece, and so does each side of a
// separator with nothing beside it. An empty separator gives the whole text as one piece.
void SplitList(LPCTSTR text, LPCTSTR separator, CStringArray& pieces);

// "%" and the character's code as a signed decimal of at least two digits: ',' gives "%44".
CString EscapeCode(char ch);

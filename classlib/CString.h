#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstring>

#include "classlib/Platform.h"

// mingw-w64's C++ mode formats with its own C99 printf, so the checks are those of gnu_printf
// on both builds, not those of the Microsoft runtime. clang (the fuzz build) knows no gnu_printf;
// its printf checks the same C99 conversions.
#ifdef __clang__
#define QX48_PRINTF_FORMAT(formatIndex, firstArg) \
  __attribute__((format(printf, formatIndex, firstArg)))
#else
#define QX48_PRINTF_FORMAT(formatIndex, firstArg) \
  __attribute__((format(gnu_printf, formatIndex, firstArg)))
#endif

// A narrow, growable text. Like the class library's string it is terminated at all times, so
// LPCTSTR hands its characters to C functions directly; positions and lengths are in bytes.
// Running out of memory raises CMemoryException, never std::bad_alloc.
class CString {
 public:
  CString() = default;
  CString(const CString& other);
  CString(CString&& other) noexcept;
  CString(LPCTSTR text);              // a null pointer gives the empty text
  CString(LPCTSTR text, int length);  // the first length characters (fewer if text ends sooner)
  ~CString();

  // No copy assignment: nothing assigns one CString to another, and with the move assignment
  // declared, such an assignment does not compile rather than go through LPCTSTR.
  CString& operator=(CString&& other) noexcept;
  CString& operator=(LPCTSTR text);

  int GetLength() const { return m_length; }
  BOOL IsEmpty() const { return m_length == 0; }
  void Empty();
  operator LPCTSTR() const { return m_data != nullptr ? m_data : ""; }
  TCHAR operator[](int index) const;  // index must be below GetLength()

  CString& operator+=(const CString& text) { return Append(text, text.m_length); }
  CString& operator+=(LPCTSTR text);

  // Position of the first occurrence at or after start, or -1.
  int Find(TCHAR ch, int start = 0) const;
  int ReverseFind(TCHAR ch) const;

  // Pieces of the text; counts and positions outside the text are clamped to it.
  CString Left(int count) const;
  CString Mid(int first) const;
  CString Mid(int first, int count) const;

  // Replaces every occurrence, scanning left to right without rescanning replaced text;
  // returns the number of replacements. An empty old text replaces nothing.
  int Replace(LPCTSTR oldText, LPCTSTR newText);

  // These remove space, tab, CR, LF, VT and FF.
  CString& TrimLeft();
  CString& TrimRight();
  CString& Trim() { return TrimRight().TrimLeft(); }

  // printf conversions (the C99 ones on both builds); results of any length. A format the C
  // library rejects leaves the text empty.
  void Format(LPCTSTR format, ...) QX48_PRINTF_FORMAT(2, 3);
  void FormatV(LPCTSTR format, va_list args) QX48_PRINTF_FORMAT(2, 0);

  // Direct access: room for at least minLength characters and a terminator. ReleaseBuffer
  // takes the length from the terminator (-1) or from newLength, bounded by the buffer.
  LPTSTR GetBuffer(int minLength = 0);
  LPTSTR GetBufferSetLength(int length);
  void ReleaseBuffer(int newLength = -1);

  // The first count characters of text are appended (count >= 0, text holds that many).
  CString& Append(LPCTSTR text, int count);

 private:
  void Reserve(int length);  // room for length characters and the terminator
  void SetLength(int length);

  char* m_data = nullptr;  // null while the text has never held a character
  int m_length = 0;
  int m_capacity = 0;  // characters that fit, not counting the terminator
};

CString operator+(const CString& a, LPCTSTR b);

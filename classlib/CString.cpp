#include "classlib/CString.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "classlib/CException.h"

namespace {

// The characters the class library's argument-less trims remove. strchr would also find its
// text's terminator, so a zero byte is tested apart and never counts.
bool IsWhiteSpace(char ch) {
  return ch != '\0' && strchr(" \t\r\n\v\f", ch) != nullptr;
}

int Clamp(int value, int low, int high) {
  return value < low ? low : (value > high ? high : value);
}

int CheckedLength(size_t length) {
  if (length >= static_cast<size_t>(INT_MAX)) AfxThrowMemoryException();
  return static_cast<int>(length);
}

}  // namespace

CString::CString(const CString& other) {
  Append(other, other.m_length);
}

CString::CString(CString&& other) noexcept
    : m_data(other.m_data), m_length(other.m_length), m_capacity(other.m_capacity) {
  other.m_data = nullptr;
  other.m_length = other.m_capacity = 0;
}

CString::CString(LPCTSTR text) {
  if (text != nullptr) Append(text, CheckedLength(strlen(text)));
}

CString::CString(LPCTSTR text, int length) {
  if (text != nullptr && length > 0) {
    Append(text, CheckedLength(strnlen(text, static_cast<size_t>(length))));
  }
}

CString::~CString() {
  free(m_data);
}

CString& CString::operator=(CString&& other) noexcept {
  if (this != &other) {
    free(m_data);
    m_data = other.m_data;
    m_length = other.m_length;
    m_capacity = other.m_capacity;
    other.m_data = nullptr;
    other.m_length = other.m_capacity = 0;
  }
  return *this;
}

CString& CString::operator=(LPCTSTR text) {
  // text may point into this string itself.
  CString copy(text);
  return *this = static_cast<CString&&>(copy);
}

void CString::Empty() {
  if (m_data != nullptr) SetLength(0);
}

TCHAR CString::operator[](int index) const {
  if (index < 0 || index >= m_length) AfxThrowInvalidArgException();
  return m_data[index];
}

CString& CString::operator+=(LPCTSTR text) {
  if (text == nullptr) return *this;
  CString copy(text);  // text may point into this string itself
  return Append(copy, copy.m_length);
}

CString& CString::Append(LPCTSTR text, int count) {
  if (count <= 0) return *this;
  if (count > INT_MAX - 1 - m_length) AfxThrowMemoryException();
  // text may lie inside this string's own buffer, which Reserve may move.
  if (m_data != nullptr && text >= m_data && text < m_data + m_capacity + 1) {
    CString copy(text, count);
    return Append(copy, copy.m_length);
  }
  Reserve(m_length + count);
  memcpy(m_data + m_length, text, static_cast<size_t>(count));
  SetLength(m_length + count);
  return *this;
}

int CString::Find(TCHAR ch, int start) const {
  if (start < 0) start = 0;
  if (start >= m_length) return -1;
  const void* hit = memchr(m_data + start, ch, static_cast<size_t>(m_length - start));
  return hit != nullptr ? static_cast<int>(static_cast<const char*>(hit) - m_data) : -1;
}

int CString::ReverseFind(TCHAR ch) const {
  for (int i = m_length - 1; i >= 0; --i) {
    if (m_data[i] == ch) return i;
  }
  return -1;
}

CString CString::Left(int count) const {
  return CString(*this, Clamp(count, 0, m_length));
}

CString CString::Mid(int first) const {
  return Mid(first, m_length);
}

CString CString::Mid(int first, int count) const {
  first = Clamp(first, 0, m_length);
  count = Clamp(count, 0, m_length - first);
  return CString(static_cast<LPCTSTR>(*this) + first, count);
}

int CString::Replace(LPCTSTR oldText, LPCTSTR newText) {
  if (oldText == nullptr || *oldText == '\0' || m_length == 0) return 0;
  if (newText == nullptr) newText = "";
  const int oldLength = CheckedLength(strlen(oldText));
  const int newLength = CheckedLength(strlen(newText));
  CString result;
  int replaced = 0;
  const char* from = m_data;
  for (const char* hit = strstr(from, oldText); hit != nullptr; hit = strstr(from, oldText)) {
    result.Append(from, static_cast<int>(hit - from));
    result.Append(newText, newLength);
    from = hit + oldLength;
    ++replaced;
  }
  if (replaced == 0) return 0;
  result.Append(from, static_cast<int>(m_data + m_length - from));
  *this = static_cast<CString&&>(result);
  return replaced;
}

CString& CString::TrimLeft() {
  int skip = 0;
  while (skip < m_length && IsWhiteSpace(m_data[skip])) ++skip;
  if (skip > 0) {
    memmove(m_data, m_data + skip, static_cast<size_t>(m_length - skip));
    SetLength(m_length - skip);
  }
  return *this;
}

CString& CString::TrimRight() {
  int keep = m_length;
  while (keep > 0 && IsWhiteSpace(m_data[keep - 1])) --keep;
  if (keep < m_length) SetLength(keep);
  return *this;
}

void CString::Format(LPCTSTR format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::FormatV(LPCTSTR format, va_list args) {
  // The arguments may be this very string's text, so the result is built aside.
  CString result;
  if (format != nullptr) {
    va_list measure;
    va_copy(measure, args);
    const int length = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length > 0) {
      if (length >= INT_MAX - 1) AfxThrowMemoryException();
      result.Reserve(length);
      va_list write;
      va_copy(write, args);
      const int written = vsnprintf(result.m_data, static_cast<size_t>(length) + 1, format, write);
      va_end(write);
      // %c with a zero byte and %s of a shorter text on the second pass both stay in bounds.
      result.SetLength(written < 0 ? 0 : Clamp(written, 0, length));
    }
  }
  *this = static_cast<CString&&>(result);
}

LPTSTR CString::GetBuffer(int minLength) {
  Reserve(minLength > m_length ? minLength : m_length);
  return m_data;
}

LPTSTR CString::GetBufferSetLength(int length) {
  if (length < 0) length = 0;
  Reserve(length);
  SetLength(length);
  return m_data;
}

void CString::ReleaseBuffer(int newLength) {
  if (m_data == nullptr) return;
  if (newLength < 0) {
    newLength = static_cast<int>(strnlen(m_data, static_cast<size_t>(m_capacity)));
  }
  SetLength(Clamp(newLength, 0, m_capacity));
}

void CString::Reserve(int length) {
  if (length <= m_capacity && m_data != nullptr) return;
  if (length < 0 || length >= INT_MAX - 1) AfxThrowMemoryException();
  // Grow by half again so that appending a character at a time stays linear.
  int capacity = m_capacity + m_capacity / 2;
  if (capacity < length || capacity >= INT_MAX - 1) capacity = length;
  if (capacity < 15) capacity = 15;
  char* grown = static_cast<char*>(realloc(m_data, static_cast<size_t>(capacity) + 1));
  if (grown == nullptr) AfxThrowMemoryException();
  if (m_data == nullptr) grown[0] = '\0';
  m_data = grown;
  m_capacity = capacity;
}

void CString::SetLength(int length) {
  m_length = length;
  m_data[length] = '\0';
}

CString operator+(const CString& a, LPCTSTR b) {
  CString result(a);
  result += b;
  return result;
}

#pragma once
#include <climits>

// A decimal number at the start of text, read as sscanf's "%d" does: leading white space and a
// sign accepted, reading stops at the first non-digit; no number gives 0. Values beyond int are
// held at INT_MIN or INT_MAX. A row's check text and a column's width both start with one.
inline int ReadLeadingNumber(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (*p - '0');
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

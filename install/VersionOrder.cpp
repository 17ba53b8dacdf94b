#include "install/VersionOrder.h"

#include <cctype>

namespace {

// The next number of a version text at *at, skipping what is not a digit; -1 at the end.
long NextNumber(const std::string& text, size_t* at) {
  while (*at < text.size() && !isdigit(static_cast<unsigned char>(text[*at]))) ++*at;
  if (*at >= text.size()) return -1;
  long number = 0;
  while (*at < text.size() && isdigit(static_cast<unsigned char>(text[*at]))) {
    // Bounded: a run of digits longer than a version number has stops growing.
    if (number < 100000000) number = number * 10 + (text[*at] - '0');
    ++*at;
  }
  return number;
}

}  // namespace

int CompareVersionNumbers(const std::string& a, const std::string& b) {
  size_t atA = 0;
  size_t atB = 0;
  for (;;) {
    const long numberA = NextNumber(a, &atA);
    const long numberB = NextNumber(b, &atB);
    if (numberA < 0 && numberB < 0) return 0;
    const long valueA = numberA < 0 ? 0 : numberA;
    const long valueB = numberB < 0 ? 0 : numberB;
    if (valueA != valueB) return valueA < valueB ? -1 : 1;
  }
}

bool IsVersionLabel(const std::string& text) {
  size_t at = !text.empty() && (text[0] == 'V' || text[0] == 'v') ? 1 : 0;
  for (;;) {
    const size_t start = at;
    while (at < text.size() && isdigit(static_cast<unsigned char>(text[at]))) ++at;
    if (at == start || at - start > 9) return false;
    if (at == text.size()) return true;
    if (text[at++] != '.') return false;
  }
}

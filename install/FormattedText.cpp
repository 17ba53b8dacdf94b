#include "install/FormattedText.h"

#include <cstdio>

std::string FormattedTextV(const char* format, va_list arguments) {
  va_list measure;
  va_copy(measure, arguments);
  const int length = vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  vsnprintf(&text[0], text.size(), format, arguments);
  text.resize(static_cast<size_t>(length));
  return text;
}

std::string FormattedText(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::string text = FormattedTextV(format, arguments);
  va_end(arguments);
  return text;
}

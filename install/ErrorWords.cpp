#include "install/ErrorWords.h"

#include <cctype>

std::string ErrorInWords(DWORD error) {
  char text[512] = "";
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, sizeof text, nullptr);
  std::string words(text, length < sizeof text ? length : 0);
  // One line in the middle of ours: no line end, no full stop, lower case as the line goes on.
  while (!words.empty() &&
         (isspace(static_cast<unsigned char>(words.back())) || words.back() == '.'))
    words.pop_back();
  if (!words.empty()) words[0] = char(tolower(static_cast<unsigned char>(words[0])));
  const std::string number = "error " + std::to_string(error);
  return words.empty() ? number : words + " (" + number + ")";
}

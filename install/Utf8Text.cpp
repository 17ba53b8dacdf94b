#include "install/Utf8Text.h"

#include <windows.h>

std::string ToUtf8(const std::string& text) {
  if (text.empty()) return text;
  const int wide = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
  if (wide > 0) {
    std::wstring w(size_t(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), &w[0], wide);
    const int narrow =
        WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    if (narrow > 0) {
      std::string utf8(size_t(narrow), '\0');
      WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, &utf8[0], narrow, nullptr, nullptr);
      return utf8;
    }
  }
  std::string ascii;
  for (char c : text) ascii += (static_cast<unsigned char>(c) < 0x80) ? c : '?';
  return ascii;
}

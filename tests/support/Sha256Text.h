#pragma once
#include <cstdint>
#include <string>

#include "install/Sha256.h"

// The SHA-256 of bytes as the manifest writes it: 64 lowercase hex digits.
inline std::string Sha256Of(const std::string& bytes) {
  char hex[kSha256HexSize];
  Sha256HexOf(bytes.data(), bytes.size(), hex);
  return hex;
}

#pragma once
#include <cstdint>
#include <string>

#include "install/Sha256.h"

// The SHA-256 of bytes as the manifest writes it: 64 lowercase hex digits.
inline std::string Sha256Of(const std::string& bytes) {
  Sha256 hash;
  Sha256Init(&hash);
  Sha256Update(&hash, bytes.data(), bytes.size());
  uint8_t digest[kSha256Size];
  Sha256Final(&hash, digest);
  char hex[kSha256HexSize];
  Sha256ToHex(digest, hex);
  return hex;
}

#pragma once
#include <cstddef>
#include <cstdint>

// SHA-256 (FIPS 180-4), fed in pieces of any size: the patch manifest names each file by it.

constexpr size_t kSha256Size = 32;
constexpr size_t kSha256HexSize = 2 * kSha256Size + 1;  // lower-case hex and a terminator

struct Sha256 {
  uint32_t state[8];
  uint64_t length;    // bytes fed so far
  uint8_t block[64];  // the part of a block not yet compressed
  size_t used;        // bytes of block in use
};

void Sha256Init(Sha256* hash);
void Sha256Update(Sha256* hash, const void* data, size_t size);
// Finishes the hash into digest; hash must be initialised again before it is used once more.
void Sha256Final(Sha256* hash, uint8_t digest[kSha256Size]);
// digest as 64 lower-case hex digits and a terminator.
void Sha256ToHex(const uint8_t digest[kSha256Size], char hex[kSha256HexSize]);
// The SHA-256 of size bytes at data, as Sha256ToHex writes it.
void Sha256HexOf(const void* data, size_t size, char hex[kSha256HexSize]);

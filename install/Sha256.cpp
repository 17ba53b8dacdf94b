#include "install/Sha256.h"

#include <cstring>

// The processor's SHA extensions are used where it has them; QX48_SHA_EXTENSIONS=0 builds the plain
// C++ alone (the tests build it so as well, to check it on processors that have them).
#if !defined(QX48_SHA_EXTENSIONS) && (defined(__x86_64__) || defined(__i386__))
#define QX48_SHA_EXTENSIONS 1
#endif
#if QX48_SHA_EXTENSIONS
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace {

const uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t Rotr(uint32_t x, int n) {
  return (x >> n) | (x << (32 - n));
}

// One 64-byte block into the state (FIPS 180-4, 6.2.2).
void Compress(uint32_t state[8], const uint8_t* block) {
  uint32_t w[64];
  for (int t = 0; t < 16; ++t) {
    w[t] = (uint32_t(block[4 * t]) << 24) | (uint32_t(block[4 * t + 1]) << 16) |
           (uint32_t(block[4 * t + 2]) << 8) | uint32_t(block[4 * t + 3]);
  }
  for (int t = 16; t < 64; ++t) {
    const uint32_t s0 = Rotr(w[t - 15], 7) ^ Rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
    const uint32_t s1 = Rotr(w[t - 2], 17) ^ Rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
    w[t] = w[t - 16] + s0 + w[t - 7] + s1;
  }
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
  for (int t = 0; t < 64; ++t) {
    const uint32_t t1 =
        h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[t] + w[t];
    const uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
  state[5] += f;
  state[6] += g;
  state[7] += h;
}

#if QX48_SHA_EXTENSIONS
// The same compression with the processor's SHA extensions, four rounds at a time: each file of a
// patch is hashed before the run and again as it is copied, and this is several times faster.
__attribute__((target("sha,sse4.1,ssse3"))) void CompressWithShaExtensions(uint32_t state[8],
                                                                           const uint8_t* blocks,
                                                                           size_t count) {
  // Big-endian words from little-endian loads.
  const __m128i byteOrder = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  // The state as the instructions take it: ABEF and CDGH.
  const __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<__m128i*>(state)), 0xB1);
  const __m128i hgfe =
      _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<__m128i*>(state + 4)), 0x1B);
  __m128i abef = _mm_alignr_epi8(dcba, hgfe, 8);
  __m128i cdgh = _mm_blend_epi16(hgfe, dcba, 0xF0);
  for (; count > 0; --count, blocks += 64) {
    const __m128i abefBefore = abef;
    const __m128i cdghBefore = cdgh;
    __m128i w[4];  // the message schedule, four words of it each, in turn
    for (int i = 0; i < 16; ++i) {
      __m128i& words = w[i % 4];
      if (i < 4) {
        words = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)),
                                 byteOrder);
      } else {
        const __m128i& previous = w[(i + 3) % 4];
        words = _mm_sha256msg2_epu32(_mm_add_epi32(_mm_sha256msg1_epu32(words, w[(i + 1) % 4]),
                                                   _mm_alignr_epi8(previous, w[(i + 2) % 4], 4)),
                                     previous);
      }
      __m128i input =
          _mm_add_epi32(words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRound + 4 * i)));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, input);
      input = _mm_shuffle_epi32(input, 0x0E);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, input);
    }
    abef = _mm_add_epi32(abef, abefBefore);
    cdgh = _mm_add_epi32(cdgh, cdghBefore);
  }
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

bool HasShaExtensions() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  const bool ssse3AndSse41 = (c & bit_SSSE3) != 0 && (c & bit_SSE4_1) != 0;
  return ssse3AndSse41 && __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & (1u << 29)) != 0;
}
#endif

// count blocks of 64 bytes into the state.
void CompressBlocks(uint32_t state[8], const uint8_t* blocks, size_t count) {
#if QX48_SHA_EXTENSIONS
  static const bool withExtensions = HasShaExtensions();
  if (withExtensions) {
    CompressWithShaExtensions(state, blocks, count);
    return;
  }
#endif
  for (; count > 0; --count, blocks += 64) Compress(state, blocks);
}

}  // namespace

void Sha256Init(Sha256* hash) {
  static const uint32_t kInitial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  memcpy(hash->state, kInitial, sizeof kInitial);
  hash->length = 0;
  hash->used = 0;
}

void Sha256Update(Sha256* hash, const void* data, size_t size) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  hash->length += size;
  if (hash->used > 0) {
    const size_t take = size < 64 - hash->used ? size : 64 - hash->used;
    memcpy(hash->block + hash->used, bytes, take);
    hash->used += take;
    bytes += take;
    size -= take;
    if (hash->used < 64) return;
    CompressBlocks(hash->state, hash->block, 1);
    hash->used = 0;
  }
  CompressBlocks(hash->state, bytes, size / 64);
  bytes += size / 64 * 64;
  size %= 64;
  memcpy(hash->block, bytes, size);
  hash->used = size;
}

void Sha256Final(Sha256* hash, uint8_t digest[kSha256Size]) {
  const uint64_t bits = hash->length * 8;
  // A one bit, zeros up to 56 bytes into a block, then the length in bits, big-endian.
  uint8_t pad[72] = {0x80};
  const size_t padLength = (hash->used < 56 ? 56 : 120) - hash->used;
  for (int i = 0; i < 8; ++i) pad[padLength + i] = uint8_t(bits >> (56 - 8 * i));
  Sha256Update(hash, pad, padLength + 8);
  for (int i = 0; i < 8; ++i) {
    digest[4 * i] = uint8_t(hash->state[i] >> 24);
    digest[4 * i + 1] = uint8_t(hash->state[i] >> 16);
    digest[4 * i + 2] = uint8_t(hash->state[i] >> 8);
    digest[4 * i + 3] = uint8_t(hash->state[i]);
  }
}

void Sha256ToHex(const uint8_t digest[kSha256Size], char hex[kSha256HexSize]) {
  static const char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < kSha256Size; ++i) {
    hex[2 * i] = kDigits[digest[i] >> 4];
    hex[2 * i + 1] = kDigits[digest[i] & 15];
  }
  hex[2 * kSha256Size] = '\0';
}

void Sha256HexOf(const void* data, size_t size, char hex[kSha256HexSize]) {
  Sha256 hash;
  Sha256Init(&hash);
  Sha256Update(&hash, data, size);
  uint8_t digest[kSha256Size];
  Sha256Final(&hash, digest);
  Sha256ToHex(digest, hex);
}

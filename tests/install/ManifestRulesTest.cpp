// SHA-256 against the FIPS 180-4 example vectors, and the manifest's line rules as a table.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <string>

#include "install/ManifestLine.h"
#include "install/Sha256.h"

namespace {

std::string HexOf(const std::string& data, size_t piece) {
  Sha256 hash;
  Sha256Init(&hash);
  for (size_t at = 0; at < data.size(); at += piece) {
    Sha256Update(&hash, data.data() + at, std::min(piece, data.size() - at));
  }
  uint8_t digest[kSha256Size];
  Sha256Final(&hash, digest);
  char hex[kSha256HexSize];
  Sha256ToHex(digest, hex);
  return hex;
}

#ifdef _WIN32
struct HashJob {
  const std::string* data;
  size_t piece;
  std::string hex;
};

DWORD WINAPI HashOnThisThread(void* parameter) {
  HashJob* job = static_cast<HashJob*>(parameter);
  job->hex = HexOf(*job->data, job->piece);
  return 0;
}

// As the install worker hashes: on a thread Windows starts, whose stack a 32-bit Windows aligns to
// 4 bytes only.
std::string HexOnAWindowsThread(const std::string& data, size_t piece) {
  HashJob job{&data, piece, "<the thread did not start>"};
  HANDLE thread = CreateThread(nullptr, 0, HashOnThisThread, &job, 0, nullptr);
  if (thread == nullptr) return job.hex;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  return job.hex;
}
#endif

TEST(Sha256, MatchesTheKnownVectorsWhateverThePieces) {
  const struct {
    const char* what;
    std::string data;
    const char* expected;
  } cases[] = {
      {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"the 56-byte vector", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"the 112-byte vector",
       "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmn"
       "opqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {"a million 'a'", std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) {
    for (size_t piece : {size_t(1), size_t(3), size_t(55), size_t(64), size_t(65), size_t(4096)}) {
      if (c.data.size() > 100000 && piece < 55)
        continue;  // the long one in small pieces adds nothing
      EXPECT_EQ(c.expected, HexOf(c.data, piece)) << c.what << ", pieces of " << piece;
#ifdef _WIN32
      EXPECT_EQ(c.expected, HexOnAWindowsThread(c.data, piece))
          << c.what << ", pieces of " << piece << ", on a thread Windows started";
#endif
    }
  }
}

const char kHash[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST(ParseManifestLine, TakesOnlyWellFormedEntries) {
  const std::string h = kHash;
  const struct {
    const char* what;
    std::string line;
    bool ok;
    uint64_t size;
    const char* path;
  } cases[] = {
      {"a plain entry", h + "  3  devices\\QuorVantel\\a.i79", true, 3,
       "devices\\QuorVantel\\a.i79"},
      {"a CR before the line end", h + "  0  Qorvantel.Version\r", true, 0, "Qorvantel.Version"},
      {"a path with spaces", h + "  12  flash loader\\a b.board", true, 12,
       "flash loader\\a b.board"},
      {"the largest size", h + "  1099511627776  big.bin", true, 1099511627776ull, "big.bin"},
      {"a size too large", h + "  1099511627777  big.bin", false, 0, ""},
      {"fourteen digits", h + "  00000000000001  a", false, 0, ""},
      {"upper-case hex", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD  3  a",
       false, 0, ""},
      {"a short hash", h.substr(1) + "  3  a", false, 0, ""},
      {"one space", h + " 3  a", false, 0, ""},
      {"a path that begins with a space, as Windows allows", h + "  3   a", true, 3, " a"},
      {"no size", h + "    a", false, 0, ""},
      {"a signed size", h + "  -3  a", false, 0, ""},
      {"no path", h + "  3  ", false, 0, ""},
      {"the empty line", "", false, 0, ""},
      {"an absolute path", h + "  3  C:\\a", false, 0, ""},
      {"a leading backslash", h + "  3  \\a", false, 0, ""},
      {"a doubled backslash", h + "  3  a\\\\b", false, 0, ""},
      {"a forward slash", h + "  3  a/b", false, 0, ""},
      {"up a level", h + "  3  ..\\a", false, 0, ""},
      {"a dot component", h + "  3  .\\a", false, 0, ""},
      {"a device name", h + "  3  devices\\con.txt", false, 0, ""},
      {"a trailing backslash", h + "  3  devices\\", false, 0, ""},
      {"a path of 260 characters", h + "  3  " + std::string(260, 'p'), false, 0, ""},
      {"a component of 255 characters", h + "  3  a\\" + std::string(255, 'p'), true, 3, nullptr},
      {"an over-long line", h + "  3  " + std::string(600, 'p'), false, 0, ""},
      {"a NUL inside", h + "  3  a" + std::string(1, '\0') + "b", false, 0, ""},
  };
  for (const auto& c : cases) {
    ManifestEntry entry;
    EXPECT_EQ(c.ok, ParseManifestLine(c.line.data(), c.line.size(), &entry) != FALSE) << c.what;
    if (!c.ok) continue;
    EXPECT_EQ(kHash, std::string(entry.sha256)) << c.what;
    EXPECT_EQ(c.size, entry.size) << c.what;
    if (c.path != nullptr) {
      EXPECT_STREQ(c.path, entry.path) << c.what;
    }
  }
}

}  // namespace

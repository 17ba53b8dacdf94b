#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "record/RecordDocument.h"
#include "tests/classlib/TempFolder.h"
#include "tests/record/RecordDump.h"

namespace {

std::string LoadDump(const std::string& path) {
  CRecordDocument document;
  document.Load(path.c_str());
  return Dump(document);
}

// What loading guarantees for any input: parallel arrays, names that fit the lookups'
// buffers, and at least one element per value.
void ExpectWellFormed(const CRecordDocument& document) {
  for (int s = 0; s < document.GetSectionCount(); ++s) {
    char name[kRecordTextSize];
    ASSERT_EQ(document.GetSectionName(s, name), 1);
    const CRecordSection* section = document.GetSection(s);
    ASSERT_NE(section, nullptr);
    for (int k = 0; k < section->GetKeyCount(); ++k) {
      EXPECT_FALSE(section->GetKeyName(k).IsEmpty());
      EXPECT_LT(section->GetKeyName(k).GetLength(), kRecordTextSize);
      EXPECT_EQ(strpbrk(section->GetKeyName(k), " \t\r\n\v\f"), nullptr);
      ASSERT_NE(section->GetValue(k), nullptr);
      EXPECT_GE(section->GetValue(k)->GetElementCount(), 1);
    }
  }
}

TEST(RecordBadInput, FolderAsPathLoadsEmptyAndIsVisited) {
  TempFolder folder;
  Visit visit;
  EXPECT_EQ(ReadRecordFile(folder.Path().c_str(), DumpVisitor, &visit), 1);
  EXPECT_EQ(visit.calls, 1);
  EXPECT_EQ(visit.dump, "");
}

TEST(RecordBadInput, VanishedPathLoadsEmpty) {
  TempFolder folder;
  const std::string path = folder.Write("gone.Version", "[Install]\nVersion=V2.0\n");
  ASSERT_EQ(LoadDump(path), "[Install]\nVersion=[V2.0]\n");
  std::filesystem::remove(path);
  EXPECT_EQ(LoadDump(path), "");
  CRecordDocument document;
  document.Load(folder.PathOf("no such folder\\or file").c_str());
  document.Load("");
  document.Load(nullptr);
  EXPECT_EQ(document.GetSectionCount(), 0);
}

// (Not "nul.Version": on Windows that name, whatever its extension, is the null device.)
TEST(RecordBadInput, ZeroBytesEndTheirLineOnly) {
  TempFolder folder;
  const char raw[] = "[S]\nA=1\0,garbage\nB=2\n\0\0\0\n[T\0x]\nC=3";
  const std::string bytes(raw, sizeof(raw) - 1);
  EXPECT_EQ(LoadDump(folder.Write("zeros.Version", bytes)), "[S]\nA=[1]\nB=[2]\n[T]\nC=[3]\n");
}

TEST(RecordBadInput, MegabyteLinesAreReadOffAndSkipped) {
  TempFolder folder;
  const std::string mega(1 << 20, 'x');
  const std::string bytes =
      "[S]\r\nA=1\r\n"
      "[" +
      mega +
      "]\r\n"  // a header name too long
      "B=2\r\n" +
      mega +
      "=3\r\n"  // a key name too long
      "A=" +
      mega +
      "\r\n"  // a value text too long
      "C " +
      mega + "=4\r\n" +  // a long line, a short key name
      mega +
      "\r\n"  // no separator at all
      "D=5";
  EXPECT_EQ(LoadDump(folder.Write("mega.Version", bytes)), "[S]\nA=[1]\nB=[2]\nC=[4]\nD=[5]\n");
}

struct LengthCase {
  const char* name;
  std::string bytes;
  std::string dump;
};

// 4095 characters are the most a name or a value text holds; one more skips the line.
TEST(RecordBadInput, LengthLimitsAtTheBoundary) {
  const std::string fits(kRecordTextSize - 1, 'n');
  const std::string over(kRecordTextSize, 'n');
  const LengthCase cases[] = {
      {"header name of 4095", "[" + fits + "]\nA=1\n", "[" + fits + "]\nA=[1]\n"},
      {"header name of 4095, no close mark", "[" + fits + "\nA=1\n", "[" + fits + "]\nA=[1]\n"},
      {"header name of 4096", "[S]\n[" + over + "]\nA=1\n", "[S]\nA=[1]\n"},
      {"key name of 4095", "[S]\n" + fits + "=1\n", "[S]\n" + fits + "=[1]\n"},
      {"key name of 4096", "[S]\n" + over + "=1\nA=2\n", "[S]\nA=[2]\n"},
      {"value text of 4095", "[S]\nA=" + fits + "\n", "[S]\nA=[" + fits + "]\n"},
      {"value text of 4096 keeps the earlier value", "[S]\nA=1\nA=" + over + "\n", "[S]\nA=[1]\n"},
      {"value text of 4096 with white space round it is 4095", "[S]\nA=  " + fits + "  \n",
       "[S]\nA=[" + fits + "]\n"},
  };
  TempFolder folder;
  for (const LengthCase& c : cases) {
    EXPECT_EQ(LoadDump(folder.Write("len.Version", c.bytes)), c.dump) << c.name;
  }
}

// Bytes of every value, in lines of every length: whatever loads, loads well formed.
TEST(RecordBadInput, BinaryFilesLoadWellFormed) {
  TempFolder folder;
  uint32_t state = 12345;
  for (int file = 0; file < 8; ++file) {
    std::string bytes;
    const size_t size = 4096u << file;
    while (bytes.size() < size) {
      state = state * 1103515245u + 12345u;
      const uint32_t r = state >> 16;
      // Mostly random bytes, salted with the characters the loader looks for.
      const char salt[] = "[]=,%\r\n \t0";
      bytes += (r % 4 == 0) ? salt[r % (sizeof(salt) - 1)] : static_cast<char>(r & 0xff);
    }
    CRecordDocument document;
    document.Load(folder.Write("bin.Version", bytes).c_str());
    ExpectWellFormed(document);
  }
}

#ifdef _WIN32

// The exclusive open refuses the file while another program has it open, whatever that program
// shares; the file loads again once it is closed.
TEST(RecordBadInput, FileHeldOpenByAnotherProgramLoadsEmpty) {
  TempFolder folder;
  const std::string path = folder.Write("held.Version", "[Install]\r\nVersion=\"V2.0\"\r\n");
  for (DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
    HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    Visit visit;
    EXPECT_EQ(ReadRecordFile(path.c_str(), DumpVisitor, &visit), 1) << share;
    EXPECT_EQ(visit.calls, 1);
    EXPECT_EQ(visit.dump, "") << share;
    CloseHandle(other);
  }
  EXPECT_EQ(LoadDump(path), "[Install]\nVersion=[\"V2.0\"]\n");
}

#else

TEST(RecordBadInput, FileHeldOpenByAnotherProgramLoadsEmpty) {
  GTEST_SKIP() << "Linux has no share modes: a file another program holds open still opens";
}

#endif

}  // namespace

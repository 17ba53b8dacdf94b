#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "classlib/afx.h"
#include "tests/classlib/CStringPrinter.h"
#include "tests/classlib/TempFolder.h"

namespace {

std::vector<std::string> ReadLines(const std::string& path, UINT flags = 0) {
  std::vector<std::string> lines;
  CStdioFile file(path.c_str(), flags);
  CString line("left over");
  while (file.ReadString(line)) lines.emplace_back(static_cast<LPCTSTR>(line));
  EXPECT_TRUE(line.IsEmpty());
  EXPECT_FALSE(file.ReadString(line));  // and stays at the end
  file.Close();
  return lines;
}

struct LineCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;
};

TEST(CStdioFileReadString, LineEnds) {
  const std::string bufferEdge = std::string(4095, 'x');  // its CR is the buffer's last byte
  const LineCase cases[] = {
      {"empty file", "", {}},
      {"CR LF", "a\r\nb\r\n", {"a", "b"}},
      {"LF alone", "a\nb\n", {"a", "b"}},
      {"last line without line end", "a\r\nb", {"a", "b"}},
      {"mixed", "a\nb\r\nc", {"a", "b", "c"}},
      {"empty lines", "\n\r\n\n", {"", "", ""}},
      {"lone CR stays", "a\rb\n", {"a\rb"}},
      {"only the CR before LF goes", "a\r\r\n", {"a\r"}},
      {"CR at the end of the file", "a\r", {"a\r"}},
      {"LF CR", "a\n\rb", {"a", "\rb"}},
      {"zero byte ends the text of its line", std::string("ab\0cd\r\nef", 9), {"ab", "ef"}},
      {"line of zero bytes", std::string("\0\0\nx", 4), {"", "x"}},
      {"CR LF across the read buffer", bufferEdge + "\r\nnext", {bufferEdge, "next"}},
      {"binary bytes", "\xff\xfe\x01\x1a\x80\n\x7f", {"\xff\xfe\x01\x1a\x80", "\x7f"}},
  };
  TempFolder folder;
  for (const LineCase& c : cases) {
    EXPECT_EQ(ReadLines(folder.Write("lines.txt", c.bytes)), c.lines) << c.name;
  }
}

TEST(CStdioFileReadString, BinaryModeKeepsTheCR) {
  TempFolder folder;
  const std::string path = folder.Write("b.txt", "a\r\nb\n");
  EXPECT_EQ(ReadLines(path, CFile::typeBinary), (std::vector<std::string>{"a\r", "b"}));
  EXPECT_EQ(ReadLines(path, CFile::typeText), (std::vector<std::string>{"a", "b"}));
}

TEST(CStdioFileReadString, MegabyteLine) {
  TempFolder folder;
  const std::string huge(1 << 20, 'm');
  const auto lines = ReadLines(folder.Write("big.txt", huge + "\r\nafter"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], huge);
  EXPECT_EQ(lines[1], "after");
}

TEST(CFileOpen, FailuresGiveTheCause) {
  TempFolder folder;
  struct FailCase {
    std::string path;
    UINT flags;
    int cause;
  } cases[] = {
      {folder.PathOf("missing.txt"), 0, CFileException::fileNotFound},
      {folder.Path(), 0, CFileException::accessDenied},
      {"", 0, CFileException::badPath},
      {folder.Write("w.txt", "x"), CFile::modeWrite, CFileException::accessDenied},
      {folder.PathOf("w.txt"), CFile::modeCreate, CFileException::accessDenied},
  };
  for (const FailCase& c : cases) {
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(c.path.c_str(), c.flags, &error)) << c.path;
    EXPECT_EQ(error.m_cause, c.cause) << c.path;
    EXPECT_FALSE(file.IsOpen());
  }
}

TEST(CFileOpen, ConstructorRaisesAHeapException) {
  TempFolder folder;
  const std::string missing = folder.PathOf("none.txt");
  try {
    CStdioFile file(missing.c_str(), 0);
    ADD_FAILURE() << "opened a missing file";
  } catch (CFileException* e) {
    EXPECT_EQ(e->m_cause, CFileException::fileNotFound);
    EXPECT_EQ(e->m_strFileName, missing.c_str());
    e->Delete();
  }
}

TEST(CFileRead, BytesThenEndAndLength) {
  TempFolder folder;
  const std::string path = folder.Write("r.bin", std::string("\x01\x02\x03\x00\x05", 5));
  CStdioFile file(path.c_str(), CFile::typeBinary);
  EXPECT_EQ(file.GetLength(), 5u);
  unsigned char bytes[8] = {};
  EXPECT_EQ(file.Read(bytes, 3), 3u);
  EXPECT_EQ(file.Read(bytes + 3, 8), 2u);
  EXPECT_EQ(file.Read(bytes, 8), 0u);
  EXPECT_EQ(bytes[2], 3);
  EXPECT_EQ(bytes[4], 5);
  file.Close();
  file.Close();  // a second close does nothing
  EXPECT_FALSE(file.IsOpen());
}

struct LimitCase {
  const char* name;
  std::string bytes;
  ULONGLONG limit;
  std::vector<std::string> lines;
  bool reached;
};

// The limit counts bytes of the file, line ends included, whatever the read buffer holds.
TEST(CStdioFileReadLimit, NothingBeyondTheLimitIsRead) {
  const std::string block(5000, 'b');  // longer than the read buffer
  const LimitCase cases[] = {
      {"file shorter than the limit", "ab\ncd\n", 100, {"ab", "cd"}, false},
      {"file exactly the limit", "ab\ncd\n", 6, {"ab", "cd"}, true},
      {"limit inside the second line", "ab\ncdef\n", 5, {"ab", "cd"}, true},
      {"limit between CR and LF keeps the CR", "ab\r\ncd", 3, {"ab\r"}, true},
      {"limit of zero", "ab\n", 0, {}, true},
      {"limit past the read buffer",
       block + "\n" + block + "\n",
       6000,
       {block, std::string(999, 'b')},
       true},
      {"a line of any length stops at the limit",
       std::string(1 << 20, 'x'),
       10000,
       {std::string(10000, 'x')},
       true},
  };
  TempFolder folder;
  for (const LimitCase& c : cases) {
    CStdioFile file(folder.Write("limit.txt", c.bytes).c_str(), 0);
    file.SetReadLimit(c.limit);
    std::vector<std::string> lines;
    CString line;
    while (file.ReadString(line)) lines.emplace_back(static_cast<LPCTSTR>(line));
    EXPECT_EQ(lines, c.lines) << c.name;
    EXPECT_EQ(file.ReachedReadLimit() != FALSE, c.reached) << c.name;
  }
}

TEST(CStdioFileReadLimit, OpeningLiftsTheLimit) {
  TempFolder folder;
  const std::string path = folder.Write("limit.bin", "0123456789");
  CStdioFile file(path.c_str(), CFile::typeBinary);
  file.SetReadLimit(7);
  EXPECT_FALSE(file.ReachedReadLimit());
  CString cut;
  ASSERT_TRUE(file.ReadString(cut));
  EXPECT_EQ(cut, "0123456");
  EXPECT_TRUE(file.ReachedReadLimit());
  ASSERT_TRUE(file.Open(path.c_str(), 0));
  EXPECT_FALSE(file.ReachedReadLimit());
  CString line;
  ASSERT_TRUE(file.ReadString(line));
  EXPECT_EQ(line, "0123456789");
}

#ifdef _WIN32

HANDLE OpenOther(const std::string& path, DWORD access, DWORD share) {
  return CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// Flags 0 share with no one: another opener, however it shares, keeps the file from opening.
TEST(CFileExclusiveOpen, AnotherOpenerBlocksFlagsZero) {
  TempFolder folder;
  const std::string path = folder.Write("held.txt", "x\n");
  for (DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ},
                      DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}}) {
    HANDLE other = OpenOther(path, GENERIC_READ, share);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(path.c_str(), 0, &error)) << "share " << share;
    EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
    EXPECT_EQ(error.m_lOsError, static_cast<LONG>(ERROR_SHARING_VIOLATION));
    CloseHandle(other);
  }
  CFile file;
  EXPECT_TRUE(file.Open(path.c_str(), 0));
}

TEST(CFileExclusiveOpen, WhileOpenNoOneElseMayOpen) {
  TempFolder folder;
  const std::string path = folder.Write("mine.txt", "x\n");
  {
    CStdioFile file(path.c_str(), 0);
    HANDLE other = OpenOther(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  }
  HANDLE after = OpenOther(path, GENERIC_READ, 0);
  EXPECT_NE(after, INVALID_HANDLE_VALUE) << "closing the file did not release it";
  if (after != INVALID_HANDLE_VALUE) CloseHandle(after);
}

TEST(CFileExclusiveOpen, ShareDenyWriteAllowsOtherReaders) {
  TempFolder folder;
  const std::string path = folder.Write("shared.txt", "x\n");
  HANDLE other = OpenOther(path, GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  CFile file;
  EXPECT_TRUE(file.Open(path.c_str(), CFile::shareDenyWrite));
  CloseHandle(other);
}

#else

TEST(CFileExclusiveOpen, AnotherOpenerBlocksFlagsZero) {
  GTEST_SKIP() << "Linux has no share modes: any number of openers may read a file";
}

#endif

}  // namespace

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "classlib/afx.h"
#include "tests/classlib/TempFolder.h"

namespace {

std::vector<BYTE> LittleEndian(std::initializer_list<int32_t> values) {
  std::vector<BYTE> bytes;
  for (int32_t value : values) {
    const uint32_t bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<BYTE>(bits >> shift));
  }
  return bytes;
}

TEST(CArchiveLoad, ThirtyTwoBitIntegersLittleEndian) {
  std::vector<BYTE> bytes = LittleEndian({2, 60, 200, -1, 0x01020304, INT32_MIN});
  CMemFile memory(bytes.data(), static_cast<UINT>(bytes.size()));
  CArchive archive(&memory, CArchive::load, 4096);
  EXPECT_TRUE(archive.IsLoading());
  int count = 0, first = 0, second = 0, minusOne = 0, pattern = 0, lowest = 0;
  archive >> count >> first >> second >> minusOne >> pattern >> lowest;
  EXPECT_EQ(count, 2);
  EXPECT_EQ(first, 60);
  EXPECT_EQ(second, 200);
  EXPECT_EQ(minusOne, -1);
  EXPECT_EQ(pattern, 0x01020304);
  EXPECT_EQ(lowest, INT32_MIN);
  archive.Close();
}

// Buffers smaller than a value, or not a multiple of it, refill in the middle of one.
TEST(CArchiveLoad, AnyBufferSizeReadsTheSameValues) {
  std::vector<BYTE> bytes = LittleEndian({7, -7, 123456789, 42, 0x7fffffff});
  for (int bufferSize : {1, 2, 3, 5, 7, 4096}) {
    CMemFile memory(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive archive(&memory, CArchive::load, bufferSize);
    std::vector<int> read(5);
    for (int& value : read) archive >> value;
    EXPECT_EQ(read, (std::vector<int>{7, -7, 123456789, 42, 0x7fffffff})) << bufferSize;
  }
}

int CauseOfReadingPastTheEnd(const std::vector<BYTE>& data, int values) {
  std::vector<BYTE> bytes = data;
  CMemFile memory(bytes.empty() ? nullptr : bytes.data(), static_cast<UINT>(bytes.size()));
  CArchive archive(&memory, CArchive::load, 4096);
  int value = 0;
  try {
    for (int i = 0; i < values; ++i) archive >> value;
  } catch (CArchiveException* e) {
    const int cause = e->m_cause;
    e->Delete();
    return cause;
  }
  return CArchiveException::none;
}

TEST(CArchiveLoad, EndOfDataRaisesArchiveException) {
  std::vector<BYTE> twoAndAHalf = LittleEndian({2, 60});
  twoAndAHalf.push_back(200);
  twoAndAHalf.push_back(0);
  EXPECT_EQ(CauseOfReadingPastTheEnd(twoAndAHalf, 2), CArchiveException::none);
  EXPECT_EQ(CauseOfReadingPastTheEnd(twoAndAHalf, 3), CArchiveException::endOfFile);
  EXPECT_EQ(CauseOfReadingPastTheEnd({}, 1), CArchiveException::endOfFile);
  EXPECT_EQ(CauseOfReadingPastTheEnd({1, 2, 3}, 1), CArchiveException::endOfFile);
}

TEST(CArchiveLoad, FromAFileOnDisk) {
  TempFolder folder;
  const std::vector<BYTE> bytes = LittleEndian({3, 10, 20, 30});
  const std::string path = folder.Write("widths.bin", std::string(bytes.begin(), bytes.end()));
  CStdioFile file(path.c_str(), CFile::typeBinary);
  CArchive archive(&file, CArchive::load, 4);
  int count = 0, sum = 0;
  archive >> count;
  for (int i = 0; i < count; ++i) {
    int width = 0;
    archive >> width;
    sum += width;
  }
  EXPECT_EQ(count, 3);
  EXPECT_EQ(sum, 60);
  int beyond = 0;
  try {
    archive >> beyond;
    ADD_FAILURE() << "read past the end of the file";
  } catch (CArchiveException* e) {
    EXPECT_EQ(e->m_cause, CArchiveException::endOfFile);
    e->Delete();
  }
}

TEST(CArchiveLoad, StoringArchiveRefusesExtraction) {
  BYTE bytes[4] = {1, 0, 0, 0};
  CMemFile memory(bytes, sizeof(bytes));
  CArchive archive(&memory, CArchive::store);
  int value = 0;
  try {
    archive >> value;
    ADD_FAILURE() << "read from a storing archive";
  } catch (CArchiveException* e) {
    EXPECT_EQ(e->m_cause, CArchiveException::writeOnly);
    e->Delete();
  }
}

}  // namespace

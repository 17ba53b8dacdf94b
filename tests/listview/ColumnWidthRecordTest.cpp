// The column-width record read through the real memory file and archive, as the list's header
// reads it from the profile.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "classlib/afx.h"
#include "listview/ColumnWidthRecord.h"

namespace {

std::vector<BYTE> Record(const std::vector<int32_t>& values) {
  std::vector<BYTE> bytes;
  for (int32_t v : values) {
    for (int shift = 0; shift < 32; shift += 8) {
      bytes.push_back(static_cast<BYTE>(static_cast<uint32_t>(v) >> shift));
    }
  }
  return bytes;
}

TEST(IsWholeWidthRecord, ACountAndExactlyThatManyWidths) {
  const struct {
    const char* what;
    std::vector<BYTE> bytes;
    bool whole;
  } cases[] = {
      {"two widths", Record({2, 60, 200}), true},
      {"no widths", Record({0}), true},
      {"one of two widths", Record({2, 60}), false},
      {"a width too many", Record({1, 60, 200}), false},
      {"a negative count", Record({-1}), false},
      {"a count that wraps", Record({0x40000001, 5}), false},
      {"empty", {}, false},
      {"three bytes", {2, 0, 0}, false},
      {"a byte over", {1, 0, 0, 0, 60, 0, 0, 0, 9}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsWholeWidthRecord(c.bytes.data(), static_cast<UINT>(c.bytes.size())) != FALSE,
              c.whole)
        << c.what;
  }
  EXPECT_FALSE(IsWholeWidthRecord(nullptr, 8));
}

void Collect(void* widths, int item, int width) {
  std::vector<std::pair<int, int>>* seen = static_cast<std::vector<std::pair<int, int>>*>(widths);
  seen->emplace_back(item, width);
}

TEST(ReadColumnWidths, WidthsAreHandedOverAsTheyAreRead) {
  using Widths = std::vector<std::pair<int, int>>;
  const struct {
    const char* what;
    std::vector<BYTE> bytes;
    int items;
    Widths widths;
    bool endOfData;
  } cases[] = {
      {"the count of the header", Record({2, 60, 200}), 2, {{0, 60}, {1, 200}}, false},
      {"another count: nothing", Record({3, 60, 200, 10}), 2, {}, false},
      {"no items, no widths", Record({0}), 0, {}, false},
      {"widths taken as they are",
       Record({2, -5, 0x7fffffff}),
       2,
       {{0, -5}, {1, 0x7fffffff}},
       false},
      {"bytes after the record are not read", Record({1, 60, 99}), 1, {{0, 60}}, false},
      {"short of its count: the widths before the end, then the error",
       Record({3, 60, 200}),
       3,
       {{0, 60}, {1, 200}},
       true},
      {"a width cut in two", {2, 0, 0, 0, 60, 0, 0, 0, 200, 0}, 2, {{0, 60}}, true},
      {"no count at all", {2, 0}, 2, {}, true},
  };
  for (const auto& c : cases) {
    for (int bufferSize : {1, 3, 4, 4096}) {
      std::vector<BYTE> data = c.bytes;
      CMemFile file(data.data(), static_cast<UINT>(data.size()));
      CArchive archive(&file, CArchive::load, bufferSize);
      Widths widths;
      bool endOfData = false;
      int handed = -1;
      try {
        handed = ReadColumnWidths(archive, c.items, Collect, &widths);
      } catch (CArchiveException* error) {
        endOfData = error->m_cause == CArchiveException::endOfFile;
        error->Delete();
      }
      archive.Close();
      EXPECT_EQ(widths, c.widths) << c.what << ", buffer " << bufferSize;
      EXPECT_EQ(endOfData, c.endOfData) << c.what << ", buffer " << bufferSize;
      if (!c.endOfData) {
        EXPECT_EQ(handed, static_cast<int>(c.widths.size())) << c.what;
      }
    }
  }
}

}  // namespace

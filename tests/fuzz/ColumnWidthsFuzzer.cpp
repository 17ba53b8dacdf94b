// Any bytes as the column-width record of the profile, read through the real memory file and
// archive as the list's header reads it: input byte 0 gives the header's number of items, byte 1
// the archive's buffer size, the rest is the record. Checks that IsWholeWidthRecord accepts
// exactly a count and that many widths, and that the widths handed over, and the end-of-data
// error of a short record, are those the bytes say.
#include <cstdint>
#include <cstring>
#include <vector>

#include "classlib/afx.h"
#include "listview/ColumnWidthRecord.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

int32_t LittleEndian32(const uint8_t* bytes) {
  return static_cast<int32_t>(
      static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
      static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

struct Seen {
  std::vector<int> widths;
};

void Collect(void* context, int item, int width) {
  Seen* seen = static_cast<Seen*>(context);
  FUZZ_CHECK(item == static_cast<int>(seen->widths.size()));  // in order, each once
  seen->widths.push_back(width);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int items = data[0] % 8;
  const int bufferSize = data[1] < 250 ? 1 + data[1] % 16 : 4096;
  // The record in a buffer of exactly its size: a read past it is AddressSanitizer's to see.
  std::vector<BYTE> record(data + 2, data + size);
  const UINT bytes = static_cast<UINT>(record.size());
  BYTE* recordData = record.empty() ? nullptr : record.data();

  const bool whole = bytes >= 4 && (bytes - 4) % 4 == 0 && LittleEndian32(recordData) >= 0 &&
                     static_cast<UINT>(LittleEndian32(recordData)) == (bytes - 4) / 4;
  FUZZ_CHECK((IsWholeWidthRecord(recordData, bytes) != FALSE) == whole);

  CMemFile file(recordData, bytes);
  CArchive archive(&file, CArchive::load, bufferSize);
  Seen seen;
  int handed = -1;
  bool endOfData = false;
  try {
    handed = ReadColumnWidths(archive, items, Collect, &seen);
  } catch (CArchiveException* error) {
    FUZZ_CHECK(error->m_cause == CArchiveException::endOfFile);
    error->Delete();
    endOfData = true;
  }
  archive.Close();

  if (bytes < 4) {  // not even a count
    FUZZ_CHECK(endOfData && seen.widths.empty());
    return 0;
  }
  const int32_t count = LittleEndian32(recordData);
  if (count != items) {
    FUZZ_CHECK(!endOfData && handed == 0 && seen.widths.empty());
    return 0;
  }
  const size_t available = (bytes - 4) / 4;  // whole widths in the record
  FUZZ_CHECK(endOfData == (available < static_cast<size_t>(count)));
  FUZZ_CHECK(seen.widths.size() == (endOfData ? available : static_cast<size_t>(count)));
  if (!endOfData) FUZZ_CHECK(handed == count);
  if (whole) FUZZ_CHECK(!endOfData);  // a record the list accepts never runs out
  for (size_t i = 0; i < seen.widths.size(); ++i) {
    FUZZ_CHECK(seen.widths[i] == LittleEndian32(recordData + 4 + 4 * i));
  }
  return 0;
}

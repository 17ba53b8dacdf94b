#include "listview/ColumnWidthRecord.h"

#include <cstdint>

namespace {

int32_t ReadLittleEndian32(const BYTE* bytes) {
  return static_cast<int32_t>(
      static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
      static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

}  // namespace

BOOL IsWholeWidthRecord(const BYTE* data, UINT bytes) {
  if (data == nullptr || bytes < 4 || (bytes - 4) % 4 != 0) return FALSE;
  const int32_t count = ReadLittleEndian32(data);
  return count >= 0 && static_cast<UINT>(count) == (bytes - 4) / 4;
}

int ReadColumnWidths(CArchive& ar, int itemCount, ColumnWidthSink sink, void* context) {
  int count = 0;
  ar >> count;
  if (count != itemCount) return 0;
  for (int i = 0; i < count; ++i) {
    int width = 0;
    ar >> width;
    sink(context, i, width);
  }
  return count;
}

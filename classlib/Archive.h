#pragma once
#include <cstdint>

#include "classlib/Exceptions.h"
#include "classlib/Files.h"
#include "classlib/Platform.h"

// A loading archive over a file: fixed-size values read little-endian through a buffer. Reading
// past the end of the data raises CArchiveException with endOfFile. Storing is not provided;
// extracting from an archive made with store raises CArchiveException with writeOnly.
class CArchive {
 public:
  enum Mode : UINT { store = 0, load = 1 };

  // bufferSize is the number of bytes read from the file at a time (at least 1).
  CArchive(CFile* file, UINT mode, int bufferSize = 4096);
  ~CArchive();
  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;

  BOOL IsLoading() const { return (m_nMode & load) != 0; }

  CArchive& operator>>(int& value);

  // Detaches the archive from its file; the file stays open.
  void Close();

 private:
  // Copies up to count bytes; returns how many, fewer only at the end of the data.
  UINT Read(void* buffer, UINT count);
  void ReadExactly(void* buffer, UINT count);

  CFile* m_pFile;
  UINT m_nMode;
  BYTE* m_buffer;
  UINT m_bufferSize;
  UINT m_next = 0;
  UINT m_end = 0;
};

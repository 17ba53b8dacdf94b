#include "classlib/Archive.h"

#include <cstdlib>
#include <cstring>

CArchive::CArchive(CFile* file, UINT mode, int bufferSize)
    : m_pFile(file),
      m_nMode(mode),
      m_buffer(nullptr),
      m_bufferSize(bufferSize > 0 ? static_cast<UINT>(bufferSize) : 1) {
  m_buffer = static_cast<BYTE*>(malloc(m_bufferSize));
  if (m_buffer == nullptr) AfxThrowMemoryException();
}

CArchive::~CArchive() {
  free(m_buffer);
}

UINT CArchive::Read(void* buffer, UINT count) {
  if (!IsLoading()) AfxThrowArchiveException(CArchiveException::writeOnly);
  if (m_pFile == nullptr) AfxThrowArchiveException(CArchiveException::genericException);
  BYTE* to = static_cast<BYTE*>(buffer);
  UINT copied = 0;
  while (copied < count) {
    if (m_next == m_end) {
      m_next = 0;
      m_end = m_pFile->Read(m_buffer, m_bufferSize);
      if (m_end == 0) break;
    }
    UINT piece = m_end - m_next;
    if (piece > count - copied) piece = count - copied;
    memcpy(to + copied, m_buffer + m_next, piece);
    m_next += piece;
    copied += piece;
  }
  return copied;
}

void CArchive::ReadExactly(void* buffer, UINT count) {
  if (Read(buffer, count) != count) {
    AfxThrowArchiveException(CArchiveException::endOfFile, m_pFile->GetFilePath());
  }
}

CArchive& CArchive::operator>>(int& value) {
  BYTE bytes[4];
  ReadExactly(bytes, sizeof(bytes));
  value = static_cast<int>(static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                           static_cast<uint32_t>(bytes[2]) << 16 |
                           static_cast<uint32_t>(bytes[3]) << 24);
  return *this;
}

void CArchive::Close() {
  m_pFile = nullptr;
  m_next = m_end = 0;
}

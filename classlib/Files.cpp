#include "classlib/Files.h"

#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

constexpr UINT kAccessMask = CFile::modeWrite | CFile::modeReadWrite | CFile::modeCreate;

void Report(CFileException* error, int cause, LONG osError, LPCTSTR fileName) {
  if (error == nullptr) return;
  error->m_cause = cause;
  error->m_lOsError = osError;
  error->m_strFileName = fileName;
}

#ifdef _WIN32
const HANDLE kNoFile = INVALID_HANDLE_VALUE;
constexpr UINT kShareMask = 0x0070;  // Linux has no share modes

DWORD ShareMode(UINT openFlags) {
  switch (openFlags & kShareMask) {
    case CFile::shareDenyWrite:
      return FILE_SHARE_READ;
    case CFile::shareDenyRead:
      return FILE_SHARE_WRITE;
    case CFile::shareDenyNone:
      return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default:
      return 0;  // shareCompat and shareExclusive: no other opener at all
  }
}
#else
const int kNoFile = -1;
#endif

}  // namespace

CFile::CFile() : m_hFile(kNoFile) {}

CFile::~CFile() {
  Abort();
}

BOOL CFile::IsOpen() const {
  return m_hFile != kNoFile;
}

BOOL CFile::Open(LPCTSTR fileName, UINT openFlags, CFileException* error) {
  Abort();
  if (fileName == nullptr || *fileName == '\0') {
    Report(error, CFileException::badPath, -1, fileName);
    return FALSE;
  }
  if ((openFlags & kAccessMask) != 0) {
    Report(error, CFileException::accessDenied, -1, fileName);
    return FALSE;
  }
#ifdef _WIN32
  SECURITY_ATTRIBUTES security = {sizeof(security), nullptr,
                                  (openFlags & modeNoInherit) ? FALSE : TRUE};
  // A folder fails here with ERROR_ACCESS_DENIED: opening one needs FILE_FLAG_BACKUP_SEMANTICS.
  HANDLE file = CreateFileA(fileName, GENERIC_READ, ShareMode(openFlags), &security, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const LONG osError = static_cast<LONG>(GetLastError());
    Report(error, CFileException::OsErrorToException(osError), osError, fileName);
    return FALSE;
  }
#else
  int file;
  do {
    file = open(fileName, O_RDONLY | O_CLOEXEC);
  } while (file < 0 && errno == EINTR);
  if (file < 0) {
    Report(error, CFileException::ErrnoToException(errno), errno, fileName);
    return FALSE;
  }
  // Linux opens a folder for reading; Windows refuses, and so does this layer.
  struct stat info;
  if (fstat(file, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(file);
    Report(error, CFileException::accessDenied, EISDIR, fileName);
    return FALSE;
  }
#endif
  m_hFile = file;
  m_strFileName = fileName;
  return TRUE;
}

UINT CFile::Read(void* buffer, UINT count) {
  if (!IsOpen()) AfxThrowFileException(CFileException::invalidFile, -1, m_strFileName);
  if (count == 0) return 0;
#ifdef _WIN32
  DWORD read = 0;
  if (!ReadFile(m_hFile, buffer, count, &read, nullptr)) {
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
  }
  return read;
#else
  ssize_t read;
  do {
    read = ::read(m_hFile, buffer, count);
  } while (read < 0 && errno == EINTR);
  if (read < 0) CFileException::ThrowErrno(errno, m_strFileName);
  return static_cast<UINT>(read);
#endif
}

ULONGLONG CFile::GetLength() const {
  if (!IsOpen()) AfxThrowFileException(CFileException::invalidFile, -1, m_strFileName);
#ifdef _WIN32
  LARGE_INTEGER size;
  if (!GetFileSizeEx(m_hFile, &size)) {
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
  }
  return static_cast<ULONGLONG>(size.QuadPart);
#else
  struct stat info;
  if (fstat(m_hFile, &info) != 0) CFileException::ThrowErrno(errno, m_strFileName);
  return static_cast<ULONGLONG>(info.st_size);
#endif
}

void CFile::Close() {
  if (!IsOpen()) return;
  const auto file = m_hFile;
  m_hFile = kNoFile;
#ifdef _WIN32
  if (!CloseHandle(file)) {
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
  }
#else
  // Linux closes the descriptor even when close reports an error, so it is never retried.
  if (close(file) != 0 && errno != EINTR) CFileException::ThrowErrno(errno, m_strFileName);
#endif
}

void CFile::Abort() {
  if (!IsOpen()) return;
#ifdef _WIN32
  CloseHandle(m_hFile);  // nothing to do about a failure while discarding the file
#else
  close(m_hFile);
#endif
  m_hFile = kNoFile;
}

CStdioFile::CStdioFile(LPCTSTR fileName, UINT openFlags) {
  CFileException error;
  if (!Open(fileName, openFlags, &error)) {
    AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
  }
}

BOOL CStdioFile::Open(LPCTSTR fileName, UINT openFlags, CFileException* error) {
  m_next = m_end = 0;
  m_binary = (openFlags & typeBinary) != 0;
  m_readLimit = ~ULONGLONG{0};
  m_bytesRead = 0;
  return CFile::Open(fileName, openFlags, error);
}

UINT CStdioFile::ReadWithinLimit(void* buffer, UINT count) {
  const ULONGLONG allowed = m_readLimit - (m_bytesRead < m_readLimit ? m_bytesRead : m_readLimit);
  if (allowed < count) count = static_cast<UINT>(allowed);
  const UINT read = CFile::Read(buffer, count);
  m_bytesRead += read;
  return read;
}

void CStdioFile::Close() {
  m_next = m_end = 0;
  CFile::Close();
}

BOOL CStdioFile::FillBuffer() {
  m_next = 0;
  m_end = ReadWithinLimit(m_buffer, kBufferSize);
  return m_end > 0;
}

BOOL CStdioFile::ReadString(CString& line) {
  line.Empty();
  BOOL readAny = FALSE;
  BOOL cutAtZero = FALSE;
  BOOL ended = FALSE;
  while (!ended) {
    if (m_next == m_end && !FillBuffer()) break;
    readAny = TRUE;
    const char* start = m_buffer + m_next;
    const UINT available = m_end - m_next;
    const void* lineFeed = memchr(start, '\n', available);
    const UINT length = lineFeed != nullptr
                            ? static_cast<UINT>(static_cast<const char*>(lineFeed) - start)
                            : available;
    if (!cutAtZero) {
      const UINT kept = static_cast<UINT>(strnlen(start, length));
      line.Append(start, static_cast<int>(kept));
      cutAtZero = kept < length;
    }
    m_next += length;
    if (lineFeed != nullptr) {
      ++m_next;
      ended = TRUE;
    }
  }
  // Text mode drops the CR of a CR LF pair; the CR may have come in the buffer before the LF.
  if (ended && !m_binary && !cutAtZero && line.GetLength() > 0 &&
      line[line.GetLength() - 1] == '\r') {
    line.GetBufferSetLength(line.GetLength() - 1);
  }
  return readAny;
}

CMemFile::CMemFile(BYTE* buffer, UINT bufferSize)
    : m_data(buffer), m_size(buffer != nullptr ? bufferSize : 0) {}

UINT CMemFile::Read(void* buffer, UINT count) {
  const UINT left = m_size - m_position;
  const UINT taken = count < left ? count : left;
  if (taken > 0) memcpy(buffer, m_data + m_position, taken);
  m_position += taken;
  return taken;
}

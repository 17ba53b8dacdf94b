#pragma once
#include "classlib/CString.h"
#include "classlib/Platform.h"

// The class library's exceptions: thrown as pointers to heap objects (throw new CFileException),
// caught as pointers, and discarded with Delete().
class CException {
 public:
  explicit CException(BOOL autoDelete = TRUE) : m_bAutoDelete(autoDelete) {}
  virtual ~CException() = default;
  CException(const CException&) = delete;
  CException& operator=(const CException&) = delete;

  // Frees a heap exception; does nothing to one that is not meant to be freed (the shared
  // memory exception, or one on the stack).
  void Delete();

  BOOL m_bAutoDelete;
};

// Out of memory. Like the class library, this layer throws one preallocated object, since
// allocating a new one is exactly what may fail; its Delete() does nothing.
class CMemoryException : public CException {
 public:
  CMemoryException() : CException(FALSE) {}
};

// An index outside an array or a string.
class CInvalidArgException : public CException {};

class CFileException : public CException {
 public:
  enum {
    none,
    genericException,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile
  };

  explicit CFileException(int cause = none, LONG osError = -1, LPCTSTR fileName = nullptr)
      : m_cause(cause), m_lOsError(osError), m_strFileName(fileName) {}

  // The cause for a Win32 error code (GetLastError) or for a C library errno.
  static int OsErrorToException(LONG osError);
  static int ErrnoToException(int error);
  [[noreturn]] static void ThrowOsError(LONG osError, LPCTSTR fileName = nullptr);
  [[noreturn]] static void ThrowErrno(int error, LPCTSTR fileName = nullptr);

  int m_cause;
  LONG m_lOsError;
  CString m_strFileName;
};

class CArchiveException : public CException {
 public:
  enum { none, genericException, readOnly, endOfFile, writeOnly, badIndex, badClass, badSchema };

  explicit CArchiveException(int cause = none, LPCTSTR archiveName = nullptr)
      : m_cause(cause), m_strFileName(archiveName) {}

  int m_cause;
  CString m_strFileName;
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowInvalidArgException();
[[noreturn]] void AfxThrowFileException(int cause, LONG osError = -1, LPCTSTR fileName = nullptr);
[[noreturn]] void AfxThrowArchiveException(int cause, LPCTSTR archiveName = nullptr);

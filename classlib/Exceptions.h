#pragma once
#include "classlib/CException.h"
#include "classlib/CString.h"
#include "classlib/Platform.h"

// The exceptions that name the file or archive they are about.
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

[[noreturn]] void AfxThrowFileException(int cause, LONG osError = -1, LPCTSTR fileName = nullptr);
[[noreturn]] void AfxThrowArchiveException(int cause, LPCTSTR archiveName = nullptr);

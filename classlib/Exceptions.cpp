#include "classlib/Exceptions.h"

#include <cerrno>

int CFileException::OsErrorToException(LONG osError) {
#ifdef _WIN32
  switch (osError) {
    case NO_ERROR:
      return none;
    case ERROR_FILE_NOT_FOUND:
      return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_FILENAME_EXCED_RANGE:
      return badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
      return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return accessDenied;
    case ERROR_INVALID_HANDLE:
      return invalidFile;
    case ERROR_CURRENT_DIRECTORY:
      return removeCurrentDir;
    case ERROR_CANNOT_MAKE:
      return directoryFull;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK:
      return badSeek;
    case ERROR_SHARING_VIOLATION:
      return sharingViolation;
    case ERROR_LOCK_VIOLATION:
      return lockViolation;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
      return diskFull;
    case ERROR_HANDLE_EOF:
      return endOfFile;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
      return hardIO;
    default:
      return genericException;
  }
#else
  return ErrnoToException(static_cast<int>(osError));
#endif
}

int CFileException::ErrnoToException(int error) {
  switch (error) {
    case 0:
      return none;
    case ENOENT:
      return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
      return badPath;
    case EMFILE:
    case ENFILE:
      return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return accessDenied;
    case EBADF:
      return invalidFile;
    case ENOSPC:
      return diskFull;
    case EIO:
      return hardIO;
    default:
      return genericException;
  }
}

void CFileException::ThrowOsError(LONG osError, LPCTSTR fileName) {
  AfxThrowFileException(OsErrorToException(osError), osError, fileName);
}

void CFileException::ThrowErrno(int error, LPCTSTR fileName) {
  AfxThrowFileException(ErrnoToException(error), error, fileName);
}

void AfxThrowFileException(int cause, LONG osError, LPCTSTR fileName) {
  throw new CFileException(cause, osError, fileName);
}

void AfxThrowArchiveException(int cause, LPCTSTR archiveName) {
  throw new CArchiveException(cause, archiveName);
}

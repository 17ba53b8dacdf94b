#pragma once
#include "classlib/Platform.h"

// The class library's exceptions are thrown as pointers to heap objects (throw new ...), caught
// as pointers, and discarded with Delete(). This is their root and the two that carry nothing;
// the ones that name a file (Exceptions.h) need CString, which itself raises these two.
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

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowInvalidArgException();

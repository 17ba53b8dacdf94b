#include "classlib/CException.h"

void CException::Delete() {
  if (m_bAutoDelete) delete this;
}

void AfxThrowMemoryException() {
  static CMemoryException shared;
  throw &shared;
}

void AfxThrowInvalidArgException() {
  throw new CInvalidArgException;
}

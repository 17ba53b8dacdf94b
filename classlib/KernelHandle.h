#pragma once
#include <windows.h>

#include "classlib/Handle.h"

// A kernel object's handle that is not a file (a process token, say), closed with the object.
// Null is "none", as the calls that open such objects report failure.
class CKernelHandle : public CHandle {
 public:
  CKernelHandle() : CHandle(nullptr, ::CloseHandle) {}
};

#include "tests/support/EveryoneWrites.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

bool LetEveryoneWrite(const std::string& folder) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;OICI;FA;;;WD)", SDDL_REVISION_1,
                                                            &descriptor, nullptr))
    return false;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  const DWORD set =
      SetNamedSecurityInfoA(const_cast<char*>(folder.c_str()), SE_FILE_OBJECT,
                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, dacl, nullptr);
  LocalFree(descriptor);
  return set == ERROR_SUCCESS;
}

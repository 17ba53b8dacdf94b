#include "classlib/KernelHandle.h"
#include "install/ProtectedArea.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <vector>

namespace {

// Administrators own it; SYSTEM and Administrators have full control, inherited by everything made
// in it; the DACL is protected, so the configuration folder's entries (Users: Modify, below C:\)
// do not flow in.
constexpr const char* kProtectedDescriptor = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr const char* kTrustedInstaller =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// Rights that let a holder change what the folder holds or who may: any of them in an allowing
// entry for someone untrusted makes the folder untrusted.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                      FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES | DELETE |
                                      WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

BOOL RunsUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The SIDs whose write access is no risk. A buffer of SIDs, each kept for the process's life.
class CTrustedSids {
 public:
  CTrustedSids() {
    AddWellKnown(WinLocalSystemSid);
    AddWellKnown(WinBuiltinAdministratorsSid);
    PSID installer = nullptr;
    if (ConvertStringSidToSidA(kTrustedInstaller, &installer)) {
      m_sids.emplace_back(static_cast<BYTE*>(installer),
                          static_cast<BYTE*>(installer) + GetLengthSid(installer));
      LocalFree(installer);
    }
    if (RunsUnderWine()) AddTokenUser();
  }
  BOOL Holds(PSID sid) const {
    for (const std::vector<BYTE>& trusted : m_sids) {
      if (EqualSid(sid, const_cast<BYTE*>(trusted.data()))) return TRUE;
    }
    return FALSE;
  }

 private:
  void AddWellKnown(WELL_KNOWN_SID_TYPE type) {
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    if (CreateWellKnownSid(type, nullptr, sid.data(), &size)) m_sids.push_back(sid);
  }
  void AddTokenUser() {
    CKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return;
    // Aligned as TOKEN_USER, whose first member is a pointer.
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    if (GetTokenInformation(token.GetSafeHandle(), TokenUser, buffer, sizeof buffer, &size)) {
      const PSID user = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
      m_sids.emplace_back(static_cast<BYTE*>(user), static_cast<BYTE*>(user) + GetLengthSid(user));
    }
  }
  std::vector<std::vector<BYTE>> m_sids;
};

BOOL Fail(char* why, size_t size, const char* text) {
  snprintf(why, size, "%s", text);
  return FALSE;
}

}  // namespace

BOOL CreateProtectedFolder(const char* folder) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kProtectedDescriptor, SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return FALSE;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  const BOOL made = CreateDirectoryA(folder, &attributes);
  LocalFree(descriptor);
  return made;
}

BOOL IsProtectedFolder(HANDLE folder, char* why, size_t size) {
  static const CTrustedSids trusted;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(folder, SE_FILE_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                      &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return Fail(why, size, "its security descriptor cannot be read");
  }
  BOOL ok = TRUE;
  if (owner == nullptr || !trusted.Holds(owner)) {
    ok = Fail(why, size, "it is not owned by SYSTEM or Administrators");
  } else if (dacl == nullptr) {
    ok = Fail(why, size, "it has no DACL: everyone may write it");
  }
  for (DWORD i = 0; ok && i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) {
      ok = Fail(why, size, "its DACL cannot be read");
    } else if ((header->AceFlags & INHERIT_ONLY_ACE) != 0 ||
               header->AceType == ACCESS_DENIED_ACE_TYPE) {
      continue;  // applies only to what is made in it later, or takes rights away
    } else if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
      ok = Fail(why, size, "its DACL holds an entry of a kind this program does not judge");
    } else {
      ACCESS_ALLOWED_ACE* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
      if ((allowed->Mask & kChangeRights) != 0 && !trusted.Holds(&allowed->SidStart)) {
        ok = Fail(why, size, "users other than SYSTEM and Administrators may change it");
      }
    }
  }
  LocalFree(descriptor);
  return ok;
}

#include "install/ProgramDataFolder.h"

#include <shlobj.h>

#include "install/AdminRights.h"
#include "install/ErrorWords.h"
#include "install/PathSafety.h"
#include "install/ProtectedArea.h"

namespace {

// Why folder is not a folder of SYSTEM and Administrators alone; empty when it is one.
std::string UnsafeBecause(const std::string& folder) {
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (!IsFolder(attributes) || IsReparsePoint(attributes)) return "it is not a folder of its own";
  CFileHandle handle;
  if (!handle.Create(folder.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT))
    return "it cannot be opened: " + ErrorInWords(GetLastError());
  char reason[256];
  return IsProtectedFolder(handle.GetSafeHandle(), reason, sizeof reason) ? "" : reason;
}

// The folder, made for SYSTEM and Administrators alone when it is missing; an existing one only
// when it is a real folder that still is theirs alone, or else moved aside by a run with
// administrator rights: a name squatted before the tool ever ran must not stop every run as
// SYSTEM for good.
bool UseProtectedFolder(const std::string& folder, std::string* why) {
  if (CreateProtectedFolder(folder.c_str())) return true;
  std::string unsafe = UnsafeBecause(folder);
  if (unsafe.empty()) return true;
  if (HasAdministratorRights()) {
    const std::string aside = folder + ".untrusted-" + std::to_string(GetCurrentProcessId()) + "-" +
                              std::to_string(GetTickCount());
    // A rename moves the name (a link stays a link), never what it may lead to.
    if (MoveFileExA(folder.c_str(), aside.c_str(), 0) && CreateProtectedFolder(folder.c_str()))
      return true;
    unsafe += ", and it could not be moved aside: " + ErrorInWords(GetLastError());
  }
  *why = folder + " is not safe to use: " + unsafe;
  return false;
}

}  // namespace

std::string ProgramDataPath(const char* name) {
  char data[MAX_PATH] = "";
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, data)) ||
      data[0] == '\0')
    return "";
  return std::string(data) + "\\QuorVantel\\" + name;
}

bool CProgramDataFolder::Use(const char* name, std::string* why) {
  const std::string folder = ProgramDataPath(name);
  if (folder.empty()) {
    *why = "there is no ProgramData folder";
    return false;
  }
  const std::string vendor = folder.substr(0, folder.find_last_of('\\'));
  // The vendor folder may hold what other programs of ours keep; only our own folders in it are
  // made ours alone.
  CreateDirectoryA(vendor.c_str(), nullptr);
  char resolved[kResolvedPathSize];
  if (!OpenFolderWhereNamed(vendor.c_str(), FILE_SHARE_READ | FILE_SHARE_WRITE, &m_vendor,
                            resolved)) {
    *why = vendor + " is not a plain folder where its name says (a link or a junction)";
    return false;
  }
  if (!UseProtectedFolder(folder, why)) return false;
  m_path = folder;
  return true;
}

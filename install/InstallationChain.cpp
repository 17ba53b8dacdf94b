#include "install/InstallationChain.h"

#include <cstring>

#include "install/ErrorWords.h"
#include "install/OpenBelow.h"
#include "install/PathSafety.h"

namespace {

// The levels below the installation folder, each opened in the one above it.
const char* const kLevelNames[] = {nullptr, "arm", "config"};

// Without delete sharing, so that the folder cannot be renamed or replaced while it is held.
constexpr DWORD kHeldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

// path in full, "." and ".." taken out, with its long names and without a trailing backslash
// (a drive's root keeps its own). FALSE when it is not there or does not fit.
BOOL NormalisedPath(const char* path, std::string* normalised) {
  char full[MAX_PATH];
  char longName[MAX_PATH];
  const DWORD fullLength = GetFullPathNameA(path, MAX_PATH, full, nullptr);
  if (fullLength == 0 || fullLength >= MAX_PATH) return FALSE;
  const DWORD longLength = GetLongPathNameA(full, longName, MAX_PATH);
  if (longLength == 0 || longLength >= MAX_PATH) return FALSE;
  size_t length = longLength;
  if (length > 3 && longName[length - 1] == '\\') --length;
  normalised->assign(longName, length);
  return TRUE;
}

}  // namespace

CInstallationChain::Result CInstallationChain::Open(const char* installFolder, BOOL makeConfig) {
  Release();
  m_levelsMade = 0;
  m_hasIdentity = FALSE;
  m_why.clear();
  std::string folder;
  if (installFolder == nullptr || !IsFullyQualifiedPath(installFolder) ||
      !NormalisedPath(installFolder, &folder)) {
    m_why = std::string("the installation ") + (installFolder ? installFolder : "") + " is missing";
    return kChainMissing;
  }
  const std::string paths[] = {folder, folder + "\\arm", folder + "\\arm\\config"};
  m_config = paths[2];
  for (int level = 0; level < 3; ++level) {
    const Result result = OpenLevel(level, paths[level], makeConfig);
    if (result != kChainHeld) {
      Release();
      return result;
    }
  }
  FileIdentityInfo identity;
  BY_HANDLE_FILE_INFORMATION information;
  if (m_levels[2].GetIdentity(&identity)) {
    m_identity = identity;
    m_hasIdentity = TRUE;
  } else if (m_levels[2].GetInformation(&information)) {  // Windows 7
    memset(&m_identity, 0, sizeof m_identity);
    m_identity.volume = information.dwVolumeSerialNumber;
    memcpy(m_identity.id, &information.nFileIndexLow, sizeof information.nFileIndexLow);
    memcpy(m_identity.id + 4, &information.nFileIndexHigh, sizeof information.nFileIndexHigh);
    m_hasIdentity = TRUE;
  }
  return kChainHeld;
}

CInstallationChain::Result CInstallationChain::OpenLevel(int level, const std::string& path,
                                                         BOOL make) {
  CFileHandle& held = m_levels[level];
  const DWORD access = FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY | FILE_TRAVERSE;
  if (level == 0) {
    held.Create(path.c_str(), access, kHeldSharing, OPEN_EXISTING,
                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
  } else {
    // Looked for in the folder just checked, whatever its name leads to by now.
    HANDLE parent = m_levels[level - 1].GetSafeHandle();
    HANDLE opened =
        OpenBelow(parent, kLevelNames[level], access, kHeldSharing, OPEN_EXISTING, TRUE);
    const DWORD error = GetLastError();
    if (opened == INVALID_HANDLE_VALUE && make &&
        (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) {
      opened = OpenBelow(parent, kLevelNames[level], access, kHeldSharing, CREATE_NEW, TRUE);
      if (opened != INVALID_HANDLE_VALUE) ++m_levelsMade;
    }
    held.Attach(opened);
  }
  if (!held.IsOpen()) {
    const DWORD error = GetLastError();
    const BOOL absent = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    if (absent) {
      m_why = level == 0 ? "the installation " + path + " is missing"
                         : path + " is missing: this is no EWARM installation";
      return level == 0 ? kChainMissing : kChainNoConfig;
    }
    m_why = path + (error == ERROR_DIRECTORY ? " is not a folder"
                                             : " cannot be opened: " + ErrorInWords(error));
    return kChainRedirected;
  }
  BY_HANDLE_FILE_INFORMATION information;
  char resolved[kResolvedPathSize] = "";
  if (!held.GetInformation(&information) ||
      !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    m_why = path + " is a link or junction, not a plain folder where its name says";
    return kChainRedirected;
  }
  // Where the folder really is must be its name: a link above it, or one Wine does not report as
  // a reparse point, leads elsewhere.
  if (!ResolveHandle(held.GetSafeHandle(), resolved) || !IsResolvedPath(resolved, path.c_str())) {
    m_why = path + " leads to " + resolved + ": not a plain folder where its name says";
    return kChainRedirected;
  }
  return kChainHeld;
}

void CInstallationChain::Release() {
  for (CFileHandle& level : m_levels) level.Close();
}

BOOL CInstallationChain::GetIdentity(FileIdentityInfo* identity) const {
  if (m_hasIdentity) *identity = m_identity;
  return m_hasIdentity;
}

BOOL SameFolder(const FileIdentityInfo& one, const FileIdentityInfo& other) {
  return one.volume == other.volume && memcmp(one.id, other.id, sizeof one.id) == 0;
}

#include "install/VerifyInstalledPatch.h"

#include <cctype>
#include <cstring>
#include <set>

#include "classlib/FileHandle.h"
#include "install/InstallationChain.h"
#include "install/OpenBelow.h"
#include "install/PatchPaths.h"
#include "install/Sha256.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;

// Opens relative (components joined by '\') below config, each component relative to the one
// before it. A component that is a link or a junction is not followed: the open fails as if the
// entry were missing, with ERROR_CANT_ACCESS_FILE for the caller to tell apart.
BOOL OpenPathBelow(HANDLE config, const std::string& relative, BOOL folderAtEnd, DWORD access,
                   CFileHandle* opened) {
  CFileHandle folder;
  HANDLE parent = config;
  size_t start = 0;
  for (;;) {
    const size_t cut = relative.find('\\', start);
    const bool last = cut == std::string::npos;
    const std::string name = relative.substr(start, last ? std::string::npos : cut - start);
    const BOOL wantFolder = last ? folderAtEnd : TRUE;
    CFileHandle entry;
    entry.Attach(OpenBelow(parent, name.c_str(), wantFolder ? kFolderAccess : access, kShareAll,
                           OPEN_EXISTING, wantFolder));
    BY_HANDLE_FILE_INFORMATION information;
    if (!entry.IsOpen()) return FALSE;
    if (!entry.GetInformation(&information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      SetLastError(ERROR_CANT_ACCESS_FILE);
      return FALSE;
    }
    if (last) {
      opened->Attach(entry.Detach());
      return TRUE;
    }
    folder.Attach(entry.Detach());
    parent = folder.GetSafeHandle();
    start = cut + 1;
  }
}

// The size and SHA-256 of the file open as file, read to its end.
BOOL HashThrough(HANDLE file, uint64_t* size, char hex[kSha256HexSize]) {
  Sha256 hash;
  Sha256Init(&hash);
  static thread_local char buffer[64 * 1024];
  *size = 0;
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &read, nullptr)) return FALSE;
    if (read == 0) break;
    Sha256Update(&hash, buffer, read);
    *size += read;
  }
  uint8_t digest[kSha256Size];
  Sha256Final(&hash, digest);
  Sha256ToHex(digest, hex);
  return TRUE;
}

void CheckFile(HANDLE config, const ManifestEntry& expected, InstalledPatchCheck* check) {
  CFileHandle file;
  if (!OpenPathBelow(config, expected.path, FALSE, GENERIC_READ, &file)) {
    const DWORD error = GetLastError();
    const bool absent = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                        error == ERROR_DIRECTORY || error == ERROR_CANT_ACCESS_FILE;
    check->differences.push_back(
        {absent ? FileDifference::kMissing : FileDifference::kChanged, expected.path});
    return;
  }
  uint64_t size = 0;
  char hex[kSha256HexSize];
  if (!HashThrough(file.GetSafeHandle(), &size, hex) || size != expected.size ||
      strcmp(hex, expected.sha256) != 0)
    check->differences.push_back({FileDifference::kChanged, expected.path});
}

std::string Lower(std::string text) {
  for (char& c : text) c = char(tolower(static_cast<unsigned char>(c)));
  return text;
}

// Every entry of the vendor folder open as folder (relative below config) that the patch does not
// have, at any depth of the patch's own folders; a folder the patch lacks, or a link, is one entry.
void FindForeign(HANDLE folder, const std::string& relative, const ManifestIndex& manifest,
                 const std::set<std::string>& patchFolders, int depth, InstalledPatchCheck* check) {
  std::vector<std::pair<std::wstring, DWORD>> entries;
  ListBelow(folder, &entries);
  for (const auto& [wide, attributes] : entries) {
    char name[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), name, sizeof name - 1, nullptr,
                        nullptr);
    const std::string path = relative + "\\" + name;
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!link && !isFolder && FindManifestEntry(manifest, path.c_str()) != nullptr) continue;
    CFileHandle inner;
    const bool patchFolder = patchFolders.count(Lower(path)) != 0;
    if (!link && isFolder && patchFolder && depth < 16 &&
        OpenPathBelow(folder, name, TRUE, kFolderAccess, &inner)) {
      FindForeign(inner.GetSafeHandle(), path, manifest, patchFolders, depth + 1, check);
      continue;
    }
    if (!link && isFolder && patchFolder) continue;  // reported by its files
    check->differences.push_back({FileDifference::kForeign, path});
  }
}

}  // namespace

InstalledPatchCheck VerifyInstalledPatch(const PatchInfo& patch, const ManifestIndex& manifest,
                                         const char* installFolder, const VersionStamp& installed) {
  InstalledPatchCheck check;
  const PatchStanding standing = CompareInstalledPatch(installFolder, installed, patch.stamp.label);
  if (standing == PatchStanding::kNewer) {
    check.verdict = VerifyVerdict::kNewerPatch;
    return check;
  }
  CInstallationChain chain;
  const CInstallationChain::Result opened = chain.Open(installFolder, FALSE);
  if (opened == CInstallationChain::kChainNoConfig && standing == PatchStanding::kNone) {
    check.verdict = VerifyVerdict::kOtherPatch;  // nothing installed, nothing to read
    return check;
  }
  if (opened != CInstallationChain::kChainHeld) {
    check.verdict = VerifyVerdict::kUnreadable;
    check.why = chain.Why();
    return check;
  }
  const HANDLE config = chain.ConfigHandle();
  for (const ManifestEntry& entry : manifest.entries) CheckFile(config, entry, &check);
  // The patch's folders, lower-cased as the listing compares them, to tell its own from foreign.
  std::set<std::string> patchFolders;
  for (const std::string& folder : patch.listing.folders) patchFolders.insert(Lower(folder));
  for (const std::string& folder : patch.listing.folders) {
    if (!IsVendorFolder(folder.c_str())) continue;
    CFileHandle vendor;
    if (OpenPathBelow(config, folder, TRUE, kFolderAccess, &vendor))
      FindForeign(vendor.GetSafeHandle(), folder, manifest, patchFolders, 0, &check);
  }
  if (standing != PatchStanding::kCurrent)
    check.verdict = VerifyVerdict::kOtherPatch;
  else if (!check.differences.empty())
    check.verdict = VerifyVerdict::kDiffers;
  return check;
}

const char* DifferenceName(FileDifference kind) {
  switch (kind) {
    case FileDifference::kMissing:
      return "missing";
    case FileDifference::kChanged:
      return "changed";
    case FileDifference::kForeign:
      return "foreign";
  }
  return "?";
}

const char* VerdictName(VerifyVerdict verdict) {
  switch (verdict) {
    case VerifyVerdict::kMatches:
      return "matches";
    case VerifyVerdict::kDiffers:
      return "differs";
    case VerifyVerdict::kOtherPatch:
      return "otherPatch";
    case VerifyVerdict::kNewerPatch:
      return "newerPatch";
    case VerifyVerdict::kUnreadable:
      return "unreadable";
  }
  return "?";
}

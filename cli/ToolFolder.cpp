#include "cli/ToolFolder.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "classlib/FindFile.h"
#include "cli/ConsoleOutput.h"
#include "cli/Installations.h"
#include "install/ErrorWords.h"
#include "install/FolderListing.h"
#include "install/OwnFiles.h"
#include "install/PatchCheck.h"
#include "install/PatchManifest.h"
#include "install/PatchPaths.h"
#include "install/PathSafety.h"
#include "install/VersionOrder.h"

namespace {

constexpr const char* kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QX48_EWARM_patch";
constexpr const char* kToolName = "qx48patch.exe";
constexpr const char* kPatchName = "QX48_EWARM_patch";
constexpr const char* kManifestName = "QX48_EWARM_patch.sha256";

std::string ParentOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// A name beside folder that no other run uses: this process's id and a tick count.
std::string FreshSibling(const std::string& folder, const char* kind) {
  return folder + "." + kind + "-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(GetTickCount());
}

// Removes what an earlier deployment left beside folder when it was stopped half-way.
void RemoveLeftovers(const std::string& folder) {
  WIN32_FIND_DATAA found;
  const std::string parent = ParentOf(folder);
  CFindFile search;
  if (!search.FindFirst((folder + ".*-*").c_str(), &found)) return;
  do {
    const std::string name = found.cFileName;
    if (IsFolder(found.dwFileAttributes) && !IsReparsePoint(found.dwFileAttributes))
      RemoveOwnTree((parent + "\\" + name).c_str());
  } while (search.FindNext(&found));
}

// The program at program, its manifest and its patch into the fresh folder to; FALSE at the first
// failure.
bool CopyTool(const std::string& program, const PatchInfo& patch, const std::string& to) {
  const std::string patchTo = to + "\\" + kPatchName;
  if (!CopyFileA(program.c_str(), (to + "\\" + kToolName).c_str(), TRUE) ||
      !CopyFileA(ManifestOf(patch.folder).c_str(), (to + "\\" + kManifestName).c_str(), TRUE) ||
      !CreateDirectoryA(patchTo.c_str(), nullptr))
    return false;
  // Shorter paths first: a folder is made before anything in it.
  std::vector<std::string> folders = patch.listing.folders;
  std::stable_sort(folders.begin(), folders.end(),
                   [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
  for (const std::string& folder : folders) {
    if (!CreateDirectoryA((patchTo + "\\" + folder).c_str(), nullptr)) return false;
  }
  for (const std::string& file : patch.listing.files) {
    if (!CopyFileA((patch.folder + "\\" + file).c_str(), (patchTo + "\\" + file).c_str(), TRUE))
      return false;
  }
  return true;
}

bool IsBusy(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
         error == ERROR_LOCK_VIOLATION;
}

}  // namespace

ExitCode DeployToolTo(const std::string& folder, const std::string& program, const PatchInfo& patch,
                      CConsoleOutput& out) {
  const std::string parent = ParentOf(folder);
  const DWORD parentAttributes = GetFileAttributesA(parent.c_str());
  if (!IsFullyQualifiedPath(folder.c_str()) || parent.empty() ||
      (parentAttributes != INVALID_FILE_ATTRIBUTES &&
       (!IsFolder(parentAttributes) || IsReparsePoint(parentAttributes)))) {
    out.Error("The tool cannot be kept in %s: it is not a plain folder.", folder.c_str());
    return kExitFatal;
  }
  if (_stricmp(ParentOf(program).c_str(), folder.c_str()) == 0) return kExitSuccess;
  CreateDirectoryA(parent.c_str(), nullptr);
  RemoveLeftovers(folder);

  const std::string fresh = FreshSibling(folder, "new");
  ManifestCheck check{};
  if (!CreateDirectoryA(fresh.c_str(), nullptr) || !CopyTool(program, patch, fresh) ||
      CheckPatchAgainstManifest((fresh + "\\" + kPatchName).c_str(),
                                (fresh + "\\" + kManifestName).c_str(),
                                &check) != kManifestMatches) {
    const DWORD error = GetLastError();
    RemoveOwnTree(fresh.c_str());
    out.Error("The tool and its patch could not be copied whole to %s: %s.", fresh.c_str(),
              ErrorInWords(error).c_str());
    return kExitFatal;
  }
  const std::string old = FreshSibling(folder, "old");
  const bool hadOne = GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (hadOne && !MoveFileExA(folder.c_str(), old.c_str(), 0)) {
    const DWORD error = GetLastError();
    RemoveOwnTree(fresh.c_str());
    out.Error("%s is in use and was left as it was (%s); try again later.", folder.c_str(),
              ErrorInWords(error).c_str());
    return IsBusy(error) ? kExitAnotherInstall : kExitFatal;
  }
  if (!MoveFileExA(fresh.c_str(), folder.c_str(), 0)) {
    const DWORD error = GetLastError();
    if (hadOne) MoveFileExA(old.c_str(), folder.c_str(), 0);
    RemoveOwnTree(fresh.c_str());
    out.Error("The new tool could not be put in %s: %s.", folder.c_str(),
              ErrorInWords(error).c_str());
    return kExitFatal;
  }
  // A file of the old one still held open stays until the next deployment removes it.
  if (hadOne) RemoveOwnTree(old.c_str());
  out.Line("Kept this program and patch %s in %s", patch.stamp.label, folder.c_str());
  return kExitSuccess;
}

// The entry lives in the registry's 64-bit view on 64-bit Windows, whichever package wrote it: a
// 32-bit program would otherwise land in WOW6432Node, and a later 64-bit package would add a
// second entry beside it. On 32-bit Windows KEY_WOW64_64KEY is ignored.
bool WriteUninstallEntry(const std::string& folder, const PatchInfo& patch) {
  // One left in the 32-bit view by an older 32-bit package would stay behind as a second entry.
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_32KEY, 0);  // absent is fine
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0,
                      KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  const std::string tool = "\"" + folder + "\\" + kToolName + "\"";
  // A number inventory rules can compare ("2.0"), as Programs and Features shows versions; the
  // label ("V2.0") stays in the display name's neighbour, the version file.
  const char* label = patch.stamp.label;
  const std::string version = (label[0] == 'V' || label[0] == 'v') ? label + 1 : label;
  SYSTEMTIME today;
  GetLocalTime(&today);
  char installDate[16];
  snprintf(installDate, sizeof installDate, "%04u%02u%02u", unsigned(today.wYear),
           unsigned(today.wMonth), unsigned(today.wDay));
  const std::pair<const char*, std::string> texts[] = {
      {"DisplayName", "QX48 device support for IAR Embedded Workbench for ARM"},
      {"DisplayVersion", version},
      {"InstallDate", installDate},
      {"Publisher", "QuorVantel"},
      {"InstallLocation", folder},
      {"DisplayIcon", folder + "\\" + kToolName},
      {"UninstallString", tool + " uninstall --all"},
      {"QuietUninstallString", tool + " uninstall --all --quiet"},
  };
  bool written = true;
  for (const auto& [name, text] : texts) {
    written &= RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              DWORD(text.size() + 1)) == ERROR_SUCCESS;
  }
  const DWORD one = 1;
  for (const char* name : {"NoModify", "NoRepair"}) {
    written &= RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                              sizeof one) == ERROR_SUCCESS;
  }
  // The kept folder's size in KiB, as Programs and Features reads EstimatedSize.
  ULONGLONG bytes = 0;
  ListFolderTree(folder.c_str(), [&bytes](const ListedEntry& entry) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (entry.path[0] != '\0' && (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        GetFileAttributesExA(entry.path, GetFileExInfoStandard, &data))
      bytes += (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return kListingGoOn;
  });
  const DWORD kilobytes = static_cast<DWORD>((bytes + 1023) / 1024);
  written &=
      RegSetValueExA(key, "EstimatedSize", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kilobytes),
                     sizeof kilobytes) == ERROR_SUCCESS;
  RegCloseKey(key);
  return written;
}

bool RemoveUninstallEntry() {
  bool removed = true;
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    const LSTATUS status = RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, view, 0);
    removed &= status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }
  return removed;
}

bool MatchUninstallEntryToInstallations() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key) !=
      ERROR_SUCCESS)
    return true;  // nothing deployed, nothing to match
  std::string oldest;
  for (const Installation& installation : RegistryInstallations()) {
    if (installation.stamp.state == 0) continue;
    if (oldest.empty() || CompareVersionNumbers(installation.stamp.label, oldest) < 0)
      oldest = installation.stamp.label;
  }
  if (oldest.empty()) {
    RegCloseKey(key);
    return RemoveUninstallEntry();
  }
  const std::string version = (oldest[0] == 'V' || oldest[0] == 'v') ? oldest.substr(1) : oldest;
  const bool set = RegSetValueExA(key, "DisplayVersion", 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(version.c_str()),
                                  DWORD(version.size() + 1)) == ERROR_SUCCESS;
  RegCloseKey(key);
  return set;
}

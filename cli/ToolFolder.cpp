#include "cli/ToolFolder.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "cli/ConsoleOutput.h"
#include "install/OwnFiles.h"
#include "install/PatchCheck.h"
#include "install/PatchManifest.h"
#include "install/PatchPaths.h"
#include "install/PathSafety.h"

namespace {

constexpr const char* kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QX48_EWARM_patch";
constexpr const char* kToolName = "qx48patch.exe";
constexpr const char* kPatchName = "QX48_EWARM_patch";
constexpr const char* kManifestName = "QX48_EWARM_patch.sha256";

std::string ModulePath() {
  char path[MAX_PATH] = "";
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::string() : std::string(path);
}

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
  HANDLE search = FindFirstFileA((folder + ".*-*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (IsFolder(found.dwFileAttributes) && !IsReparsePoint(found.dwFileAttributes))
      RemoveOwnTree((parent + "\\" + name).c_str());
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// This program, its manifest and its patch into the fresh folder to; FALSE at the first failure.
bool CopyTool(const PatchInfo& patch, const std::string& to) {
  const std::string patchTo = to + "\\" + kPatchName;
  if (!CopyFileA(ModulePath().c_str(), (to + "\\" + kToolName).c_str(), TRUE) ||
      !CopyFileA(static_cast<const char*>(GetPatchManifest()), (to + "\\" + kManifestName).c_str(),
                 TRUE) ||
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

ExitCode DeployToolTo(const std::string& folder, const PatchInfo& patch, CConsoleOutput& out) {
  const std::string parent = ParentOf(folder);
  const DWORD parentAttributes = GetFileAttributesA(parent.c_str());
  if (!IsFullyQualifiedPath(folder.c_str()) || parent.empty() ||
      (parentAttributes != INVALID_FILE_ATTRIBUTES &&
       (!IsFolder(parentAttributes) || IsReparsePoint(parentAttributes)))) {
    out.Error("The tool cannot be kept in %s: it is not a plain folder.", folder.c_str());
    return kExitFatal;
  }
  if (_stricmp(ParentOf(ModulePath()).c_str(), folder.c_str()) == 0) return kExitSuccess;
  CreateDirectoryA(parent.c_str(), nullptr);
  RemoveLeftovers(folder);

  const std::string fresh = FreshSibling(folder, "new");
  ManifestCheck check{};
  if (!CreateDirectoryA(fresh.c_str(), nullptr) || !CopyTool(patch, fresh) ||
      CheckPatchAgainstManifest((fresh + "\\" + kPatchName).c_str(),
                                (fresh + "\\" + kManifestName).c_str(),
                                &check) != kManifestMatches) {
    const DWORD error = GetLastError();
    RemoveOwnTree(fresh.c_str());
    out.Error("The tool and its patch could not be copied whole to %s (error %lu).", fresh.c_str(),
              static_cast<unsigned long>(error));
    return kExitFatal;
  }
  const std::string old = FreshSibling(folder, "old");
  const bool hadOne = GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (hadOne && !MoveFileExA(folder.c_str(), old.c_str(), 0)) {
    const DWORD error = GetLastError();
    RemoveOwnTree(fresh.c_str());
    out.Error("%s is in use and was left as it was (error %lu); try again later.", folder.c_str(),
              static_cast<unsigned long>(error));
    return IsBusy(error) ? kExitAnotherInstall : kExitFatal;
  }
  if (!MoveFileExA(fresh.c_str(), folder.c_str(), 0)) {
    const DWORD error = GetLastError();
    if (hadOne) MoveFileExA(old.c_str(), folder.c_str(), 0);
    RemoveOwnTree(fresh.c_str());
    out.Error("The new tool could not be put in %s (error %lu).", folder.c_str(),
              static_cast<unsigned long>(error));
    return kExitFatal;
  }
  // A file of the old one still held open stays until the next deployment removes it.
  if (hadOne) RemoveOwnTree(old.c_str());
  out.Line("Kept this program and patch %s in %s", patch.stamp.label, folder.c_str());
  return kExitSuccess;
}

bool WriteUninstallEntry(const std::string& folder, const PatchInfo& patch) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  const std::string tool = "\"" + folder + "\\" + kToolName + "\"";
  const std::pair<const char*, std::string> texts[] = {
      {"DisplayName", "QX48 device support for IAR Embedded Workbench for ARM"},
      {"DisplayVersion", patch.stamp.label},
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
  RegCloseKey(key);
  return written;
}

bool RemoveUninstallEntry() {
  const LSTATUS status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

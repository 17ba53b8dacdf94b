#include "install/FilesInUse.h"

#include <restartmanager.h>

#include <cstring>
#include <string>

#include "classlib/FileHandle.h"
#include "install/EntryNames.h"
#include "install/FolderListing.h"
#include "install/PatchPaths.h"
#include "install/PathSafety.h"

namespace {

// One try: TRUE when the file is held against deletion right now.
BOOL HeldNow(const char* path) {
  CFileHandle file;
  if (file.Create(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS)) {
    return FALSE;
  }
  return FailedAsHeld();
}

typedef DWORD(WINAPI* RmStartSessionFn)(DWORD*, DWORD, WCHAR*);
typedef DWORD(WINAPI* RmRegisterResourcesFn)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT,
                                             LPCWSTR*);
typedef DWORD(WINAPI* RmGetListFn)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);
typedef DWORD(WINAPI* RmEndSessionFn)(DWORD);

// The Restart Manager's functions, looked up once per question; any of them may be missing.
struct RestartManager {
  HMODULE library = LoadLibraryA("rstrtmgr.dll");
  RmStartSessionFn start = nullptr;
  RmRegisterResourcesFn registerResources = nullptr;
  RmGetListFn getList = nullptr;
  RmEndSessionFn end = nullptr;
  RestartManager() {
    if (library == nullptr) return;
    start = reinterpret_cast<RmStartSessionFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "RmStartSession")));
    registerResources = reinterpret_cast<RmRegisterResourcesFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "RmRegisterResources")));
    getList = reinterpret_cast<RmGetListFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "RmGetList")));
    end = reinterpret_cast<RmEndSessionFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "RmEndSession")));
  }
  ~RestartManager() {
    if (library != nullptr) FreeLibrary(library);
  }
  bool Ready() const {
    return start != nullptr && registerResources != nullptr && getList != nullptr && end != nullptr;
  }
};

}  // namespace

BOOL WaitToTryAgain(int tries, DWORD* waitedMs) {
  if (tries >= kInUseTries || *waitedMs + kInUseRetryMs > kInUseBudgetMs) return FALSE;
  Sleep(kInUseRetryMs);
  *waitedMs += kInUseRetryMs;
  return TRUE;
}

BOOL FailedAsHeld() {
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

BOOL IsFileInUse(const char* path, DWORD* waitedMs) {
  for (int tries = 1;; ++tries) {
    if (!HeldNow(path)) return FALSE;
    if (!WaitToTryAgain(tries, waitedMs)) return TRUE;
  }
}

BOOL FindFileInUse(const char* folder, DWORD* waitedMs, std::string* file) {
  BOOL found = FALSE;
  ListFolderTree(folder, [&](const ListedEntry& entry) {
    if (IsFolder(entry.attributes) || IsReparsePoint(entry.attributes) || entry.path[0] == '\0' ||
        !IsFileInUse(entry.path, waitedMs)) {
      return kListingGoOn;
    }
    *file = entry.path;
    found = TRUE;
    return kListingStop;
  });
  return found;
}

BOOL FindProgramHolding(const char* path, std::string* program) {
  program->clear();
  RestartManager manager;
  WCHAR widePath[MAX_PATH];
  if (!manager.Ready() || MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH) == 0)
    return FALSE;
  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  if (manager.start(&session, 0, key) != ERROR_SUCCESS) return FALSE;
  LPCWSTR files[] = {widePath};
  RM_PROCESS_INFO holders[4];
  UINT needed = 0;  // more holders than fit give ERROR_MORE_DATA and no names: none is told then
  UINT count = sizeof holders / sizeof holders[0];
  DWORD reasons = 0;
  const DWORD listed =
      manager.registerResources(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS
          ? manager.getList(session, &needed, &count, holders, &reasons)
          : ERROR_INVALID_HANDLE;
  manager.end(session);
  if (listed != ERROR_SUCCESS || count == 0) return FALSE;
  holders[0].strAppName[CCH_RM_MAX_APP_NAME] = L'\0';
  char name[kProgramNameSize];
  if (WideCharToMultiByte(CP_ACP, 0, holders[0].strAppName, -1, name, sizeof name, nullptr,
                          nullptr) <= 1)
    return FALSE;
  *program = name;
  return TRUE;
}

namespace {

// TRUE when a folder of relative, a path below the configuration folder (the last component
// left out), is a vendor folder: the outer one is looked at whole.
BOOL BelowVendorFolder(const std::string& relative) {
  for (size_t start = 0, cut; (cut = relative.find('\\', start)) != std::string::npos;
       start = cut + 1) {
    if (IsVendorFolder(relative.substr(start, cut - start).c_str())) return TRUE;
  }
  return FALSE;
}

}  // namespace

BOOL FindFileInUseInVendorFolders(const char* config, const TreeListing& patch, DWORD* waitedMs,
                                  std::string* file) {
  char path[MAX_PATH];
  for (const std::string& folder : patch.folders) {
    if (!IsVendorFolder(folder.c_str()) || BelowVendorFolder(folder) ||
        !JoinItemPath(path, config, folder.c_str(), MAX_PATH - 1) ||
        !IsFolder(GetFileAttributesA(path))) {
      continue;
    }
    if (FindFileInUse(path, waitedMs, file)) return TRUE;
  }
  if (JoinItemPath(path, config, kVersionFileName, MAX_PATH - 1) && IsFileInUse(path, waitedMs)) {
    *file = path;
    return TRUE;
  }
  return FALSE;
}

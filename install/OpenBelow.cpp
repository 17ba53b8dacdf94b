#include "install/OpenBelow.h"

#include <winternl.h>

namespace {

constexpr ULONG kOpenForBackup = 0x00004000;  // FILE_OPEN_FOR_BACKUP_INTENT, as CreateFileA's
                                              // FILE_FLAG_BACKUP_SEMANTICS asks for it
constexpr int kMaxNameChars = MAX_PATH;

}  // namespace

HANDLE OpenBelow(HANDLE folder, const char* name, DWORD access, DWORD share, DWORD disposition,
                 BOOL folderEntry) {
  WCHAR wide[kMaxNameChars];
  const int chars = MultiByteToWideChar(CP_ACP, 0, name, -1, wide, kMaxNameChars);
  if (chars <= 1) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  return OpenBelowW(folder, wide, static_cast<size_t>(chars - 1), access, share, disposition,
                    folderEntry);
}

HANDLE OpenBelowW(HANDLE folder, const WCHAR* name, size_t chars, DWORD access, DWORD share,
                  DWORD disposition, BOOL folderEntry) {
  if (chars == 0 || chars >= kMaxNameChars) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  UNICODE_STRING text;
  text.Buffer = const_cast<WCHAR*>(name);
  text.Length = static_cast<USHORT>(chars * sizeof(WCHAR));
  text.MaximumLength = text.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK status = {};
  HANDLE opened = nullptr;
  const ULONG options = FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT | kOpenForBackup |
                        (folderEntry ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE);
  const NTSTATUS result = NtCreateFile(
      &opened, access | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, share,
      disposition == CREATE_NEW ? FILE_CREATE : FILE_OPEN, options, nullptr, 0);
  if (result < 0) {
    SetLastError(RtlNtStatusToDosError(result));
    return INVALID_HANDLE_VALUE;
  }
  return opened;
}

BOOL RenameBelow(HANDLE item, HANDLE folder, const char* name, BOOL replace) {
  // FILE_RENAME_INFORMATION with room for the name after it, aligned as the structure (it holds
  // a handle, at another offset in a 32-bit program than in a 64-bit one).
  alignas(FILE_RENAME_INFORMATION) char
      buffer[sizeof(FILE_RENAME_INFORMATION) + kMaxNameChars * sizeof(WCHAR)] = {};
  FILE_RENAME_INFORMATION* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer);
  const int chars = MultiByteToWideChar(CP_ACP, 0, name, -1, rename->FileName, kMaxNameChars);
  if (chars <= 1) {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  rename->ReplaceIfExists = replace ? TRUE : FALSE;
  rename->RootDirectory = folder;
  rename->FileNameLength = static_cast<ULONG>((chars - 1) * sizeof(WCHAR));
  IO_STATUS_BLOCK status = {};
  const NTSTATUS result =
      NtSetInformationFile(item, &status, rename, sizeof buffer, FileRenameInformation);
  if (result < 0) {
    SetLastError(RtlNtStatusToDosError(result));
    return FALSE;
  }
  return TRUE;
}

BOOL ListBelow(HANDLE folder, std::vector<std::pair<std::wstring, DWORD>>* entries) {
  entries->clear();
  alignas(LARGE_INTEGER) char buffer[16 * 1024];
  FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
  while (GetFileInformationByHandleEx(folder, kind, buffer, sizeof buffer)) {
    kind = FileIdBothDirectoryInfo;
    for (size_t at = 0;;) {
      const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + at);
      const std::wstring name(info->FileName, info->FileNameLength / sizeof(WCHAR));
      if (name != L"." && name != L"..") entries->emplace_back(name, info->FileAttributes);
      if (info->NextEntryOffset == 0) break;
      at += info->NextEntryOffset;
    }
  }
  return GetLastError() == ERROR_NO_MORE_FILES;
}

#include "app/BrowseForInstallation.h"

#include <shlobj.h>

#include <cstring>

#include "app/InstallationTable.h"
#include "install/AddedFolder.h"
#include "install/ProbeInstalledPatch.h"

namespace {

void ShowInvalidPath(CWnd* dialog, LPCTSTR path) {
  CString text;
  text.Format("Path \"%s\"\r\n is not valid IAR EWARM path!", path);
  ::MessageBoxA(dialog->GetSafeHwnd(), text, "Message", MB_OK);
}

}  // namespace

BOOL AddInstallationFolder(CWnd* dialog, LPCTSTR chosenFolder) {
  InstallationTable& table = TheInstallationTable();
  const int count = table.count.load();
  if (count >= kMaxInstallations) return FALSE;

  char path[MAX_PATH];
  if (CheckAddedFolder(chosenFolder, path) != AddedFolderCheck::kAccepted) {
    ShowInvalidPath(dialog, path);
    return FALSE;
  }

  InstallationRow& row = table.rows[count];
  row.present = 1;
  row.checked = 1;
  snprintf(row.displayName, sizeof row.displayName, "%s", path);
  snprintf(row.installPath, sizeof row.installPath, "%s", path);
  ProbeInstalledPatch(&row.versionStamp, row.installPath);
  // Only a complete row is counted: a running worker may read it as soon as it is.
  table.count = count + 1;
  return TRUE;
}

BOOL BrowseForInstallation(CWnd* dialog) {
  char displayName[MAX_PATH] = "";
  BROWSEINFOA browse = {};
  browse.hwndOwner = dialog->GetSafeHwnd();
  browse.pidlRoot = NULL;
  browse.pszDisplayName = displayName;  // filled by the shell, not used
  browse.lpszTitle = "Select IAR EWARM Path";
  // The user may also type a path into the browser's edit box.
  browse.ulFlags = BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_STATUSTEXT;

  LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
  char path[MAX_PATH] = "";
  // SHGetPathFromIDListA fails for a cancelled browser (no item) and for a virtual folder.
  const BOOL isFolder = chosen != NULL && SHGetPathFromIDListA(chosen, path);
  if (chosen != NULL) CoTaskMemFree(chosen);
  if (!isFolder) return FALSE;
  return AddInstallationFolder(dialog, path);
}

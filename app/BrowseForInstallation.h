#pragma once
#include "classlib/afxwin.h"

// Asks the user for an installation folder with the shell's folder browser and appends it to
// the installation table when it is one. TRUE when a row was appended.
BOOL BrowseForInstallation(CWnd* dialog);

// Appends the chosen folder as a checked row when it is an EWARM installation; otherwise tells
// the user it is not. Shared by the folder browser and by folders dropped on the list.
BOOL AddInstallationFolder(CWnd* dialog, LPCTSTR chosenFolder);

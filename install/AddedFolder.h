#pragma once
#include "classlib/Platform.h"

// The check a folder named by hand passes before it counts as an installation: the dialog's
// folder browser and dropped folders, and the console tool's --target.
enum class AddedFolderCheck {
  kAccepted,      // path holds the folder with a trailing backslash
  kTooLong,       // no room for the trailing backslash; path holds the folder cut to MAX_PATH - 1
  kNotToolchain,  // no arm\config below it; path holds the folder with a trailing backslash
};

// Checks chosen and writes into path (MAX_PATH bytes) the text to use, or to show when it is
// refused. An empty or null chosen folder is not a toolchain folder.
AddedFolderCheck CheckAddedFolder(const char* chosen, char* path);

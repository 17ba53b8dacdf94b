#pragma once
#include <windows.h>

#include "app/InstallationTable.h"

// Starts one install run on a worker thread: every checked row, in table order.
// When no worker can be created, `running` is cleared again and the status line says so.
void StartInstallRun(InstallationTable& table, BOOL clearOldPatch);

// The worker: installs into each checked row, then clears `running` and posts the final text.
DWORD WINAPI InstallWorker(LPVOID table);

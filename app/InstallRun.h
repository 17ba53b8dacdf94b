#pragma once
#include <windows.h>

#include <string>

#include "app/InstallationTable.h"
#include "install/InstallOptions.h"

// Starts one install run on a worker thread: every checked row, in table order, from the patch in
// patchFolder, with the options of the command that started it.
// When no worker can be created, `running` is cleared again and the status line says so.
void StartInstallRun(InstallationTable& table, const std::string& patchFolder,
                     InstallOptions options);

// The worker: installs into each checked row, then clears `running` and posts the final text.
// Its parameter is the run's request, which it takes over (see InstallRun.cpp).
DWORD WINAPI InstallWorker(LPVOID request);

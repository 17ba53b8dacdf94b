#pragma once
#include "install/InstallEvents.h"
#include "install/InstallOptions.h"
#include "install/PatchCheck.h"

// One install run over a list of installations, the same for the dialog's worker and the console
// tool: both hand it the patch they inspected and only format the events it posts.

// The installations of a run, asked for one at a time, so that a list may grow while the run is
// under way and an entry is read only when the run reaches it. next returns an installation
// folder that stays valid until it is called again, or null when there are no more.
struct InstallationSource {
  const char* (*next)(void* context);
  void* context;
};

// Installs the patch into each installation in turn (InstallPatch), posting its kFileStarted
// events, then kInstallationFinished for each and kRunFinished at the end. inspected is the patch
// as the caller found it with InspectPatch, or null: then the patch in patchFolder is inspected
// here, as the run's first step (and counted in its time). A patch that is not usable is
// installed nowhere: the run ends at once with patchUsable FALSE.
RunTotals RunPatchInstall(const std::string& patchFolder, const PatchInfo* inspected,
                          InstallationSource installations, InstallOptions options,
                          InstallEventSink events);

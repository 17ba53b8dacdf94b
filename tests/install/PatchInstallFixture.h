#pragma once
// The copy tests' common ground: a throw-away installation under C:\ of the test prefix, the patch
// folder beside this program, and the Unix-side fixture of links (make-link-fixture.sh).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "install/PatchPaths.h"
#include "install/InstallIntoInstallation.h"
#include "tests/install/TreeFiles.h"

inline const std::string kRoot = "C:\\qx48-copy-test";
inline const std::string kInstall = kRoot + "\\EW";
inline const std::string kConfig = kInstall + "\\arm\\config";

// A file's event as one line, "Copy <file below the patch> to <installation>".
inline std::string AnnouncedLine(const InstallEvent& event) {
  return std::string("Copy ") + event.file + " to " + event.installation;
}

// One installation folder and the events of its install, as the install worker hands them over.
struct Installation {
  std::string folder;
  std::vector<std::string> announced;  // one line per kFileStarted
  explicit Installation(const std::string& installFolder) : folder(installFolder) {}
  static void Record(void* self, const InstallEvent& event) {
    if (event.kind == kFileStarted)
      static_cast<Installation*>(self)->announced.push_back(AnnouncedLine(event));
  }
  InstallEventSink Sink() { return InstallEventSink{Record, this}; }
  int Install(int clearOldPatch) {
    return InstallPatch(PatchBesideThisProgram(), folder.c_str(),
                        InstallOptions{clearOldPatch != 0}, Sink());
  }
  // The install's walk of the patch beside this program into kConfig, without a journal, with
  // the hook of the test's choice; returns the walk as it ended.
  FolderWalk WalkWith(CopyItemHook hook) {
    const PatchInfo patch = PatchBesideThisProgram();
    CInstallIntoInstallation unit(patch, folder.c_str(), InstallOptions{FALSE}, Sink(), nullptr);
    return unit.WalkWithoutJournal(kConfig.c_str(), hook);
  }
  std::string LastStatus() { return announced.empty() ? "<none>" : announced.back(); }
};

class PatchInstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveTree(kRoot);
    RemoveTree(PatchFolder());
    ASSERT_FALSE(Exists(PatchFolder())) << "a patch folder from an earlier run is in the way";
  }
  void TearDown() override {
    RemoveTree(kRoot);
    RemoveTree(PatchFolder());
  }
};

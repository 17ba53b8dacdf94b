#pragma once
// The copy tests' common ground: a throw-away installation under C:\ of the test prefix, the patch
// folder beside this program, and the Unix-side fixture of links (make-link-fixture.sh).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "app/StatusMailbox.h"
#include "install/PatchInstall.h"
#include "tests/install/TreeFiles.h"

inline const std::string kRoot = "C:\\qx48-copy-test";
inline const std::string kInstall = kRoot + "\\EW";
inline const std::string kConfig = kInstall + "\\arm\\config";

inline std::string PatchFolder() {
  return Join(FolderOfThisProgram(), "QX48_EWARM_patch");
}
inline std::string Fixture(const std::string& name) {
  return Join(Join(FolderOfThisProgram(), "link-fixture"), name);
}

inline void PostToMailbox(void* mailbox, const char* line) {
  PostStatus(static_cast<StatusMailbox*>(mailbox), "%s", line);
}

// One installation folder and the run's mailbox, as the install worker hands them over.
struct Installation {
  std::string folder;
  StatusMailbox mailbox{};
  explicit Installation(const std::string& installFolder) : folder(installFolder) {}
  StatusSink Sink() { return StatusSink{PostToMailbox, &mailbox}; }
  int Install(int clearOldPatch) {
    return InstallPatch(folder.c_str(), InstallOptions{clearOldPatch != 0}, Sink());
  }
  // A job set up as CopyPatchTree sets it up, with the hook of the test's choice.
  void PrepareJob(PatchInstallJob* job, const std::string& patchRoot, CopyItemHook hook) {
    strcpy(job->patchRoot, patchRoot.c_str());
    job->installFolder = folder.c_str();
    job->status = Sink();
    job->walk.hook = hook;
    job->walk.context = job;
  }
  std::string LastStatus() {
    char text[kStatusTextSize];
    return TakeStatus(&mailbox, text) ? std::string(text) : std::string("<none>");
  }
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

// An install into one installation lands whole or not at all: faults made with real files and
// real second processes, and the whole configuration tree compared before and after.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "install/JournalRollback.h"
#include "install/FolderWalk.h"
#include "install/InstallIntoInstallation.h"
#include "tests/install/TestProcesses.h"
#include "tests/install/InstallTrees.h"
#include "tests/install/TreeFiles.h"

namespace {

const std::string kRoot = "C:\\qx48-transaction-test";
const std::string kInstall = kRoot + "\\EW";
const std::string kConfig = kInstall + "\\arm\\config";

Tree NewTree(bool clearOldPatch) {
  return NewTreeOf(ReadTree(kConfig), clearOldPatch);
}

// Every status line of the install, and what a test wants done as a line arrives.
std::vector<std::string> g_lines;
std::function<void(const std::string&)> g_onLine;

void RecordLine(void*, const InstallEvent& event) {
  if (event.kind != kFileStarted) return;
  g_lines.push_back(std::string("Copy ") + event.file + " to " + event.installation);
  if (g_onLine) g_onLine(g_lines.back());
}

InstallResult Install(bool clearOldPatch) {
  InstallResult result;
  g_lines.clear();
  InstallPatch(PatchBesideThisProgram(), kInstall.c_str(), InstallOptions{clearOldPatch},
               InstallEventSink{RecordLine, nullptr}, &result);
  g_onLine = nullptr;
  return result;
}

int CopyLines() {
  int n = 0;
  for (const std::string& line : g_lines) n += line.rfind("Copy ", 0) == 0 ? 1 : 0;
  return n;
}

class InstallTransactionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveTree(kRoot);
    RemoveTree(PatchFolder());
    RemoveTree(PatchFolder() + "-away");
    WriteTree(PatchFolder(), kPatch);
    WriteTree(kConfig, kBefore);
  }
  void TearDown() override {
    g_onLine = nullptr;
    RemoveTree(kRoot);
    RemoveTree(PatchFolder());
    RemoveTree(PatchFolder() + "-away");
  }
};

DWORD WINAPI CloseAfter300Ms(LPVOID handle) {
  Sleep(300);
  CloseHandle(static_cast<HANDLE>(handle));
  return 0;
}

// Locked for 300 ms: before the run (x.ddf, whose folder the patch replaces whole), or only as its
// line arrives (a.i79, replaced file by file), when the run has already taken longer than the
// budget for waiting (which counts the waiting, not the install's own time).
TEST_F(InstallTransactionTest, AFileLockedForAMomentIsWaitedFor) {
  for (const bool late : {false, true}) {
    SCOPED_TRACE(late ? "locked 2.1 s into the run" : "locked before the run");
    SetUp();
    const std::string name = late ? "a.i79" : "x.ddf";
    const std::string path =
        Join(kConfig, late ? "devices\\QuorVantel\\a.i79" : "debugger\\QuorVantel\\x.ddf");
    HANDLE releaser = nullptr;
    const auto lock = [&releaser, &path] {
      HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
      ASSERT_NE(INVALID_HANDLE_VALUE, file);
      releaser = CreateThread(nullptr, 0, CloseAfter300Ms, file, 0, nullptr);
    };
    if (late) {
      g_onLine = [&lock, &name](const std::string& line) {
        if (line.find(name) == std::string::npos) return;
        Sleep(2100);
        lock();
      };
    } else {
      lock();
    }
    const Tree expected = NewTree(false);
    const DWORD start = GetTickCount();
    const InstallResult result = Install(false);
    std::printf("a file locked for 300 ms: the install ended after %lu ms\n",
                static_cast<unsigned long>(GetTickCount() - start));
    ASSERT_NE(nullptr, releaser);
    WaitForSingleObject(releaser, 10000);
    CloseHandle(releaser);
    EXPECT_EQ(kInstallDone, result.outcome) << result.reason;
    EXPECT_EQ(expected, WithoutKeptGeneration(ReadTree(kConfig)));
  }
}

// --- A finished install ----------------------------------------------------------------------

TEST_F(InstallTransactionTest, AFinishedInstallKeepsOneGenerationOfWhatItReplaced) {
  const Tree expected = NewTree(true);
  ASSERT_EQ(kInstallDone, Install(true).outcome);
  EXPECT_EQ(expected, WithoutKeptGeneration(ReadTree(kConfig)));
  EXPECT_FALSE(Exists(Join(kConfig, kUndoArea)));
  // The old vendor folders, moved aside whole, and the replaced version file are kept.
  std::vector<std::string> kept;
  for (const auto& [path, content] : ReadTree(Join(kConfig, kKeptGeneration))) {
    if (content != kFolder && path != kJournalName) kept.push_back(content);
  }
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ((std::vector<std::string>{"V1", "old", "old a", "old f", "old x"}), kept);

  // The next install replaces that generation: only what it replaced itself is kept.
  ASSERT_EQ(kInstallDone, Install(false).outcome);
  std::vector<std::string> second;
  for (const auto& [path, content] : ReadTree(Join(kConfig, kKeptGeneration))) {
    if (content != kFolder && path != kJournalName) second.push_back(content);
  }
  EXPECT_EQ(kPatch.size(), second.size()) << "every patch file was replaced by itself";
  EXPECT_EQ(expected, WithoutKeptGeneration(ReadTree(kConfig)));
}

// An install that had to make arm\config, finished or killed, is undone to an installation without
// it: the unit lets go of the folders it holds before taking back the ones the install made.
TEST_F(InstallTransactionTest, UndoingAnInstallThatMadeArmConfigTakesItBack) {
  for (int killAt : {0, 3}) {
    SCOPED_TRACE(killAt == 0 ? "finished" : "killed at its third file");
    SetUp();
    RemoveTree(kInstall + "\\arm");
    if (killAt == 0) {
      ASSERT_EQ(kInstallDone, Install(true).outcome);
    } else {
      ASSERT_EQ(kKilledExitCode, InstallAndKillAtLine(kInstall, killAt));
    }
    const PatchInfo patch = PatchBesideThisProgram();
    CInstallIntoInstallation unit(patch, kInstall.c_str(), InstallOptions{TRUE},
                                  InstallEventSink{}, nullptr);
    EXPECT_EQ(0, unit.Restore()) << unit.Failure().why;
    EXPECT_EQ(killAt == 0, unit.PutBackKeptGeneration());
    EXPECT_FALSE(Exists(kInstall + "\\arm"));
  }
}

// At its line a file holds its old bytes, or nothing where its folder, replaced whole, was moved
// aside already: no byte of its copy is written yet.
TEST_F(InstallTransactionTest, EachCopyLineArrivesBeforeItsFileIsCopied) {
  std::vector<std::string> copied;
  g_onLine = [&copied](const std::string& line) {
    const size_t to = line.rfind(" to ");
    if (line.rfind("Copy ", 0) != 0 || to == std::string::npos) return;
    const std::string relative = line.substr(5, to - 5);
    const auto old = kBefore.find(relative);
    const std::string path = Join(kConfig, relative);
    const std::string bytes = ReadFileBytes(path);
    if ((bytes != "<missing>" && (old == kBefore.end() || bytes != old->second)) ||
        Exists(path + kTemporarySuffix)) {
      copied.push_back(relative);
    }
  };
  const Tree expected = NewTree(false);
  ASSERT_EQ(kInstallDone, Install(false).outcome);
  EXPECT_EQ(static_cast<int>(kPatch.size()), CopyLines());
  EXPECT_EQ(std::vector<std::string>{}, copied) << "files already written when their line came";
  EXPECT_EQ(expected, WithoutKeptGeneration(ReadTree(kConfig)));
}

// The file is written into its own name, so a stray file of the temporary's name is in nobody's
// way, and not the install's to take.
TEST_F(InstallTransactionTest, AStrayFileOfTheTemporarysNameIsNotInTheWay) {
  const std::string stray =
      Join(kConfig, std::string("debugger\\QuorVantel\\x.ddf") + kTemporarySuffix);
  WriteFileBytes(stray, "stray");
  const Tree expected = NewTree(false);
  EXPECT_EQ(kInstallDone, Install(false).outcome);
  EXPECT_EQ(expected, WithoutKeptGeneration(ReadTree(kConfig)));
}

// Hundreds of replaced files in seven folders: as backups they fill more than one folder of the
// undo area; where each folder also holds a file of the user's, the install replaces them file
// by file, else it moves each folder aside whole. A fault late in the run, or a later restore,
// still puts every file back. A file held by another program is found by the open that would
// move it, or its folder, aside.
TEST_F(InstallTransactionTest, HundredsOfReplacedFilesAreAllPutBack) {
  constexpr int kFiles = 300;
  HANDLE held = INVALID_HANDLE_VALUE;
  const auto hold = [&held](const std::string& file) {
    held = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                       nullptr);
  };
  const struct {
    const char* what;
    bool filesOfTheUsers;  // a file in each folder the patch does not have
    std::function<void(const std::string&)> fault;  // on the file, before the run or at its line
    bool atLine;  // the 290th file, as its line arrives; else file 6, before the run
    InstallOutcome outcome;
    const char* reasonHas;
  } kFaults[] = {
      {"file by file: found read-only", true,
       [](const std::string& file) { SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY); },
       true, kInstallRolledBack, "could not be installed"},
      {"file by file: held without sharing deletion", true, hold, true, kInstallFileInUse,
       ".i79 is in use"},
      {"whole folders: its name taken as its line arrives", false,
       [](const std::string& file) { WriteFileBytes(file, "planted"); }, true, kInstallRolledBack,
       "could not be installed"},
      {"whole folders: held without sharing deletion", false, hold, false, kInstallFileInUse,
       "6.i79 is in use"},
  };
  for (const auto& fault : kFaults) {
    SCOPED_TRACE(fault.what);
    Tree patch, before;
    for (int i = 0; i < kFiles; ++i) {
      const std::string folder = "devices\\QuorVantel\\f" + std::to_string(i % 7);
      patch[folder + "\\" + std::to_string(i) + ".i79"] = "new " + std::to_string(i);
      before[folder + "\\" + std::to_string(i) + ".i79"] = "old " + std::to_string(i);
      if (fault.filesOfTheUsers) before[folder + "\\mine.txt"] = "mine";
    }
    RemoveTree(kRoot);
    RemoveTree(PatchFolder());
    WriteTree(PatchFolder(), patch);
    WriteTree(kConfig, before);
    const Tree original = ReadTree(kConfig);

    std::string faulty;
    if (fault.atLine) {
      g_onLine = [&faulty, &fault](const std::string& line) {
        const size_t to = line.rfind(" to ");
        if (CopyLines() != 290 || to == std::string::npos) return;
        faulty = Join(kConfig, line.substr(5, to - 5));
        fault.fault(faulty);
      };
    } else {
      faulty = Join(kConfig, "devices\\QuorVantel\\f6\\6.i79");
      fault.fault(faulty);
    }
    const InstallResult failed = Install(false);
    ASSERT_FALSE(faulty.empty());
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    held = INVALID_HANDLE_VALUE;
    SetFileAttributesA(faulty.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(fault.outcome, failed.outcome) << failed.reason;
    EXPECT_NE(std::string(failed.reason).find(fault.reasonHas), std::string::npos)
        << failed.reason;
    EXPECT_EQ(original, ReadTree(kConfig));

    ASSERT_EQ(kInstallDone, Install(false).outcome);
    Tree arrived = original;
    for (const auto& [path, content] : patch) arrived[path] = content;
    EXPECT_EQ(arrived, WithoutKeptGeneration(ReadTree(kConfig)));
    EXPECT_TRUE(Undone(RestorePreviousGeneration(kConfig.c_str())));
    EXPECT_EQ(original, ReadTree(kConfig)) << "the kept generation restored every file";
  }
}

// --- A killed run ----------------------------------------------------------------------------

bool HoldsTemporary(const Tree& tree) {
  for (const auto& entry : tree) {
    if (entry.first.find(kTemporarySuffix) != std::string::npos) return true;
  }
  return false;
}

TEST_F(InstallTransactionTest, ARunKilledMidwayIsUndoneByTheNextRun) {
  for (int killAt : {1, 3, static_cast<int>(kPatch.size())}) {
    SCOPED_TRACE("killed at Copy line " + std::to_string(killAt));
    SetUp();
    const Tree before = ReadTree(kConfig);
    ASSERT_EQ(kKilledExitCode, InstallAndKillAtLine(kInstall, killAt));
    EXPECT_TRUE(Exists(Join(kConfig, kUndoArea))) << "killed with its work half done";
    EXPECT_TRUE(Undone(RecoverUndoArea(kConfig.c_str())));
    EXPECT_EQ(before, ReadTree(kConfig));

    // Killed again, and this time the next install goes on: it ends exactly the new patch.
    ASSERT_EQ(kKilledExitCode, InstallAndKillAtLine(kInstall, killAt));
    EXPECT_EQ(kInstallDone, Install(true).outcome);
    const Tree after = ReadTree(kConfig);
    EXPECT_FALSE(HoldsTemporary(after));
    EXPECT_EQ(0u, after.count(kUndoArea));
    EXPECT_EQ(NewTreeOf(before, true), WithoutKeptGeneration(after));
  }
}

// Killed while it puts the kept generation back: early, midway and late. Whatever runs next, a
// restore or an install, ends exactly old or exactly new.
TEST_F(InstallTransactionTest, ARestoreKilledMidwayIsFinishedByTheNextRun) {
  for (int killAt : {1, 6, 11}) {
    SCOPED_TRACE("killed after undoing step " + std::to_string(killAt));
    SetUp();
    const Tree before = ReadTree(kConfig);
    ASSERT_EQ(kInstallDone, Install(true).outcome);
    const Tree installed = ReadTree(kConfig);
    ASSERT_EQ(kKilledExitCode, RestoreAndKillAtStep(kConfig, killAt));
    EXPECT_NE(installed, ReadTree(kConfig)) << "killed before it had begun";
    EXPECT_TRUE(Undone(RestorePreviousGeneration(kConfig.c_str())));
    EXPECT_EQ(before, ReadTree(kConfig));

    ASSERT_EQ(kInstallDone, Install(true).outcome);
    ASSERT_EQ(kKilledExitCode, RestoreAndKillAtStep(kConfig, killAt));
    EXPECT_EQ(kInstallDone, Install(true).outcome);
    EXPECT_EQ(NewTreeOf(before, true), WithoutKeptGeneration(ReadTree(kConfig)));
  }
}

// Killed at the edges of a run: right after making its undo area, and after marking its journal
// finished but before keeping it as the previous generation.
TEST_F(InstallTransactionTest, ALeftoverUndoAreaIsFinishedAsItsJournalSays) {
  const std::string undo = Join(kConfig, kUndoArea), previous = Join(kConfig, kKeptGeneration);
  const Tree before = ReadTree(kConfig);
  WriteTree(undo, {});
  EXPECT_TRUE(Undone(RecoverUndoArea(kConfig.c_str())));
  EXPECT_EQ(before, ReadTree(kConfig)) << "an undo area without a journal had done nothing";

  ASSERT_EQ(kInstallDone, Install(true).outcome);
  const Tree installed = ReadTree(kConfig);
  ASSERT_TRUE(MoveFileA(previous.c_str(), undo.c_str()));
  EXPECT_TRUE(Undone(RecoverUndoArea(kConfig.c_str())));
  EXPECT_EQ(installed, ReadTree(kConfig))
      << "a finished install stays, its area kept as the previous one";
}

// --- Hard links and a dry walk -----------------------------------------------------------------

TEST_F(InstallTransactionTest, AHardLinkIntoTheConfigurationIsReplacedNeverWrittenThrough) {
  const char* const installations[] = {"EW-hardlink-merge", "EW-hardlink-clear"};
  ASSERT_EQ("keep", ReadFileBytes(Fixture("outside-hard\\keep.i79")))
      << "run through CTest (install_link_fixture)";
  RemoveTree(PatchFolder());
  WriteTree(PatchFolder(), {{"devices\\QuorVantel\\QX48.i79", "new"}});
  for (int clear = 0; clear < 2; ++clear) {
    SCOPED_TRACE(installations[clear]);
    InstallResult result;
    InstallPatch(PatchBesideThisProgram(), Fixture(installations[clear]).c_str(),
                 InstallOptions{clear != 0},
                 InstallEventSink{}, &result);
    EXPECT_EQ(kInstallDone, result.outcome) << result.reason;
    EXPECT_EQ("new", ReadFileBytes(Fixture(std::string(installations[clear]) +
                                           "\\arm\\config\\devices\\QuorVantel\\QX48.i79")));
    EXPECT_EQ("keep", ReadFileBytes(Fixture("outside-hard\\keep.i79")));
  }
}

std::vector<std::string> g_seen;
void NoteEntry(FolderWalk*, const char*, const char* destination, BOOL) {
  g_seen.push_back(destination);
}

TEST_F(InstallTransactionTest, ADryWalkSeesEveryEntryAndTouchesNothing) {
  RemoveTree(kRoot);
  WriteTree(kConfig, {{"devices\\QuorVantel\\a.i79", "old a"}});
  const Tree before = ReadTree(kRoot);
  FolderWalk walk{};
  walk.dryRun = TRUE;
  walk.hook = NoteEntry;
  g_seen.clear();
  CopyFolderTree(PatchFolder().c_str(), kConfig.c_str(), &walk);
  EXPECT_EQ(0, walk.errorCount);
  EXPECT_EQ(before, ReadTree(kRoot));
  std::sort(g_seen.begin(), g_seen.end());
  std::vector<std::string> expected;
  for (const auto& [path, content] : ReadTree(PatchFolder()))
    expected.push_back(Join(kConfig, path));
  EXPECT_EQ(expected, g_seen);
}

}  // namespace

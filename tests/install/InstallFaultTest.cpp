// Every way an install or a restore can fail, or be turned against the machine, in one table at
// the level of the one install run both front ends call: faults of the files, and what another
// user may plant in an installation's configuration folder (an undo area or a kept generation of
// the install's own names, journals naming other places, links on the way) or slip into the patch
// after it was checked. Each row runs over real files and compares a victim folder outside and the
// whole configuration tree before and after: nothing may change, and no run may report success.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "install/InstallIntoInstallation.h"
#include "install/JournalRollback.h"
#include "install/PatchRun.h"
#include "tests/install/InstallTrees.h"
#include "tests/install/TestProcesses.h"
#include "tests/install/TreeFiles.h"
#include "tests/support/EveryoneWrites.h"
#include "tests/support/Sha256Text.h"

namespace {

const std::string kRoot = "C:\\qx48-fault";
const std::string kInstall = kRoot + "\\EW";
const std::string kConfig = kInstall + "\\arm\\config";
const std::string kVictim = "C:\\qx48-victim";
const std::string kOtherConfig = kRoot + "\\EW2\\arm\\config";
const Tree kVictimTree{
    {"secret.txt", "secret"}, {"dir", kFolder}, {"dir\\inner.txt", "inner"}, {"empty", kFolder}};

std::string Area(const std::string& config = kConfig) {
  return Join(config, kUndoArea);
}
std::string Kept(const std::string& config = kConfig) {
  return Join(config, kKeptGeneration);
}

// A journal of the layout written now: its header and the lines.
std::string Journal(const std::vector<std::string>& lines) {
  std::string text = std::string(kJournalHeader) + "\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// An area of the install's name, made as another user would (no protection of its own), holding
// a journal and a backup.
void PlantArea(const std::string& area, const std::string& journal) {
  WriteTree(area, {{kJournalName, journal}, {"0\\0.bak", "planted backup"}});
}

// The patch's manifest as the run checks it; a row then changes what lies in the patch.
void WriteManifest() {
  std::string manifest;
  for (const auto& [path, content] : kPatch)
    manifest += Sha256Of(content) + "  " + std::to_string(content.size()) + "  " + path + "\n";
  WriteFileBytes(PatchFolder() + ".sha256", manifest);
}

// What a row runs: an install, a restore of the kept generation, or the patch taken out.
enum Act { kInstallIt, kRestoreIt, kTakeOut };

struct FaultRow {
  const char* what;
  std::function<void()> make;  // once the installation is written, before the snapshot
  InstallOutcome outcome;      // for a restore: kInstallRefused or kInstallNotRestored
  const char* reasonHas = "";
  int act = kInstallIt;
  std::string install = kInstall;            // the installation run on
  std::string victim = kVictim;              // the folder outside that must stay as it is
  std::function<void()> afterCheck = [] {};  // between the run's check of the patch and the copy
  std::function<void(int)> onFile = [](int) {};  // as the run announces its n-th file
  std::function<void()> end = [] {};             // after the run
  // When given, the fault is gone afterwards and the same install then arrives whole.
  std::function<void()> repair = nullptr;
  // Whether the fault could be made at all; when not, the install must simply arrive.
  std::function<bool()> made = [] { return true; };
};

std::vector<FaultRow> FaultRows() {
  static std::unique_ptr<FileHolder> holder;
  static bool renamed = false;
  const std::string x = Join(kConfig, "debugger\\QuorVantel\\x.ddf");
  const std::string version = Join(kConfig, "Qorvantel.Version");
  const std::string secret = Join(kVictim, "secret.txt");
  const std::string area = Area();
  const auto old = [](const std::string& a, const std::string& b, const std::string& c, char kind) {
    return std::string(1, kind) + "\t" + a + "\t" + b + "\t" + c;
  };
  const auto renameAway = [](const std::vector<std::string>& names) {
    return [names](int file) {
      if (file != 2) return;
      for (const std::string& name : names) {
        const std::string from = Join(PatchFolder(), name);
        renamed = MoveFileA(from.c_str(), (from + "-away").c_str()) != FALSE || renamed;
      }
    };
  };
  const auto renameBack = [](const std::vector<std::string>& names) {
    return [names] {
      for (const std::string& name : names) {
        const std::string to = Join(PatchFolder(), name);
        MoveFileA((to + "-away").c_str(), to.c_str());
      }
    };
  };
  const auto unrenamed = [] { return renamed; };
  return {
      // Faults of the files: the installation is rolled back, or skipped before it is begun.
      {"a read-only destination file",
       [version] { SetFileAttributesA(version.c_str(), FILE_ATTRIBUTE_READONLY); },
       kInstallRolledBack, "Qorvantel.Version could not be installed", false, kInstall, kVictim,
       [] {}, [](int) {}, [] {},
       [version] { SetFileAttributesA(version.c_str(), FILE_ATTRIBUTE_NORMAL); }},
      {"a file in the place of a folder the patch has",
       [] {
         RemoveTree(Join(kConfig, "debugger\\QuorVantel"));
         WriteFileBytes(Join(kConfig, "debugger\\QuorVantel"), "a file");
       },
       kInstallRolledBack, "QuorVantel", false, kInstall, kVictim, [] {}, [](int) {}, [] {},
       [] { DeleteFileA(Join(kConfig, "debugger\\QuorVantel").c_str()); }},
      {"a folder in the place of a file the patch has",
       [] {
         DeleteFileA(Join(kConfig, "Qorvantel.Version").c_str());
         WriteFileBytes(Join(kConfig, "Qorvantel.Version\\inner.txt"), "mine");
       },
       kInstallRolledBack, "Qorvantel.Version"},
      // Held from after the snapshot (a file held without sharing cannot be read) to the end.
      {"a file held by a second process that shares nothing", [] {}, kInstallFileInUse,
       "x.ddf is in use", false, kInstall, kVictim,
       [x] { holder = std::make_unique<FileHolder>(x); }, [](int) {}, [] { holder.reset(); },
       [] {}},
      {"a file held by a second process that shares reading and writing, not deletion", [] {},
       kInstallFileInUse, "x.ddf is in use", false, kInstall, kVictim,
       [x] { holder = std::make_unique<FileHolder>(x, FileHolder::kShareReadWrite); }, [](int) {},
       [] { holder.reset(); }, [] {}},
      {"a file in a vendor folder to be cleared, held by a second process", [] {},
       kInstallFileInUse, "obsolete.i79 is in use", false, kInstall, kVictim,
       [] {
         holder = std::make_unique<FileHolder>(Join(kConfig, "devices\\QuorVantel\\obsolete.i79"));
       },
       [](int) {}, [] { holder.reset(); }, [] {}},
      // Windows and Wine refuse to rename a folder while it is being listed: then the run goes on.
      {"the patch folder renamed away after the second file", [] { renamed = false; },
       kInstallRolledBack, "could not be installed", false, kInstall, kVictim, [] {},
       [](int file) {
         if (file == 2)
           renamed = MoveFileA(PatchFolder().c_str(), (PatchFolder() + "-away").c_str()) != FALSE;
       },
       [] {}, [] { MoveFileA((PatchFolder() + "-away").c_str(), PatchFolder().c_str()); },
       unrenamed},
      // By the second file at most two of the three sub-folders are begun: a later one goes.
      {"the patch's sub-folders renamed away after the second file", [] { renamed = false; },
       kInstallRolledBack, "could not be installed", false, kInstall, kVictim, [] {},
       renameAway({"devices", "debugger", "flashloader"}), [] {},
       renameBack({"devices", "debugger", "flashloader"}), unrenamed},
      // The patch, changed between the run's check and the copy.
      {"a patch file of the manifest's size with other bytes", WriteManifest, kInstallRolledBack,
       "a.i79 changed after the patch was checked", false, kInstall, kVictim,
       [] { WriteFileBytes(Join(PatchFolder(), "devices\\QuorVantel\\a.i79"), "evil!"); }},
      {"a patch file of another size", WriteManifest, kInstallRolledBack,
       "a.i79 changed after the patch was checked", false, kInstall, kVictim,
       [] { WriteFileBytes(Join(PatchFolder(), "devices\\QuorVantel\\a.i79"), "evil, longer"); }},
      {"a file added to the patch that the manifest does not name", WriteManifest,
       kInstallRolledBack, "b2.i79 is not in the patch's manifest", false, kInstall, kVictim,
       [] { WriteFileBytes(Join(PatchFolder(), "devices\\QuorVantel\\b2.i79"), "planted"); }},
      // Journals of the old layout, with absolute paths, one for each kind of step.
      {"an old journal adding a file outside (the temporary missing: the file is deleted)",
       [=] { PlantArea(area, old("C:\\nothere.qx48new", secret, "", 'A') + "\r\n"); },
       kInstallRefused},
      {"an old journal replacing a file outside with a backup of its own",
       [=] {
         PlantArea(area, old(secret + ".qx48new", secret, area + "\\0\\0.bak", 'R') + "\r\n");
       },
       kInstallRefused},
      {"an old journal moving a folder outside back from the area",
       [=] { PlantArea(area, old(Join(kVictim, "dir"), area + "\\0\\0.bak", "", 'V') + "\r\n"); },
       kInstallRefused},
      {"an old journal removing a folder outside that it says it made",
       [=] { PlantArea(area, old(Join(kVictim, "empty"), "", "", 'D') + "\r\n"); },
       kInstallRefused},
      {"an old journal naming another installation's kept generation",
       [=] {
         WriteTree(Kept(kOtherConfig), {{"x.i79", "other"}});
         PlantArea(area, old(Kept(kOtherConfig) + "\\x.i79.qx48new", Kept(kOtherConfig) + "\\x.i79",
                             "", 'A') +
                             "\r\n");
       },
       kInstallRefused, "", false, kInstall, kRoot + "\\EW2"},
      // The layout written now, with paths that try to leave.
      {"a journal climbing out with ..",
       [=] {
         PlantArea(area, Journal({"A\t..\\..\\..\\..\\qx48-victim\\secret.txt\t..\\..\\..\\..\\"
                                  "qx48-victim\\secret.txt.qx48new"}));
       },
       kInstallRefused},
      {"a journal with a drive in a path",
       [=] { PlantArea(area, Journal({"A\t" + secret + "\t" + secret + ".qx48new"})); },
       kInstallRefused},
      {"a journal with a backup outside the area",
       [=] {
         PlantArea(area, Journal({"R\tQorvantel.Version\tQorvantel.Version.qx48new\t..\\..\\x"}));
       },
       kInstallRefused},
      {"a journal of a step of no known kind",
       [=] { PlantArea(area, Journal({"X\tQorvantel.Version"})); }, kInstallRefused},
      // Areas another user may write, or that lead elsewhere.
      {"an undo area every user may write, with a journal that looks like the install's",
       [=] {
         PlantArea(area, Journal({"A\tQorvantel.Version\tQorvantel.Version.qx48new"}));
         ASSERT_TRUE(LetEveryoneWrite(area));
       },
       kInstallRefused},
      {"an undo area that is a link to the victim", [] {}, kInstallRefused, "", false,
       Fixture("EW-undolink"), Fixture("victim")},
      {"a journal whose file lies behind a link on the way",
       [] {
         PlantArea(Area(Fixture("EW-pathlink\\arm\\config")),
                   Journal({"A\tdevices\\QuorVantel\\secret.txt\t"
                            "devices\\QuorVantel\\secret.txt.qx48new"}));
       },
       kInstallRefused, "", false, Fixture("EW-pathlink"), Fixture("victim")},
      {"a kept generation every user may write",
       [=] {
         WriteTree(Kept(), {{kJournalName,
                             Journal({"A\tQorvantel.Version\tQorvantel.Version.qx48new", "C"})}});
         ASSERT_TRUE(LetEveryoneWrite(Kept()));
       },
       kInstallRefused, "", true},
      {"a kept generation that is a link to the victim", [] {}, kInstallRefused, "", true,
       Fixture("EW-prevlink"), Fixture("victim")},
      // The installation's own folders on the way to arm\config lead elsewhere: nothing of the
      // folder they lead to, which looks like a configuration folder, is written or moved.
      {"arm\\config a link to a folder outside", [] {}, kInstallRefused, "not a plain folder",
       false, Fixture("EW-configlink"), Fixture("chain-outside")},
      {"arm a link to a folder outside that holds config", [] {}, kInstallRefused,
       "not a plain folder", false, Fixture("EW-armlink"), Fixture("chain-outside")},
      {"the installation folder a link outside", [] {}, kInstallRefused, "not a plain folder",
       false, Fixture("EW-folderlink"), Fixture("chain-outside")},
      {"a kept generation with an old journal naming a file outside",
       [=] {
         WriteTree(Kept(), {{kJournalName, old("C:\\nothere.qx48new", secret, "", 'A') + "\r\n"}});
       },
       kInstallRefused, "", true},
      // Taking the patch out (restore without a kept generation, uninstall): all of it or none.
      {"taking out: a version file that is a folder, after the vendor folders",
       [] {
         DeleteFileA(Join(kConfig, "Qorvantel.Version").c_str());
         WriteFileBytes(Join(kConfig, "Qorvantel.Version\\inner.txt"), "mine");
       },
       kInstallRolledBack, "not the patch's to take out", kTakeOut},
      {"taking out: a file in a vendor folder held by a second process", [] {}, kInstallFileInUse,
       "obsolete.i79 is in use", kTakeOut, kInstall, kVictim,
       [] {
         holder = std::make_unique<FileHolder>(Join(kConfig, "devices\\QuorVantel\\obsolete.i79"));
       },
       [](int) {}, [] { holder.reset(); }},
      {"taking out: a vendor folder holding a link to a folder outside", [] {}, kInstallRolledBack,
       "not the patch's to take out", kTakeOut, Fixture("EW-inner"), Fixture("outside")},
      {"taking out: arm\\config a link to a folder outside", [] {}, kInstallRefused,
       "not a plain folder", kTakeOut, Fixture("EW-configlink"), Fixture("chain-outside")},
      {"restoring: arm a link to a folder outside that holds config", [] {}, kInstallRefused,
       "not a plain folder", kRestoreIt, Fixture("EW-armlink"), Fixture("chain-outside")},
      {"restoring: a kept generation, a file of the vendor folders held by a second process",
       [] { WriteTree(Kept(), {}); }, kInstallFileInUse, "obsolete.i79 is in use", kRestoreIt,
       kInstall, kVictim,
       [] {
         holder = std::make_unique<FileHolder>(Join(kConfig, "devices\\QuorVantel\\obsolete.i79"));
       },
       [](int) {}, [] { holder.reset(); }},
  };
}

class InstallFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TearDown();
    WriteTree(kConfig, kBefore);
    WriteTree(kVictim, kVictimTree);
    WriteTree(PatchFolder(), kPatch);
  }
  void TearDown() override {
    RemoveTree(kRoot);
    RemoveTree(kVictim);
    RemoveTree(PatchFolder());
    RemoveTree(PatchFolder() + "-away");
    DeleteFileA((PatchFolder() + ".sha256").c_str());
  }
};

// One run over one installation, as the dialog's worker and the console tool make it.
struct OneRun {
  const FaultRow* row;
  const char* install;
  bool given = false;
  int files = 0;
  InstallResult result{};
  static const char* Next(void* self) {
    OneRun* run = static_cast<OneRun*>(self);
    if (run->given) return nullptr;
    run->given = true;
    return run->install;
  }
  static void Post(void* self, const InstallEvent& event) {
    OneRun* run = static_cast<OneRun*>(self);
    if (event.kind == kFileStarted) run->row->onFile(++run->files);
    if (event.kind == kInstallationFinished) run->result = *event.result;
  }
};

RunTotals RunOnce(const FaultRow& row, OneRun* run) {
  const PatchInfo patch = PatchBesideThisProgram();
  row.afterCheck();
  return RunPatchInstall(patch.folder, &patch, InstallationSource{OneRun::Next, run},
                         InstallOptions{TRUE}, InstallEventSink{OneRun::Post, run});
}

TEST_F(InstallFaultTest, NothingOutsideChangesTheInstallationStaysAsItWasAndNoRunReportsSuccess) {
  ASSERT_EQ("secret", ReadFileBytes(Fixture("victim\\secret.txt")))
      << "run through CTest (install_link_fixture)";
  for (const FaultRow& row : FaultRows()) {
    SCOPED_TRACE(row.what);
    SetUp();
    row.make();
    const std::string config = row.install + "\\arm\\config";
    const Tree victim = ReadTree(row.victim);
    const Tree before = ReadTree(config);
    InstallOutcome outcome = kInstallDone;
    std::string why;
    OneRun run{&row, row.install.c_str()};
    if (row.act != kInstallIt) {
      row.afterCheck();
      const PatchInfo patch = PatchBesideThisProgram();  // the unit keeps a reference
      CInstallIntoInstallation unit(patch, row.install.c_str(), InstallOptions{TRUE},
                                    InstallEventSink{nullptr, nullptr}, nullptr);
      const int errors = row.act == kTakeOut ? unit.RemovePatch() : unit.Restore();
      outcome = errors == 0 ? kInstallDone : unit.Failure().kind;
      why = unit.Failure().why;
    } else {
      const RunTotals totals = RunOnce(row, &run);
      outcome = run.result.outcome;
      why = run.result.reason;
      EXPECT_EQ(1, totals.installations);
      EXPECT_EQ(totals.done, outcome == kInstallDone ? 1 : 0);
    }
    row.end();
    if (!row.made()) {
      std::printf("%s: the fault could not be made, the install went on\n", row.what);
      EXPECT_EQ(kInstallDone, outcome);
      EXPECT_EQ(NewTreeOf(before, true), WithoutKeptGeneration(ReadTree(config)));
      row.repair();
      continue;
    }
    std::printf("%s: %s\n", row.what, why.c_str());
    EXPECT_EQ(row.outcome, outcome) << why;
    EXPECT_NE(why.find(row.reasonHas), std::string::npos) << why;
    EXPECT_FALSE(victim.empty());
    EXPECT_EQ(victim, ReadTree(row.victim)) << "the folder outside changed";
    EXPECT_EQ(before, ReadTree(config)) << "no temporary, no undo area, no kept generation";
    if (outcome == kInstallSkipped || outcome == kInstallFileInUse) {
      EXPECT_EQ(0, run.files) << "a skipped installation is not even begun";
    }
    if (!row.repair) continue;
    // Once the fault is gone, the same install arrives whole.
    row.repair();
    const Tree expected = NewTreeOf(ReadTree(config), true);
    const FaultRow plain{"", [] {}, kInstallDone};
    OneRun again{&plain, row.install.c_str()};
    EXPECT_EQ(1, RunOnce(plain, &again).done) << again.result.reason;
    EXPECT_EQ(expected, WithoutKeptGeneration(ReadTree(config)));
  }
}

DWORD WINAPI CloseAfter300Ms(LPVOID handle) {
  Sleep(300);
  CloseHandle(handle);
  return 0;
}

// A second console tool reads the patch's version file alone, for a moment, before it waits for
// the install lock: the patch is neither damaged for that nor read without its version.
TEST_F(InstallFaultTest, APatchFileAnotherProgramHoldsAloneForAMomentIsNoDamagedPatch) {
  WriteManifest();
  for (const char* name : {"Qorvantel.Version", "devices\\QuorVantel\\a.i79"}) {
    SCOPED_TRACE(name);
    HANDLE held = CreateFileA(Join(PatchFolder(), name).c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HANDLE releaser = CreateThread(nullptr, 0, CloseAfter300Ms, held, 0, nullptr);
    const PatchInfo patch = InspectPatch(PatchFolder());
    WaitForSingleObject(releaser, INFINITE);
    CloseHandle(releaser);
    EXPECT_EQ(patch.state, PatchState::kUsable) << patch.fault;
    EXPECT_STREQ(patch.stamp.label, "V2");
  }
}

// The install's own areas are made for SYSTEM and Administrators alone, and trusted again.
TEST_F(InstallFaultTest, TheInstallsOwnAreasAreProtectedAndTrusted) {
  const Tree original = ReadTree(kConfig);
  InstallResult result;
  InstallPatch(PatchBesideThisProgram(), kInstall.c_str(), InstallOptions{TRUE}, InstallEventSink{},
               &result);
  ASSERT_EQ(kInstallDone, result.outcome) << result.reason;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            GetNamedSecurityInfoA(Kept().c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, &dacl, nullptr, &descriptor));
  char* text = nullptr;
  ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                       DACL_SECURITY_INFORMATION, &text, nullptr);
  // Wine keeps no DACL of its own: it shows the Unix mode, which the protection made 0700.
  std::printf("the kept generation's DACL as read back: %s\n", text);
  EXPECT_EQ(std::string::npos, std::string(text).find(";;;WD)")) << "every user may read or write";
  LocalFree(text);
  LocalFree(descriptor);
  const UndoResult restored = RestorePreviousGeneration(kConfig.c_str());
  EXPECT_TRUE(Undone(restored)) << restored.why;
  EXPECT_EQ(original, ReadTree(kConfig));
}

}  // namespace

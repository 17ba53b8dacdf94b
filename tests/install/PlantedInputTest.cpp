// What another user may plant in an installation's configuration folder: an undo area or a kept
// generation of the install's own names, journals naming other places, links on the way. Each row
// runs the real install (or restore) over real files and compares a victim folder outside, and
// the whole configuration tree, before and after: nothing may change, and the run must not
// report success.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "install/JournalRollback.h"
#include "install/PatchTransaction.h"
#include "tests/install/TreeFiles.h"
#include "tests/support/Sha256Text.h"

namespace {

const std::string kRoot = "C:\\qx48-planted";
const std::string kInstall = kRoot + "\\EW";
const std::string kConfig = kInstall + "\\arm\\config";
const std::string kVictim = "C:\\qx48-victim";
const std::string kOtherConfig = kRoot + "\\EW2\\arm\\config";

std::string Area(const std::string& config = kConfig) {
  return Join(config, kUndoArea);
}
std::string Kept(const std::string& config = kConfig) {
  return Join(config, kKeptGeneration);
}
std::string Fixture(const std::string& name) {
  return Join(Join(FolderOfThisProgram(), "link-fixture"), name);
}

const Tree kVictimTree{{"secret.txt", "secret"}, {"dir", kFolder}, {"dir\\inner.txt", "inner"},
                       {"empty", kFolder}};
const Tree kInstalled{{"Qorvantel.Version", "V1"}, {"devices\\QuorVantel\\a.i79", "old a"}};

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

// Lets every user write folder, as a folder made below C:\ lets them.
void LetEveryoneWrite(const std::string& folder) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
      "D:P(A;OICI;FA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            SetNamedSecurityInfoA(const_cast<char*>(folder.c_str()), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, dacl, nullptr));
  LocalFree(descriptor);
}

std::string PatchFolder() {
  return Join(FolderOfThisProgram(), "QX48_EWARM_patch");
}
const Tree kPatch{{"Qorvantel.Version", "V2"}, {"devices\\QuorVantel\\a.i79", "new a"}};

// The patch's manifest as the run checked it; then what lies in the patch changes.
void ChangePatchAfterTheCheck(const Tree& changed) {
  std::string manifest;
  for (const auto& [path, content] : kPatch)
    manifest += Sha256Of(content) + "  " + std::to_string(content.size()) + "  " + path + "\n";
  WriteFileBytes(PatchFolder() + ".sha256", manifest);
  WriteTree(PatchFolder(), changed);
}

struct PlantedCase {
  const char* what;
  std::function<void()> plant;
  bool restore;                   // restore the kept generation instead of installing
  std::string install = kInstall;  // the installation run on
  std::string victim = kVictim;   // the folder outside that must stay as it is
  InstallOutcome outcome = kInstallRefused;  // how the install ends
};

std::vector<PlantedCase> PlantedCases() {
  const std::string secret = Join(kVictim, "secret.txt");
  const std::string area = Area();
  const auto old = [](const std::string& a, const std::string& b, const std::string& c,
                      char kind) { return std::string(1, kind) + "\t" + a + "\t" + b + "\t" + c; };
  return {
      // The journals of the old layout, with absolute paths, one for each kind of step.
      {"an old journal adding a file outside (the temporary missing: the file is deleted)",
       [=] { PlantArea(area, old("C:\\nothere.qx48new", secret, "", 'A') + "\r\n"); }, false},
      {"an old journal replacing a file outside with a backup of its own",
       [=] { PlantArea(area, old(secret + ".qx48new", secret, area + "\\0\\0.bak", 'R') + "\r\n"); },
       false},
      {"an old journal moving a folder outside back from the area",
       [=] {
         PlantArea(area, old(Join(kVictim, "dir"), area + "\\0\\0.bak", "", 'V') + "\r\n");
       },
       false},
      {"an old journal removing a folder outside that it says it made",
       [=] { PlantArea(area, old(Join(kVictim, "empty"), "", "", 'D') + "\r\n"); }, false},
      {"an old journal naming another installation's kept generation",
       [=] {
         WriteTree(Kept(kOtherConfig), {{"x.i79", "other"}});
         PlantArea(area, old(Kept(kOtherConfig) + "\\x.i79.qx48new", Kept(kOtherConfig) + "\\x.i79",
                             "", 'A') + "\r\n");
       },
       false, kInstall, kRoot + "\\EW2"},
      // The layout written now, with paths that try to leave.
      {"a journal climbing out with ..",
       [=] {
         PlantArea(area, Journal({"A\t..\\..\\..\\..\\qx48-victim\\secret.txt\t..\\..\\..\\..\\"
                                  "qx48-victim\\secret.txt.qx48new"}));
       },
       false},
      {"a journal with a drive in a path",
       [=] { PlantArea(area, Journal({"A\t" + secret + "\t" + secret + ".qx48new"})); }, false},
      {"a journal with a backup outside the area",
       [=] {
         PlantArea(area, Journal({"R\tQorvantel.Version\tQorvantel.Version.qx48new\t..\\..\\x"}));
       },
       false},
      {"a journal of a step of no known kind",
       [=] { PlantArea(area, Journal({"X\tQorvantel.Version"})); }, false},
      // Areas another user may write, or that lead elsewhere.
      {"an undo area every user may write, with a journal that looks like the install's",
       [=] {
         PlantArea(area, Journal({"A\tQorvantel.Version\tQorvantel.Version.qx48new"}));
         LetEveryoneWrite(area);
       },
       false},
      {"an undo area that is a link to the victim",
       [] {}, false, Fixture("EW-undolink"), Fixture("victim")},
      {"a journal whose file lies behind a link on the way",
       [] {
         PlantArea(Area(Fixture("EW-pathlink\\arm\\config")),
                   Journal({"A\tdevices\\QuorVantel\\secret.txt\t"
                            "devices\\QuorVantel\\secret.txt.qx48new"}));
       },
       false, Fixture("EW-pathlink"), Fixture("victim")},
      {"a kept generation every user may write",
       [=] {
         WriteTree(Kept(), {{kJournalName, Journal({"A\tQorvantel.Version\tQorvantel.Version.qx48new",
                                                    "C"})}});
         LetEveryoneWrite(Kept());
       },
       true},
      {"a kept generation that is a link to the victim",
       [] {}, true, Fixture("EW-prevlink"), Fixture("victim")},
      // The patch itself, changed between the run's check and the copy.
      {"a patch file of the manifest's size with other bytes",
       [] { ChangePatchAfterTheCheck({{"devices\\QuorVantel\\a.i79", "evil!"}}); }, false,
       kInstall, kVictim, kInstallRolledBack},
      {"a patch file of another size",
       [] { ChangePatchAfterTheCheck({{"devices\\QuorVantel\\a.i79", "evil a, longer"}}); },
       false, kInstall, kVictim, kInstallRolledBack},
      {"a file added to the patch that the manifest does not name",
       [] { ChangePatchAfterTheCheck({{"devices\\QuorVantel\\b.i79", "planted"}}); }, false,
       kInstall, kVictim, kInstallRolledBack},
      {"a kept generation with an old journal naming a file outside",
       [=] {
         WriteTree(Kept(), {{kJournalName, old("C:\\nothere.qx48new", secret, "", 'A') + "\r\n"}});
       },
       true},
  };
}

class PlantedInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TearDown();
    RemoveTree(kVictim);
    WriteTree(kConfig, kInstalled);
    WriteTree(kVictim, kVictimTree);
    WriteTree(PatchFolder(), kPatch);
  }
  void TearDown() override {
    RemoveTree(kRoot);
    RemoveTree(kVictim);
    RemoveTree(PatchFolder());
    DeleteFileA((PatchFolder() + ".sha256").c_str());
  }
};

TEST_F(PlantedInputTest, NothingOutsideChangesAndNoRunReportsSuccess) {
  ASSERT_EQ("secret", ReadFileBytes(Fixture("victim\\secret.txt")))
      << "run through CTest (install_link_fixture)";
  for (const PlantedCase& c : PlantedCases()) {
    SCOPED_TRACE(c.what);
    SetUp();
    c.plant();
    const std::string config = c.install + "\\arm\\config";
    const Tree victim = ReadTree(c.victim);
    const Tree before = ReadTree(config);
    std::string why;
    if (c.restore) {
      const UndoResult result = RestorePreviousGeneration(config.c_str());
      EXPECT_TRUE(result.refused) << result.why;
      why = result.why;
    } else {
      InstallResult result;
      InstallPatch(c.install.c_str(), InstallOptions{true}, InstallEventSink{}, &result);
      EXPECT_EQ(c.outcome, result.outcome) << result.reason;
      why = result.reason;
    }
    std::printf("%s: %s\n", c.what, why.c_str());
    EXPECT_FALSE(victim.empty());
    EXPECT_EQ(victim, ReadTree(c.victim)) << "the folder outside changed";
    EXPECT_EQ(before, ReadTree(config)) << "the installation changed";
  }
}

// The install's own areas are made for SYSTEM and Administrators alone, and trusted again.
TEST_F(PlantedInputTest, TheInstallsOwnAreasAreProtectedAndTrusted) {
  const Tree original = ReadTree(kConfig);
  InstallResult result;
  InstallPatch(kInstall.c_str(), InstallOptions{true}, InstallEventSink{}, &result);
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

// Links and names that lead elsewhere: made on the Unix side (make-link-fixture.sh), where a
// Windows program under Wine cannot make them, and installed into as any installation.
#include "tests/install/PatchInstallFixture.h"

#include "install/PatchRun.h"

namespace {

// Moves a tree the fixture made into the place of the patch folder, and back at the end.
class BorrowedPatch {
 public:
  explicit BorrowedPatch(const std::string& fixture) : fixture_(Fixture(fixture)) {
    moved_ = MoveFileA(fixture_.c_str(), PatchFolder().c_str()) != FALSE;
  }
  ~BorrowedPatch() {
    if (moved_) MoveFileA(PatchFolder().c_str(), fixture_.c_str());
  }
  bool Ready() const { return moved_; }

 private:
  std::string fixture_;
  bool moved_ = false;
};

const char kNoFixture[] =
    "the Unix-side fixture is missing: run through CTest (install_link_fixture)";

TEST_F(PatchInstallTest, LinkedFolderInThePatchIsNotDescendedIntoAndALoopEnds) {
  BorrowedPatch patch("loop-patch");
  ASSERT_TRUE(patch.Ready()) << kNoFixture;
  // Wine reports a Unix link to a folder as a reparse point, as Windows does a junction.
  EXPECT_NE(0u,
            GetFileAttributesA(Join(PatchFolder(), "self").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
  WriteTree(kConfig, {});
  Installation installation(kInstall);
  EXPECT_EQ(2, installation.Install(1));  // "self" and "sub\loop"
  EXPECT_EQ(Tree{}, ReadTree(kConfig)) << "a.txt and sub\\b.txt are undone with the rest";
}

TEST_F(PatchInstallTest, NamesThatWindowsWouldReadAsOtherPlacesAreRefused) {
  BorrowedPatch patch("odd-patch");
  ASSERT_TRUE(patch.Ready()) << kNoFixture;
  WriteTree(kConfig, {});
  Installation installation(kInstall);
  // a\b, x:y, con, "...", "trail." and the folder "..\..\evil"
  EXPECT_EQ(6, installation.Install(1));
  EXPECT_EQ(Tree{}, ReadTree(kConfig)) << "good.txt is undone with the rest";
  EXPECT_EQ((Tree{{"EW", kFolder}, {"EW\\arm", kFolder}, {"EW\\arm\\config", kFolder}}),
            ReadTree(kRoot));
  EXPECT_FALSE(Exists("C:\\evil"));
}

const Tree kOutside{{"keep.txt", "keep"}};

TEST_F(PatchInstallTest, InstalledVendorFolderThatIsALinkIsNeitherMovedNorWrittenThrough) {
  WriteTree(PatchFolder(), {{"devices\\QuorVantel\\a.xml", "new"}, {"top.txt", "new"}});
  ASSERT_EQ(kOutside, ReadTree(Fixture("outside"))) << kNoFixture;
  Installation installation(Fixture("EW-linked"));
  EXPECT_EQ(1, installation.Install(1));
  EXPECT_EQ(kOutside, ReadTree(Fixture("outside")));
  EXPECT_EQ("<missing>", ReadFileBytes(Fixture("EW-linked\\arm\\config\\top.txt"))) << "undone";
}

TEST_F(PatchInstallTest, VendorFolderHoldingALinkIsNotDeletedAndTheInstallationRollsBack) {
  WriteTree(PatchFolder(), {{"devices\\QuorVantel\\a.xml", "new"}});
  ASSERT_EQ(kOutside, ReadTree(Fixture("outside"))) << kNoFixture;
  Installation installation(Fixture("EW-inner"));
  EXPECT_EQ(1, installation.Install(1));
  EXPECT_EQ(kOutside, ReadTree(Fixture("outside")));
  const std::string vendor = Fixture("EW-inner\\arm\\config\\devices\\QuorVantel");
  EXPECT_EQ("old", ReadFileBytes(Join(vendor, "old.xml")));
  EXPECT_EQ("<missing>", ReadFileBytes(Join(vendor, "a.xml"))) << "undone";
}

TEST_F(PatchInstallTest, DestinationFilesLinkedElsewhereAreNotWrittenThrough) {
  // same.txt links to outside\keep.txt; fresh.txt is a dangling link into outside, which Wine
  // does not list at all.
  WriteTree(PatchFolder(), {{"same.txt", "new"}, {"fresh.txt", "new"}, {"ok.txt", "new"}});
  ASSERT_EQ(kOutside, ReadTree(Fixture("outside"))) << kNoFixture;
  Installation installation(Fixture("EW-filelink"));
  // same.txt counts; fresh.txt is either refused or, moved into place by name, replaces the
  // dangling link inside the configuration folder and is undone with the rest.
  EXPECT_GE(installation.Install(1), 1);
  EXPECT_EQ(kOutside, ReadTree(Fixture("outside")));
  EXPECT_EQ("<missing>", ReadFileBytes(Fixture("EW-filelink\\arm\\config\\ok.txt"))) << "undone";
  EXPECT_EQ("keep", ReadFileBytes(Fixture("EW-filelink\\arm\\config\\same.txt")));
}

// ok.txt's place is taken by a dangling link (Wine neither lists nor removes one), and the name
// of the temporary earlier versions made beside it by another: ok.txt cannot be made and counts,
// and nothing is made through either link.
TEST_F(PatchInstallTest, ALinkInThePlaceOfTheTemporaryIsNotWrittenThrough) {
  WriteTree(PatchFolder(), {{"ok.txt", "new"}, {"other.txt", "new"}});
  ASSERT_EQ(kOutside, ReadTree(Fixture("outside"))) << kNoFixture;
  Installation installation(Fixture("EW-templink"));
  EXPECT_EQ(1, installation.Install(0));
  EXPECT_EQ(kOutside, ReadTree(Fixture("outside"))) << "nothing was made through the link";
  EXPECT_EQ(Tree{}, ReadTree(Fixture("EW-templink\\arm\\config"))) << "other.txt is undone";
}

// ok.txt's place is taken by a dangling link, and the old temporary's name holds a link to a
// read-only file, which Wine does not remove: ok.txt counts, and the installation is rolled back
// without the link being followed, its target neither written nor made writable.
TEST_F(PatchInstallTest, AStrayLinkInThePlaceOfTheTemporaryIsNeverFollowed) {
  const std::string kept = Fixture("outside-readonly\\keep.txt");
  ASSERT_NE(0u, GetFileAttributesA(kept.c_str()) & FILE_ATTRIBUTE_READONLY) << kNoFixture;
  WriteTree(PatchFolder(), {{"ok.txt", "new"}, {"other.txt", "new"}});
  const std::string config = Fixture("EW-strayLink\\arm\\config");
  const Tree before = ReadTree(config);
  InstallResult result;
  InstallPatch(PatchBesideThisProgram(), Fixture("EW-strayLink").c_str(), InstallOptions{false},
               InstallEventSink{}, &result);
  EXPECT_EQ(kInstallRolledBack, result.outcome) << result.reason;
  EXPECT_EQ(before, ReadTree(config)) << "other.txt is undone, the link stays";
  EXPECT_EQ("keep", ReadFileBytes(kept));
  EXPECT_NE(0u, GetFileAttributesA(kept.c_str()) & FILE_ATTRIBUTE_READONLY)
      << "the file the link leads to was made writable";
}

// A read-only file outside, hard-linked into a vendor folder: the first install moves it aside
// into the kept generation, the second discards that generation. The flag belongs to the file, so
// clearing it to delete this name would make the file outside writable: it stays read-only.
TEST_F(PatchInstallTest, AReadOnlyFileWithAnotherNameOutsideKeepsItsFlagThroughTwoInstalls) {
  const std::string outside = Fixture("outside-readonly-hard\\keep.i79");
  ASSERT_NE(0u, GetFileAttributesA(outside.c_str()) & FILE_ATTRIBUTE_READONLY) << kNoFixture;
  WriteTree(PatchFolder(), {{"devices\\QuorVantel\\a.i79", "new"}});
  Installation installation(Fixture("EW-readonly-hardlink"));
  EXPECT_EQ(0, installation.Install(1));
  installation.Install(1);
  EXPECT_EQ("keep", ReadFileBytes(outside));
  EXPECT_NE(0u, GetFileAttributesA(outside.c_str()) & FILE_ATTRIBUTE_READONLY)
      << "the file outside was made writable";
  EXPECT_EQ("new", ReadFileBytes(Fixture("EW-readonly-hardlink\\arm\\config\\devices\\QuorVantel\\a.i79")));
}

// Two records of one folder in two spellings, in one run: the patch goes in once, and the second
// is neither reported nor counted.
TEST_F(PatchInstallTest, TwoNamesOfOneFolderAreInstalledOnceInARun) {
  WriteTree(PatchFolder(), {{"devices\\QuorVantel\\a.i79", "new"},
                            {"Qorvantel.Version", "[Install]\r\nVersion=\"V2.0\"\r\n"}});
  WriteTree(kConfig, {{"devices\\QuorVantel\\old.i79", "old"}});
  const PatchInfo patch = PatchBesideThisProgram();
  struct Names {
    std::vector<std::string> folders;
    size_t next = 0;
    int finished = 0;
    static const char* Next(void* self) {
      Names* names = static_cast<Names*>(self);
      return names->next < names->folders.size() ? names->folders[names->next++].c_str() : nullptr;
    }
    static void Post(void* self, const InstallEvent& event) {
      if (event.kind == kInstallationFinished) ++static_cast<Names*>(self)->finished;
    }
  } names{{kInstall, kRoot + "\\.\\EW", kInstall + "\\"}};
  const RunTotals totals = RunPatchInstall(patch.folder, &patch, InstallationSource{Names::Next, &names},
                                           InstallOptions{TRUE}, InstallEventSink{Names::Post, &names});
  EXPECT_EQ(1, totals.installations);
  EXPECT_EQ(1, totals.done) << totals.firstReason;
  EXPECT_EQ(1, names.finished);
  bool keptOld = false;
  for (const auto& [path, content] : ReadTree(Join(kConfig, "QX48_EWARM_patch.previous")))
    keptOld = keptOld || content == "old";
  EXPECT_TRUE(keptOld) << "the first install's kept generation was discarded by a second";
}

TEST_F(PatchInstallTest, AKeptGenerationIsRemovedWithoutFollowingNamesOutOfIt) {
  const std::string victim = Fixture("EW-oddkept\\arm\\victim\\keep.txt");
  ASSERT_EQ("keep", ReadFileBytes(victim)) << kNoFixture;
  WriteTree(PatchFolder(), {{"ok.txt", "new"}});
  Installation installation(Fixture("EW-oddkept"));
  EXPECT_EQ(0, installation.Install(0)) << "the install stands, whatever is left of the old one";
  EXPECT_EQ("new", ReadFileBytes(Fixture("EW-oddkept\\arm\\config\\ok.txt")));
  EXPECT_EQ("keep", ReadFileBytes(victim));
}

}  // namespace

// The folder-tree copy with real files: the patch folder beside this program, installations
// under C:\ of the test prefix, and links and odd names made on the Unix side
// (make-link-fixture.sh).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app/StatusMailbox.h"
#include "install/EntryNames.h"
#include "install/PatchPaths.h"
#include "install/PatchPaths.h"
#include "tests/install/PatchInstallFixture.h"
#include "tests/install/TestProcesses.h"
#include "tests/install/TreeFiles.h"

namespace {

// tree with every folder that its paths pass through, as ReadTree reports them.
Tree WithFolders(Tree tree) {
  const Tree files = tree;
  for (const auto& entry : files) {
    for (size_t at = entry.first.find('\\'); at != std::string::npos;
         at = entry.first.find('\\', at + 1)) {
      tree[entry.first.substr(0, at)] = kFolder;
    }
  }
  return tree;
}

// --- Merging the patch into an installation -------------------------------------------------

struct MergeCase {
  const char* what;
  Tree patch;
  bool configExists;
  Tree before;  // below the configuration folder
  int clearOldPatch;
  Tree after;
  int errors;
};

std::vector<MergeCase> MergeCases() {
  const char* F = kFolder;
  return {
      {"a patch file arrives at the same relative path",
       {{"devices\\QuorVantel\\a.xml", "new"}},
       true,
       {},
       0,
       {{"devices", F}, {"devices\\QuorVantel", F}, {"devices\\QuorVantel\\a.xml", "new"}},
       0},
      {"files the patch lacks stay, files it has are replaced",
       {{"same.txt", "new"}, {"devices\\x.ddf", "new"}},
       true,
       {{"keep.txt", "mine"}, {"same.txt", "old"}, {"devices\\mine.ddf", "mine"}},
       0,
       {{"keep.txt", "mine"},
        {"same.txt", "new"},
        {"devices", F},
        {"devices\\mine.ddf", "mine"},
        {"devices\\x.ddf", "new"}},
       0},
      {"clear old patch leaves an installed vendor folder with the patch's files only",
       {{"devices\\QuorVantel\\a.xml", "new"}},
       true,
       {{"keep.txt", "mine"},
        {"devices\\QuorVantel\\a.xml", "old"},
        {"devices\\QuorVantel\\old.xml", "old"},
        {"devices\\QuorVantel\\deep\\d.xml", "old"}},
       1,
       {{"keep.txt", "mine"},
        {"devices", F},
        {"devices\\QuorVantel", F},
        {"devices\\QuorVantel\\a.xml", "new"}},
       0},
      {"without clear old patch the old files stay beside the new",
       {{"devices\\QuorVantel\\a.xml", "new"}},
       true,
       {{"devices\\QuorVantel\\a.xml", "old"},
        {"devices\\QuorVantel\\old.xml", "old"},
        {"devices\\QuorVantel\\deep\\d.xml", "old"}},
       0,
       {{"devices", F},
        {"devices\\QuorVantel", F},
        {"devices\\QuorVantel\\a.xml", "new"},
        {"devices\\QuorVantel\\old.xml", "old"},
        {"devices\\QuorVantel\\deep", F},
        {"devices\\QuorVantel\\deep\\d.xml", "old"}},
       0},
      {"the vendor name matches in any letter case at any depth, only where the patch carries it",
       {{"x\\y\\QUORVANTEL\\n.txt", "new"}},
       true,
       {{"x\\y\\QuorVantel\\old.txt", "old"},
        {"x\\Quorvantel\\other.txt", "mine"},
        {"Quorvantel\\top.txt", "mine"}},
       1,
       {{"x", F},
        {"x\\y", F},
        {"x\\y\\QUORVANTEL", F},
        {"x\\y\\QUORVANTEL\\n.txt", "new"},
        {"x\\Quorvantel", F},
        {"x\\Quorvantel\\other.txt", "mine"},
        {"Quorvantel", F},
        {"Quorvantel\\top.txt", "mine"}},
       0},
      {"a patch file named like the vendor replaces its namesake and deletes nothing",
       {{"devices\\Other\\Quorvantel", "new"}},
       true,
       {{"devices\\Other\\Quorvantel", "old"}, {"devices\\Other\\keep.txt", "mine"}},
       1,
       {{"devices", F},
        {"devices\\Other", F},
        {"devices\\Other\\Quorvantel", "new"},
        {"devices\\Other\\keep.txt", "mine"}},
       0},
      {"an installed file named like the vendor is not deleted for the patch's folder (rolled "
       "back)",
       {{"Quorvantel\\a.xml", "new"}},
       true,
       {{"Quorvantel", "a file"}},
       1,
       {{"Quorvantel", "a file"}},
       2},  // the folder is not made, so a.xml cannot go in
      {"clear old patch without an installed vendor folder creates it",
       {{"devices\\QuorVantel\\a.xml", "new"}},
       true,
       {{"keep.txt", "mine"}},
       1,
       {{"keep.txt", "mine"},
        {"devices", F},
        {"devices\\QuorVantel", F},
        {"devices\\QuorVantel\\a.xml", "new"}},
       0},
      {"an empty patch creates a missing configuration folder and copies nothing",
       {},
       false,
       {},
       1,
       {},
       0},
      {"an empty sub-folder of the patch gives an empty folder",
       {{"devices\\empty", F}},
       true,
       {},
       0,
       {{"devices", F}, {"devices\\empty", F}},
       0},
  };
}

TEST_F(PatchInstallTest, MergesThePatchIntoTheConfigurationFolder) {
  for (const MergeCase& c : MergeCases()) {
    SCOPED_TRACE(c.what);
    RemoveTree(kRoot);
    RemoveTree(PatchFolder());
    WriteTree(PatchFolder(), c.patch);
    WriteTree(kInstall, {});
    if (c.configExists) WriteTree(kConfig, c.before);

    Installation installation(kInstall);
    EXPECT_EQ(c.errors, installation.Install(c.clearOldPatch));
    EXPECT_TRUE(IsFolderPath(kConfig));
    // A run that failed is undone whole: the tree is the one before, without even a kept
    // generation; one that arrived keeps what it replaced beside the patch's folders.
    EXPECT_EQ(c.after,
              c.errors == 0 ? WithoutKeptGeneration(ReadTree(kConfig)) : ReadTree(kConfig));
    EXPECT_FALSE(Exists(Join(kConfig, kUndoArea)));
    EXPECT_EQ(WithFolders(c.patch), ReadTree(PatchFolder())) << "the patch itself is only read";
  }
}

TEST_F(PatchInstallTest, HiddenAndSystemFilesAreCopiedLikeAnyOther) {
  WriteTree(PatchFolder(), {{"hidden.dat", "h"}, {"devices\\system.dat", "s"}});
  SetFileAttributesA(Join(PatchFolder(), "hidden.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesA(Join(PatchFolder(), "devices\\system.dat").c_str(),
                     FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
  WriteTree(kConfig, {});
  Installation installation(kInstall);
  EXPECT_EQ(0, installation.Install(0));
  EXPECT_EQ("h", ReadFileBytes(Join(kConfig, "hidden.dat")));
  EXPECT_EQ("s", ReadFileBytes(Join(kConfig, "devices\\system.dat")));
}

// --- Status lines ---------------------------------------------------------------------------

struct Recorded {
  std::string source;
  std::string destination;
  bool folder;
  std::string status;  // what the item posted, "<none>" for nothing
};
std::vector<Recorded> g_recorded;

// The install's own hook, with the event each item posted, if any.
void RecordingHook(FolderWalk* walk, const char* source, const char* destination, BOOL folder) {
  auto* installation =
      static_cast<Installation*>(static_cast<CInstallIntoInstallation*>(walk->context)->Events().context);
  const size_t before = installation->announced.size();
  CInstallIntoInstallation::BeforeItem(walk, source, destination, folder);
  g_recorded.push_back({source, destination, folder != FALSE,
                        installation->announced.size() > before ? installation->announced.back()
                                                                : std::string("<none>")});
}

TEST_F(PatchInstallTest, EachFileIsAnnouncedWithItsPathBelowThePatchAndTheInstallationFolder) {
  WriteTree(PatchFolder(),
            {{"devices\\QuorVantel\\a.xml", "new"}, {"top.txt", "new"}, {"ro.txt", "new"}});
  WriteTree(kConfig, {{"ro.txt", "old"}});
  SetFileAttributesA(Join(kConfig, "ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  // As a hand-added row names its folder: with a trailing backslash, shown as it stands.
  Installation installation(kInstall + "\\");
  g_recorded.clear();
  const FolderWalk walk = installation.WalkWith(RecordingHook);

  std::set<std::string> files, folders;
  for (const Recorded& r : g_recorded) {
    if (r.folder) {
      EXPECT_EQ("<none>", r.status) << "a folder posts nothing: " << r.source;
      folders.insert(r.destination);
    } else {
      files.insert(r.status);
      EXPECT_EQ(Join(kConfig, r.source.substr(PatchFolder().size() + 1)), r.destination);
    }
  }
  const std::string to = " to " + kInstall + "\\";
  // The read-only file is announced too: the line comes before the copy, whatever the copy does.
  EXPECT_EQ((std::set<std::string>{"Copy devices\\QuorVantel\\a.xml" + to, "Copy top.txt" + to,
                                   "Copy ro.txt" + to}),
            files);
  EXPECT_EQ((std::set<std::string>{kConfig + "\\devices", kConfig + "\\devices\\QuorVantel"}),
            folders);
  EXPECT_EQ(1, walk.errorCount);
}

TEST_F(PatchInstallTest, InstallPatchAnnouncesTheLastFileLast) {
  WriteTree(PatchFolder(), {{"devices\\QuorVantel\\a.xml", "new"}});
  WriteTree(kConfig, {});
  Installation installation(kInstall);
  EXPECT_EQ(0, installation.Install(1));
  EXPECT_EQ("Copy devices\\QuorVantel\\a.xml to " + kInstall, installation.LastStatus());
}

// --- Failures are counted -------------------------------------------------------------------

TEST_F(PatchInstallTest, ItemsWhosePathDoesNotFit259CharactersAreSkippedAndCounted) {
  const std::string name(100, 'n');
  // Installation folders whose "<config>\<name>" has exactly 259 and 260 characters.
  const size_t fixed = kRoot.size() + 1 + std::strlen("\\arm\\config\\") + name.size();
  const std::string fits = kRoot + "\\" + std::string(259 - fixed, 'f');
  const std::string overlong = kRoot + "\\" + std::string(260 - fixed, 'o');
  ASSERT_EQ(259u, GetConfigFolder(fits.c_str()).GetLength() + 1 + name.size());

  WriteTree(PatchFolder(), {{name, "new"}});
  WriteTree(GetConfigFolder(fits.c_str()).operator LPCTSTR(), {});
  WriteTree(GetConfigFolder(overlong.c_str()).operator LPCTSTR(), {});
  Installation fitting(fits), tooLong(overlong);
  EXPECT_EQ(0, fitting.Install(0));
  EXPECT_EQ((Tree{{name, "new"}}),
            WithoutKeptGeneration(ReadTree(GetConfigFolder(fits.c_str()).operator LPCTSTR())));
  EXPECT_EQ(1, tooLong.Install(0));
  EXPECT_EQ(Tree{}, ReadTree(GetConfigFolder(overlong.c_str()).operator LPCTSTR()));

  // A folder of that length is not made, nor anything below it.
  RemoveTree(PatchFolder());
  WriteTree(PatchFolder(), {{name + "\\inner.txt", "new"}});
  EXPECT_EQ(1, tooLong.Install(0));
  EXPECT_EQ(Tree{}, ReadTree(GetConfigFolder(overlong.c_str()).operator LPCTSTR()));
}

TEST_F(PatchInstallTest, NothingIsInstalledWithoutPatchFolderOrInstallation) {
  WriteTree(kInstall, {});
  Installation noPatch(kInstall);
  EXPECT_EQ(1, noPatch.Install(1));
  EXPECT_FALSE(Exists(kConfig)) << "no folder is made without a patch";

  WriteTree(PatchFolder(), {{"a.txt", "new"}});
  Installation vanished(kRoot + "\\Uninstalled");
  EXPECT_EQ(1, vanished.Install(1));
  EXPECT_FALSE(Exists(kRoot + "\\Uninstalled"));

  // A relative folder would land wherever the program happens to run.
  char current[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, current);
  Installation relative("qx48-relative-EW");
  EXPECT_EQ(1, relative.Install(1));
  EXPECT_FALSE(Exists(Join(current, "qx48-relative-EW")));
}

// A hook that deletes all it can of the patch folder after the first file it sees. A folder that
// is being listed stays until its listing is closed (Windows and Wine open it without delete
// sharing), the files in it go.
void DeletePatchAfterFirstFile(FolderWalk* walk, const char* source, const char* destination,
                               BOOL folder) {
  CInstallIntoInstallation::BeforeItem(walk, source, destination, folder);
  if (!folder && Exists(PatchFolder())) RemoveTree(PatchFolder());
}

TEST_F(PatchInstallTest, PatchFolderDeletedDuringTheRunCountsWhatDidNotArrive) {
  Tree patch;
  for (char c = 'a'; c <= 'h'; ++c) patch[std::string(1, c) + ".txt"] = "new";
  patch["sub\\x.txt"] = "new";
  patch["sub\\y.txt"] = "new";
  WriteTree(PatchFolder(), patch);
  WriteTree(kConfig, {});
  Installation installation(kInstall);
  const FolderWalk walk = installation.WalkWith(DeletePatchAfterFirstFile);

  for (const auto& [path, content] : ReadTree(PatchFolder())) EXPECT_EQ(kFolder, content) << path;
  int arrived = 0;
  for (const auto& [path, content] : ReadTree(kConfig)) {
    if (content != kFolder) {
      EXPECT_EQ("new", content) << path;
      ++arrived;
    }
  }
  // The first file may or may not have been copied before its source vanished; every file that
  // did not arrive is counted, whether the listing still named it or broke off.
  EXPECT_LE(arrived, 1);
  EXPECT_GE(walk.errorCount, static_cast<int>(patch.size()) - arrived - 1)
      << "sub's two files may count as one";
  std::printf("patch folder deleted during the run: %d of %d files arrived, %d errors\n", arrived,
              static_cast<int>(patch.size()), walk.errorCount);
}

// --- The helpers ----------------------------------------------------------------------------

TEST_F(PatchInstallTest, MakeDirectoriesCreatesEveryMissingFolderAbove) {
  WriteTree(kRoot, {{"file", "in the way"}, {"existing", kFolder}});
  const std::string tooLong = kRoot + "\\" + std::string(259 - kRoot.size(), 'l');
  const struct {
    std::string path;
    bool result;
    bool folderAfter;
  } cases[] = {
      {kRoot + "\\a\\b\\c", true, true},
      {kRoot + "\\existing", true, true},
      {kRoot + "\\file\\below", false, false},
      {kRoot + "\\file", false, false},
      {"Q:\\no drive\\below", false, false},  // a missing drive root is its own parent
      {"qx48-relative-folder", false, false},
      {"", false, false},
      {tooLong, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.result, MakeDirectories(c.path.c_str()) != FALSE) << c.path;
    EXPECT_EQ(c.folderAfter, IsFolderPath(c.path)) << c.path;
  }
  EXPECT_TRUE(IsFolderPath(kRoot + "\\a\\b"));
}

TEST(IsVendorFolder, ComparesTheLastComponentWithoutRegardToCase) {
  const struct {
    const char* path;
    bool expected;
  } cases[] = {
      {"C:\\cfg\\devices\\Quorvantel", true},
      {"C:\\cfg\\devices\\QUORVANTEL", true},
      {"quorvantel", true},
      {"C:\\Quorvantel\\devices", false},
      {"C:\\cfg\\Quorvantel2", false},
      {"C:\\cfg\\QuorVantel.xml", false},
      {"C:\\cfg\\xQuorvantel", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, IsVendorFolder(c.path) != FALSE) << c.path;
}

TEST(IsSafeEntryName, RefusesNamesWindowsReadsAsAnotherPlace) {
  const struct {
    const char* name;
    bool expected;
  } cases[] = {
      {"a.xml", true},     {"Qorvantel.Version", true},
      {"com10", true},     {"console.txt", true},
      {".hidden", true},   {"a b", true},
      {"", false},         {"...", false},
      {"trail.", false},   {"trail ", false},
      {"a\\b", false},     {"..\\..\\evil", false},
      {"a/b", false},      {"x:y", false},
      {"q*", false},       {"q?", false},
      {"\"q\"", false},    {"<q>", false},
      {"a|b", false},      {"tab\there", false},
      {"con", false},      {"CON.txt", false},
      {"nul", false},      {"Aux .log", false},
      {"prn", false},      {"com1", false},
      {"LPT9.log", false}, {"conout$", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, IsSafeEntryName(c.name) != FALSE) << c.name;
}

}  // namespace

int main(int argc, char** argv) {
  // The second processes of the tests are this program in a role.
  const int role = RunTestProcessRole(argc, argv);
  if (role >= 0) return role;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

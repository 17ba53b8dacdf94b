// The journey a new user makes with the shipped package: the folder is unpacked, the program in
// it is started, the installations it lists are checked, "Driver &patch" is pressed, and the
// patch (the flash image inside it) ends up in every checked installation byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "BuildInfo.h"
#include "install/ManifestLine.h"
#include "install/Sha256.h"
#include "tests/support/Sha256Text.h"
#include "tests/e2e/FolderTree.h"
#include "tests/e2e/PackSession.h"
#include "tests/support/EwarmRegistry.h"
#include "tests/support/TestFiles.h"

namespace {

const char kRoot[] = "C:\\qx48-e2e";
const char kPatchName[] = "QX48_EWARM_patch";
const char kFlmInPatch[] = "flashloader\\QuorVantel\\QX48Flash.FLM";
const char kVersionFile[] = "Qorvantel.Version";
const char kManifestName[] = "QX48_EWARM_patch.sha256";
const char kKeptGeneration[] = "QX48_EWARM_patch.previous\\";

std::string PackageFolder() {
  return WindowsPathOf(QX48_PACKAGE_DIR);
}
std::string UnpackedFolder() {
  return std::string(kRoot) + "\\QX48_EWARM_pack-" QX48_VERSION_TEXT;
}
std::string UnpackedExe() {
  return UnpackedFolder() + "\\QX48_EWARM_pack.exe";
}

// Names of the entries directly in folder.
std::vector<std::string> TopLevelNames(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  HANDLE listing = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (listing == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = entry.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(listing, &entry));
  FindClose(listing);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> Names(const FolderTree& tree) {
  std::vector<std::string> names;
  for (const auto& entry : tree) names.push_back(entry.first);
  return names;
}

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// tree without the generation an install keeps of what it replaced.
FolderTree WithoutKeptGeneration(FolderTree tree) {
  for (auto entry = tree.begin(); entry != tree.end();) {
    entry = entry->first.rfind(kKeptGeneration, 0) == 0 ? tree.erase(entry) : std::next(entry);
  }
  return tree;
}

std::string ReadWhole(const std::string& path) {
  std::string content;
  return ReadTextFile(path, &content) ? content : std::string("<unreadable>");
}

class PackageInstallTest : public ::testing::Test {
 protected:
  // Two installations as a user has them: one never patched, one with the older V1.0 patch,
  // which carried a device file that V2.0 no longer has. Both have files of other vendors.
  struct Installation {
    const char* candidate;
    const char* version;
    std::string folder;
  };

  void SetUp() override {
    EwarmRegistry::Clear();
    // The profile the program reads column widths from: a user's first start has none.
    DeleteFileA("C:\\windows\\QX48_EWARM_pack.INI");
    ASSERT_TRUE(RemoveTree(kRoot));
    ASSERT_TRUE(CopyFolderTree(PackageFolder(), UnpackedFolder()))
        << "could not copy the package " << PackageFolder();
    patch_ = ReadFolderTree(UnpackedFolder() + "\\" + kPatchName);
    ASSERT_FALSE(patch_.empty()) << "the package has no patch tree";
    ASSERT_EQ(patch_.count(kFlmInPatch), 1u) << "the package's patch has no flash image";

    fresh_ = {"EWARM_9.30", "9.30.1",
              std::string(kRoot) + "\\IAR Systems\\Embedded Workbench 9.30"};
    older_ = {"EWARM_9.50", "9.50.2",
              std::string(kRoot) + "\\IAR Systems\\Embedded Workbench 9.50"};
    for (const Installation* i : {&fresh_, &older_}) {
      ASSERT_TRUE(WriteTextFile(Config(*i) + "\\devices\\Other\\Other.i79", "[CHIP]\r\n"));
      ASSERT_TRUE(WriteTextFile(Config(*i) + "\\debugger\\Other\\Other.ddf", ";\r\n"));
      ASSERT_TRUE(EwarmRegistry::Add(i->candidate, i->folder, i->version));
    }
    ASSERT_TRUE(WriteTextFile(Config(older_) + "\\devices\\QuorVantel\\QX48H410xKx.i79",
                              "[CHIP]\r\nname=QX48H410xKx\r\n"));
    ASSERT_TRUE(
        WriteTextFile(Config(older_) + "\\devices\\QuorVantel\\QX48H4_obsolete.i79", "[CHIP]\r\n"));
    ASSERT_TRUE(WriteTextFile(Config(older_) + "\\" + kVersionFile,
                              "[Information]\r\nVersion=1.0\r\n\r\n[Install]\r\n"
                              "Version=\"V1.0\"\r\nDate=\"2025-03-14\"\r\n"));
  }

  void TearDown() override { EwarmRegistry::Clear(); }

  static std::string Config(const Installation& i) { return i.folder + "\\arm\\config"; }

  void StartUnpackedProgram() {
    std::string fault;
    ASSERT_TRUE(session_.Start(UnpackedExe(), &fault)) << fault;
  }

  void ExpectFinalTextOfASuccessfulRun(const std::string& text) {
    EXPECT_TRUE(std::regex_match(
        text, std::regex(R"(Install patch finished, total elapse \d+\.\d{3} sec)")))
        << "status line: " << text;
  }

  Installation fresh_, older_;
  FolderTree patch_;
  PackSession session_;
};

TEST_F(PackageInstallTest, PackageIsTheProgramBesideThePatchTreeWithTheFreshFlashImageInside) {
  EXPECT_EQ(TopLevelNames(PackageFolder()),
            (std::vector<std::string>{"QX48_EWARM_pack.exe", kPatchName, kManifestName, "deploy",
                                      "qx48patch.exe"}));
  const std::vector<std::string> scripts = {"detect-verified.ps1", "detect.ps1", "install.cmd",
                                            "requirement.ps1", "uninstall.cmd"};
  EXPECT_EQ(TopLevelNames(PackageFolder() + "\\deploy"), scripts);
  // cmd.exe can miss a goto label in a file of LF-only lines: every line of the scripts ends CR LF.
  for (const std::string& script : scripts) {
    const std::string text = ReadWhole(PackageFolder() + "\\deploy\\" + script);
    EXPECT_EQ(Occurrences(text, "\n"), Occurrences(text, "\r\n")) << script;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << script;
  }

  // The patch is the source tree as it stands (nothing more, nothing less), plus the image.
  FolderTree expected = ReadFolderTree(WindowsPathOf(QX48_PATCH_SOURCE));
  expected.erase(".gitattributes");
  ASSERT_FALSE(expected.empty());
  expected[kFlmInPatch] = ReadWhole(WindowsPathOf(QX48_FLASH_IMAGE_FILE));
  FolderTree packaged = ReadFolderTree(PackageFolder() + "\\" + kPatchName);
  ASSERT_EQ(packaged.count(kFlmInPatch), 1u)
      << "no " << kFlmInPatch << " in the package: was the flash build run first?";
  EXPECT_EQ(Names(packaged), Names(expected));
  EXPECT_EQ(PatchFilesNotInstalled(expected, packaged), std::vector<std::string>{});

  // An ELF image for 32-bit Arm, as a flash tool expects it.
  const std::string& flm = packaged[kFlmInPatch];
  ASSERT_GE(flm.size(), 20u);
  EXPECT_EQ(flm.substr(0, 4),
            "\x7f"
            "ELF");
  EXPECT_EQ(flm[4], 1) << "ELFCLASS32";
  EXPECT_EQ(static_cast<unsigned char>(flm[18]), 40u) << "EM_ARM";

  // The version file the program reads back after an install: CRLF lines, V2.0 of today.
  const std::string& version = packaged[kVersionFile];
  EXPECT_NE(version.find("[Install]\r\nVersion=\"V2.0\"\r\nDate=\"2026-12-09\"\r\n"),
            std::string::npos)
      << version;
  EXPECT_EQ(Occurrences(version, "\n"), Occurrences(version, "\r\n")) << "a line without CR";
  EXPECT_EQ(version.substr(version.size() - 2), "\r\n");
  EXPECT_NE(patch_.count("devices\\QuorVantel\\QX48H410xKx.i79"), 0u);
}

TEST_F(PackageInstallTest, ManifestBesideThePatchListsEveryPatchFileWithItsSizeAndHash) {
  const FolderTree packaged = ReadFolderTree(PackageFolder() + "\\" + kPatchName);
  const std::string manifest = ReadWhole(PackageFolder() + "\\" + kManifestName);
  ASSERT_FALSE(manifest.empty());
  ASSERT_EQ(manifest.back(), '\n');
  std::vector<std::string> listed;
  for (size_t at = 0, end; (end = manifest.find('\n', at)) != std::string::npos; at = end + 1) {
    ManifestEntry entry;
    ASSERT_TRUE(ParseManifestLine(manifest.data() + at, end - at, &entry))
        << manifest.substr(at, end - at);
    listed.push_back(entry.path);
    ASSERT_EQ(packaged.count(entry.path), 1u) << entry.path;
    const std::string& bytes = packaged.at(entry.path);
    EXPECT_EQ(entry.size, bytes.size()) << entry.path;
    EXPECT_EQ(entry.sha256, Sha256Of(bytes)) << entry.path;
  }
  // Sorted as the build sorts them, in their Unix spelling.
  std::vector<std::string> unixPaths = listed;
  for (std::string& path : unixPaths) std::replace(path.begin(), path.end(), '\\', '/');
  EXPECT_TRUE(std::is_sorted(unixPaths.begin(), unixPaths.end()));
  std::sort(listed.begin(), listed.end(), NoCaseLess());
  EXPECT_EQ(listed, Names(packaged)) << "every packaged file once, nothing else";
}

TEST_F(PackageInstallTest, OneRunThroughTheWindowInstallsEveryPatchFileIntoBothInstallations) {
  const FolderTree freshBefore = ReadFolderTree(Config(fresh_));
  const FolderTree olderBefore = ReadFolderTree(Config(older_));
  // The dialog's runs go into the console tool's log, after what is there already.
  const std::string logPath = "C:\\ProgramData\\QuorVantel\\Logs\\qx48patch.log";
  std::string logBefore;
  ReadTextFile(logPath, &logBefore);
  StartUnpackedProgram();

  // What the user sees first: both installations, checked, with what each has installed.
  const int freshRow = session_.FindRow(fresh_.version);
  const int olderRow = session_.FindRow(older_.version);
  ASSERT_EQ(freshRow, 0);
  ASSERT_EQ(olderRow, 1);
  std::vector<PackSession::Row> rows = session_.Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].version, "None");
  EXPECT_EQ(rows[1].version, "V1.0");
  EXPECT_EQ(rows[2].name, "Double click to select the install path of IAR");
  ASSERT_TRUE(session_.SetChecked(freshRow, true));
  ASSERT_TRUE(session_.SetChecked(olderRow, true));
  EXPECT_TRUE(session_.Enabled(PackSession::kDriverPatch));
  EXPECT_EQ(session_.StatusText(), "");

  ASSERT_TRUE(session_.PressDriverPatch()) << "the run did not start";
  const std::string final = session_.WaitForFinalText(30000);
  ExpectFinalTextOfASuccessfulRun(final);
  EXPECT_TRUE(WaitUntil(
      [&] {
        rows = session_.Rows();
        return rows[0].version == "V2.0" && rows[1].version == "V2.0";
      },
      3000))
      << rows[0].version << " " << rows[1].version;
  EXPECT_TRUE(WaitUntil([&] { return session_.Enabled(IDCANCEL); }, 3000));

  for (const Installation* i : {&fresh_, &older_}) {
    const FolderTree after = ReadFolderTree(Config(*i));
    EXPECT_EQ(PatchFilesNotInstalled(patch_, after), std::vector<std::string>{}) << i->folder;
    EXPECT_EQ(after.count(kFlmInPatch), 1u) << i->folder;
  }
  std::string log;
  ASSERT_TRUE(ReadTextFile(logPath, &log));
  const std::string run = log.substr(std::min(logBefore.size(), log.size()));
  for (const std::string& line :
       {std::string("start: QX48_EWARM_pack " QX48_VERSION_TEXT " (" QX48_ARCH_WORDS
                    "), patch V2.0, as "),
        fresh_.folder + ": installed (" + std::to_string(patch_.size()) + " files)",
        older_.folder + ": installed (" + std::to_string(patch_.size()) + " files)",
        "end: " + final}) {
    EXPECT_NE(run.find(line), std::string::npos) << line << "\n" << run;
  }

  // Files of other vendors stay; "Clear old patch" (on by default) took away what V1.0 had and
  // V2.0 has not.
  // Each installation keeps what the run replaced, in its own folder beside the patch's folders.
  for (const Installation* i : {&fresh_, &older_}) {
    EXPECT_TRUE(PathExists(Config(*i) + "\\QX48_EWARM_patch.previous")) << i->folder;
    EXPECT_FALSE(PathExists(Config(*i) + "\\QX48_EWARM_patch.undo")) << i->folder;
  }
  const TreeChanges fresh =
      CompareTrees(freshBefore, WithoutKeptGeneration(ReadFolderTree(Config(fresh_))), patch_);
  EXPECT_EQ(fresh.added.size(), patch_.size());
  EXPECT_EQ(fresh.removed, std::vector<std::string>{});
  EXPECT_EQ(fresh.kept,
            (std::vector<std::string>{"debugger\\Other\\Other.ddf", "devices\\Other\\Other.i79"}));
  const TreeChanges older =
      CompareTrees(olderBefore, WithoutKeptGeneration(ReadFolderTree(Config(older_))), patch_);
  // The V1.0 vendor folder, moved aside whole by "Clear old patch", is the kept generation's.
  size_t keptOld = 0;
  for (const auto& entry : ReadFolderTree(Config(older_) + "\\QX48_EWARM_patch.previous")) {
    if (entry.first.find("QX48H4_obsolete.i79") != std::string::npos) ++keptOld;
  }
  EXPECT_EQ(keptOld, 1u);
  EXPECT_EQ(older.removed, std::vector<std::string>{"devices\\QuorVantel\\QX48H4_obsolete.i79"});
  EXPECT_EQ(older.replaced,
            (std::vector<std::string>{"devices\\QuorVantel\\QX48H410xKx.i79", kVersionFile}));
  EXPECT_EQ(older.kept.size(), 2u);
  EXPECT_EQ(older.altered, std::vector<std::string>{});
  EXPECT_EQ(older.added.size() + older.replaced.size(), patch_.size());

  // A damaged installation is mended by running again from the same window.
  ASSERT_TRUE(WriteTextFile(Config(fresh_) + "\\" + kFlmInPatch, "damaged"));
  ASSERT_TRUE(DeleteFileA((Config(older_) + "\\" + kVersionFile).c_str()));
  ASSERT_TRUE(session_.Enabled(PackSession::kDriverPatch));
  // This run may end with the same text as the first one, and too soon for its first text to
  // be seen: then the click is known to have worked only by the files mended. They are read
  // once the run is over: a reader holding a file open would make the copy fail.
  session_.PressDriverPatch();
  ExpectFinalTextOfASuccessfulRun(session_.WaitForFinalText(30000));
  EXPECT_TRUE(WaitUntil([&] { return session_.Enabled(IDCANCEL); }, 3000));
  EXPECT_EQ(PatchFilesNotInstalled(patch_, ReadFolderTree(Config(fresh_))),
            std::vector<std::string>{});
  EXPECT_EQ(PatchFilesNotInstalled(patch_, ReadFolderTree(Config(older_))),
            std::vector<std::string>{});
  EXPECT_TRUE(session_.Close());
}

TEST_F(PackageInstallTest, AnInstallationUncheckedInTheWindowIsLeftExactlyAsItWas) {
  const FolderTree olderBefore = ReadFolderTree(Config(older_));
  StartUnpackedProgram();
  const int olderRow = session_.FindRow(older_.version);
  ASSERT_NE(olderRow, -1);
  ASSERT_TRUE(session_.SetChecked(olderRow, false));

  ASSERT_TRUE(session_.PressDriverPatch()) << "the run did not start";
  ExpectFinalTextOfASuccessfulRun(session_.WaitForFinalText(30000));

  const FolderTree olderAfter = ReadFolderTree(Config(older_));
  EXPECT_EQ(Names(olderAfter), Names(olderBefore)) << "not even a kept generation";
  EXPECT_EQ(PatchFilesNotInstalled(olderBefore, olderAfter), std::vector<std::string>{});
  EXPECT_EQ(PatchFilesNotInstalled(patch_, ReadFolderTree(Config(fresh_))),
            std::vector<std::string>{});
  const int freshRow = session_.FindRow(fresh_.version);
  EXPECT_TRUE(WaitUntil([&] { return session_.Rows()[size_t(freshRow)].version == "V2.0"; }, 3000));
  EXPECT_EQ(session_.Rows()[size_t(olderRow)].version, "V1.0");
  EXPECT_TRUE(session_.Close());
}

}  // namespace

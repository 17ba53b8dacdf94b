// The patch checked against its manifest, with real files: the manifest is written here from the
// tree as the build writes it, then the tree or the manifest is damaged.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "install/PatchManifest.h"
#include "install/Sha256.h"
#include "tests/support/Sha256Text.h"
#include "tests/install/TreeFiles.h"

namespace {

const std::string kPatch = "C:\\qx48-manifest-test\\QX48_EWARM_patch";
const std::string kManifest = "C:\\qx48-manifest-test\\QX48_EWARM_patch.sha256";

// The manifest of tree's files, one line each, sorted.
std::string ManifestOf(const Tree& tree) {
  std::string text;
  for (const auto& [path, content] : tree) {
    if (content != kFolder)
      text += Sha256Of(content) + "  " + std::to_string(content.size()) + "  " + path + "\n";
  }
  return text;
}

const Tree kTree{{"Qorvantel.Version", "[Install]\r\nVersion=\"V2.0\"\r\n"},
                 {"devices\\QuorVantel\\QX48H410xKx.i79", "[CHIP]\r\n"},
                 {"devices\\QuorVantel\\QX48H410xKx.menu", "menu"},
                 {"flashloader\\QuorVantel\\QX48Flash.FLM", std::string("\x7f"
                                                                        "ELF\0\1",
                                                                        6)},
                 {"flashloader\\QuorVantel\\empty.board", ""}};

struct ManifestCase {
  const char* what;
  std::function<void()> damage;  // after the patch and its manifest are written
  ManifestVerdict verdict;
  const char* text;  // DescribeManifestCheck
};

std::vector<ManifestCase> ManifestCases() {
  const std::string i79 = Join(kPatch, "devices\\QuorVantel\\QX48H410xKx.i79");
  return {
      {"the patch as built", [] {}, kManifestMatches, ""},
      {"no manifest: a patch made by hand", [] { DeleteFileA(kManifest.c_str()); }, kManifestAbsent,
       ""},
      {"a file changed, its size the same", [i79] { WriteFileBytes(i79, "[CHIQ]\r\n"); },
       kPatchFileDiffers, "devices\\QuorVantel\\QX48H410xKx.i79 differs from its manifest"},
      {"a file cut short", [i79] { WriteFileBytes(i79, "[CHIP]"); }, kPatchFileDiffers,
       "devices\\QuorVantel\\QX48H410xKx.i79 differs from its manifest"},
      {"a file missing", [i79] { DeleteFileA(i79.c_str()); }, kPatchFileMissing,
       "devices\\QuorVantel\\QX48H410xKx.i79 is missing"},
      {"a file where the manifest has a folder's name",
       [i79] {
         DeleteFileA(i79.c_str());
         WriteFileBytes(i79 + "\\inner", "x");
       },
       kPatchFileMissing, "devices\\QuorVantel\\QX48H410xKx.i79 is missing"},
      {"an extra file",
       [] { WriteFileBytes(Join(kPatch, "debugger\\QuorVantel\\extra.ddf"), "x"); },
       kPatchFileExtra, "debugger\\QuorVantel\\extra.ddf is not in the manifest"},
      {"an empty manifest", [] { WriteFileBytes(kManifest, ""); }, kPatchFileExtra, nullptr},
      {"the file names in another letter case",
       [] {
         WriteFileBytes(kManifest,
                        ManifestOf({{"QORVANTEL.VERSION", kTree.at("Qorvantel.Version")},
                                    {"Devices\\QuorVantel\\QX48H410xKx.i79", "[CHIP]\r\n"},
                                    {"devices\\QuorVantel\\QX48H410xKx.menu", "menu"},
                                    {"flashloader\\QuorVantel\\QX48Flash.FLM",
                                     kTree.at("flashloader\\QuorVantel\\QX48Flash.FLM")},
                                    {"flashloader\\QuorVantel\\empty.board", ""}}));
       },
       kManifestMatches, ""},
      {"CRLF line ends",
       [] {
         std::string text = ManifestOf(kTree), crlf;
         for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
         WriteFileBytes(kManifest, crlf);
       },
       kManifestMatches, ""},
      {"a malformed line", [] { WriteFileBytes(kManifest, ManifestOf(kTree) + "not a line\n"); },
       kManifestUnreadable, "its manifest is unreadable at line 6"},
      {"a path named twice",
       [] {
         const std::string text = ManifestOf(kTree);
         WriteFileBytes(kManifest, text + text.substr(0, text.find('\n') + 1));
       },
       kManifestUnreadable, "its manifest is unreadable at line 6"},
      {"a path leading out of the patch",
       [] {
         WriteFileBytes(kManifest, ManifestOf({{"..\\outside.txt", "x"}}));
       },
       kManifestUnreadable, "its manifest is unreadable at line 1"},
      {"a manifest larger than any",
       [] { WriteFileBytes(kManifest, std::string(kMaxManifestSize + 1, '\n')); },
       kManifestUnreadable, "its manifest is unreadable"},
  };
}

class PatchManifestTest : public ::testing::Test {
 protected:
  void SetUp() override { RemoveTree("C:\\qx48-manifest-test"); }
  void TearDown() override { RemoveTree("C:\\qx48-manifest-test"); }
};

TEST_F(PatchManifestTest, APatchIsCheckedFileByFileAgainstItsManifest) {
  for (const ManifestCase& c : ManifestCases()) {
    SCOPED_TRACE(c.what);
    RemoveTree("C:\\qx48-manifest-test");
    WriteTree(kPatch, kTree);
    WriteFileBytes(kManifest, ManifestOf(kTree));
    c.damage();
    ManifestCheck check;
    EXPECT_EQ(c.verdict, CheckPatchAgainstManifest(kPatch.c_str(), kManifest.c_str(), &check));
    EXPECT_EQ(c.verdict, check.verdict);
    const std::string text = DescribeManifestCheck(check);
    if (c.text != nullptr) {
      EXPECT_EQ(std::string(c.text), text);
    }
  }
}

// However the files are shared out to be checked, the bad file named is the first in the
// manifest's order.
TEST_F(PatchManifestTest, OfSeveralBadFilesTheFirstInTheManifestIsNamed) {
  Tree tree;
  char name[32];
  for (int i = 0; i < 200; ++i) {
    snprintf(name, sizeof name, "devices\\f%03d.i79", i);
    tree[name] = "file " + std::to_string(i);
  }
  const auto path = [](int i) {
    char file[64];
    snprintf(file, sizeof file, "devices\\f%03d.i79", i);
    return std::string(file);
  };
  struct Damage {
    std::vector<int> changed, missing;
    std::string named;
  };
  const Damage cases[] = {
      {{7, 150, 199}, {}, path(7) + " differs from its manifest"},
      {{120}, {150, 121}, path(120) + " differs from its manifest"},
      {{199}, {0}, path(0) + " is missing"},
      {{198, 199}, {}, path(198) + " differs from its manifest"},
      {{1}, {2, 3}, path(1) + " differs from its manifest"},
  };
  for (const Damage& c : cases) {
    SCOPED_TRACE(c.named);
    RemoveTree("C:\\qx48-manifest-test");
    WriteTree(kPatch, tree);
    WriteFileBytes(kManifest, ManifestOf(tree));
    for (int i : c.changed) WriteFileBytes(Join(kPatch, path(i)), "damaged");
    for (int i : c.missing) DeleteFileA(Join(kPatch, path(i)).c_str());
    ManifestCheck check;
    CheckPatchAgainstManifest(kPatch.c_str(), kManifest.c_str(), &check);
    const std::string text = DescribeManifestCheck(check);
    EXPECT_EQ(c.named, text);
  }
}

// Thirty megabytes of patch, hashed as a run checks it; the time is printed, not judged.
TEST_F(PatchManifestTest, ThirtyMegabytesAreCheckedWhole) {
  Tree tree;
  for (int i = 0; i < 30; ++i) {
    std::string bytes(1 << 20, char('a' + i % 26));
    bytes[size_t(i) * 1000] = 'Z';
    tree["flashloader\\QuorVantel\\image" + std::to_string(i) + ".bin"] = bytes;
  }
  WriteTree(kPatch, tree);
  WriteFileBytes(kManifest, ManifestOf(tree));
  ManifestCheck check;
  const DWORD start = GetTickCount();
  EXPECT_EQ(kManifestMatches, CheckPatchAgainstManifest(kPatch.c_str(), kManifest.c_str(), &check));
  std::printf("manifest check of 30 MiB in 30 files: %lu ms\n",
              static_cast<unsigned long>(GetTickCount() - start));
  WriteFileBytes(Join(kPatch, "flashloader\\QuorVantel\\image29.bin"), std::string(1 << 20, 'd'));
  EXPECT_EQ(kPatchFileDiffers,
            CheckPatchAgainstManifest(kPatch.c_str(), kManifest.c_str(), &check));
}

}  // namespace

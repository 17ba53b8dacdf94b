#include "tests/e2e/ConsoleFixture.h"

#include "tests/support/EwarmRegistry.h"
#include "tests/support/TestFiles.h"

void ConsoleFixture::SetUp() {
  EwarmRegistry::Clear();
  ASSERT_TRUE(RemoveTree(Root()));
  ASSERT_TRUE(CopyFolderTree(WindowsPathOf(QX48_PACKAGE_DIR), Pack()))
      << "could not copy the package";
  ASSERT_TRUE(PathExists(Tool())) << "the package has no qx48patch.exe";
  patch_ = ReadFolderTree(PatchFolder());
  ASSERT_FALSE(patch_.empty());
  old_ = MakeEwarm("EWARM_9.30", "9.30.1", true);
  fresh_ = MakeEwarm("EWARM_10.10", "10.10.1", false);
  Register(old_);
  Register(fresh_);
}

void ConsoleFixture::TearDown() {
  EwarmRegistry::Clear();
}

ConsoleFixture::Ewarm ConsoleFixture::MakeEwarm(const std::string& candidate,
                                                const std::string& version, bool oldPatch) {
  Ewarm ewarm{candidate, version, Root() + "\\" + candidate};
  EXPECT_TRUE(WriteTextFile(Config(ewarm) + "\\devices\\Other\\Other.i79", "[CHIP]\r\n"));
  if (oldPatch) {
    EXPECT_TRUE(WriteTextFile(Config(ewarm) + "\\devices\\QuorVantel\\QX48H410xKx.i79",
                              "[CHIP]\r\nold\r\n"));
    EXPECT_TRUE(
        WriteTextFile(Config(ewarm) + "\\devices\\QuorVantel\\QX48H4_obsolete.i79", "[CHIP]\r\n"));
    EXPECT_TRUE(WriteTextFile(Config(ewarm) + "\\Qorvantel.Version",
                              "[Install]\r\nVersion=\"V1.0\"\r\nDate=\"2025-03-14\"\r\n"));
  }
  return ewarm;
}

void ConsoleFixture::Register(const Ewarm& ewarm) {
  ASSERT_TRUE(EwarmRegistry::Add(ewarm.candidate, ewarm.folder, ewarm.version));
}

bool ConsoleFixture::HoldsPatch(const Ewarm& ewarm) const {
  return PatchFilesNotInstalled(patch_, ReadFolderTree(Config(ewarm))).empty();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// The path rules against real folders under C:\ of the test prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "install/ErrorWords.h"
#include "install/PatchPaths.h"
#include "tests/install/TreeFiles.h"

namespace {

const std::string kRoot = "C:\\qx48-paths-test";

class PatchPathsTest : public ::testing::Test {
 protected:
  void SetUp() override { RemoveTree(kRoot); }
  void TearDown() override { RemoveTree(kRoot); }
};

struct JoinCase {
  std::string installFolder;
  std::string config;
  std::string versionFile;
};

TEST_F(PatchPathsTest, InstallationPathsJoinWithExactlyOneBackslash) {
  const std::string pad(259 - std::strlen("C:\\") - std::strlen("\\arm\\config"),
                        'x');  // config of 259
  const std::vector<JoinCase> cases = {
      {"C:\\EW", "C:\\EW\\arm\\config", "C:\\EW\\arm\\config\\Qorvantel.Version"},
      {"C:\\EW\\", "C:\\EW\\arm\\config", "C:\\EW\\arm\\config\\Qorvantel.Version"},
      {"C:\\", "C:\\arm\\config", "C:\\arm\\config\\Qorvantel.Version"},
      {"\\\\server\\share\\EW 9.30", "\\\\server\\share\\EW 9.30\\arm\\config",
       "\\\\server\\share\\EW 9.30\\arm\\config\\Qorvantel.Version"},
      {"", "", ""},
      {"C:\\" + pad, "C:\\" + pad + "\\arm\\config", ""},  // the version file no longer fits
      {"C:\\" + pad + "y", "", ""},                        // 260: does not fit
      {std::string(1023, 'p'), "", ""},                    // a registry path of full width
  };
  for (const JoinCase& c : cases) {
    SCOPED_TRACE(c.installFolder);
    EXPECT_EQ(c.config, std::string(GetConfigFolder(c.installFolder.c_str())));
    EXPECT_EQ(c.versionFile, std::string(GetVersionFilePath(c.installFolder.c_str())));
  }
}

TEST_F(PatchPathsTest, ToolchainFolderIsOneWithArmConfig) {
  WriteTree(kRoot, {{"EW\\arm\\config", kFolder},
                    {"ArmOnly\\arm", kFolder},
                    {"Upper\\ARM\\Config", kFolder},
                    {"AsFile\\arm\\config", "not a folder"},
                    {"Other\\common\\config", kFolder}});
  const struct {
    std::string folder;
    bool expected;
  } cases[] = {
      {kRoot + "\\EW", true},
      {kRoot + "\\EW\\", true},
      {kRoot + "\\Upper", true},
      {kRoot + "\\AsFile", true},
      {kRoot + "\\ArmOnly", false},
      {kRoot + "\\Other", false},
      {kRoot + "\\Missing", false},
      {kRoot, false},
      {"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, IsToolchainFolder(c.folder.c_str()) != FALSE) << c.folder;
  }
}

TEST_F(PatchPathsTest, VendorDevicesNeedTheDeviceFolderNotJustTheVersionFile) {
  WriteTree(kRoot, {{"Patched\\arm\\config\\devices\\QuorVantel\\q.xml", "x"},
                    {"Lower\\arm\\config\\devices\\quorvantel", kFolder},
                    {"VersionOnly\\arm\\config\\Qorvantel.Version", "[Install]"},
                    {"OtherVendor\\arm\\config\\devices\\Acme", kFolder}});
  const struct {
    std::string folder;
    bool expected;
  } cases[] = {
      {kRoot + "\\Patched", true},      {kRoot + "\\Patched\\", true},
      {kRoot + "\\Lower", true},        {kRoot + "\\VersionOnly", false},
      {kRoot + "\\OtherVendor", false}, {kRoot + "\\Missing", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, HasVendorDevices(c.folder.c_str()) != FALSE) << c.folder;
  }
}

// Where a program lies decides where its patch is, wherever the program was moved.
TEST_F(PatchPathsTest, ThePatchAndItsManifestLieBesideTheProgram) {
  const std::string deep = "C:\\" + std::string(MAX_PATH - 20, 'd') + "\\qx48patch.exe";
  const struct {
    std::string program;
    std::string patch;
  } cases[] = {
      {"C:\\first place\\qx48patch.exe", "C:\\first place\\QX48_EWARM_patch"},
      {"C:\\second\\place\\QX48_EWARM_pack.exe", "C:\\second\\place\\QX48_EWARM_patch"},
      {"C:\\qx48patch.exe", "C:\\QX48_EWARM_patch"},
      {"qx48patch.exe", ""},  // no folder
      {"", ""},               // Windows did not say where the program is
      {deep, ""},             // the patch's path would not fit
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.patch, PatchFolderBeside(c.program)) << c.program;
    EXPECT_EQ(c.patch.empty() ? "" : c.patch + ".sha256", ManifestOf(c.patch)) << c.program;
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// A Win32 error in a line of the log or the output: Windows' words, on one line in lower case
// without a full stop, then the number; the number alone where Windows has no words. (Wine's words
// are its own, "path not found" where Windows says "the system cannot find the path specified".)
TEST(ErrorInWords, WindowsWordsThenTheNumberOrTheNumberAlone) {
  const struct {
    DWORD error;
    const char* pattern;
  } cases[] = {
      {ERROR_PATH_NOT_FOUND, R"((?=[a-z])[^\r\n.]*path[^\r\n.]* \(error 3\))"},
      {ERROR_ACCESS_DENIED, R"((?=[a-z])[^\r\n.]*denied[^\r\n.]* \(error 5\))"},
      {0x2000FFFFu, R"(error 536936447)"},  // no message of the system's
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(std::regex_match(ErrorInWords(c.error), std::regex(c.pattern)))
        << ErrorInWords(c.error);
  }
}

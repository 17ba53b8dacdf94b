// The path rules against real folders under C:\ of the test prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

TEST_F(PatchPathsTest, PatchFolderLiesBesideTheRunningProgram) {
  EXPECT_EQ(Join(FolderOfThisProgram(), "QX48_EWARM_patch"), std::string(GetPatchFolder()));
}

// Runs a copy of this program from another folder and returns the patch folder it reports.
std::string PatchFolderOfCopyIn(const std::string& folder) {
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string copy = Join(folder, "moved_paths_probe.exe");
  const std::string report = Join(folder, "report.txt");
  WriteTree(folder, {});
  EXPECT_TRUE(CopyFileA(self, copy.c_str(), FALSE));
  std::string command = "\"" + copy + "\" --print-patch-folder \"" + report + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  EXPECT_TRUE(CreateProcessA(copy.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process));
  WaitForSingleObject(process.hProcess, 60000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ReadFileBytes(report);
}

TEST_F(PatchPathsTest, MovingTheProgramMovesThePatchFolder) {
  const std::string first = kRoot + "\\first place";
  const std::string second = kRoot + "\\second\\place";
  EXPECT_EQ(first + "\\QX48_EWARM_patch", PatchFolderOfCopyIn(first));
  EXPECT_EQ(second + "\\QX48_EWARM_patch", PatchFolderOfCopyIn(second));
}

TEST_F(PatchPathsTest, PatchAvailableOnlyWhileItsFolderExists) {
  const std::string patch = Join(FolderOfThisProgram(), "QX48_EWARM_patch");
  RemoveTree(patch);
  EXPECT_FALSE(PathFileExistsA(GetPatchFolder()));
  WriteTree(patch, {});
  EXPECT_TRUE(PathFileExistsA(GetPatchFolder()));
  RemoveTree(patch);
}

}  // namespace

int main(int argc, char** argv) {
  // The copy that MovingTheProgramMovesThePatchFolder starts elsewhere reports and ends here.
  if (argc == 3 && std::strcmp(argv[1], "--print-patch-folder") == 0) {
    FILE* report = std::fopen(argv[2], "wb");
    if (report == nullptr) return 2;
    std::fputs(GetPatchFolder(), report);
    std::fclose(report);
    return 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

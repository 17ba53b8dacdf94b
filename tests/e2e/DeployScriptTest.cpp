// The package's deploy scripts run the way Intune or Configuration Manager runs them (cmd /c, as
// the machine's administrator), each followed by the detection rule: install, detect, uninstall,
// detect. Wine has no PowerShell, so the detection is the command detect.ps1 runs, started from
// where detect.ps1 looks for it, read as detect.ps1 reads it.
#include <gtest/gtest.h>

#include "tests/e2e/ConsoleFixture.h"
#include "tests/support/EwarmRegistry.h"
#include "tests/support/TestFiles.h"

namespace {

std::string ProgramFiles() {
  char folder[MAX_PATH] = "";
  // A 32-bit test sees the x86 folder as ProgramFiles; the scripts, started through the 64-bit
  // cmd.exe where there is one, use ProgramW6432.
  if (GetEnvironmentVariableA("ProgramW6432", folder, MAX_PATH) == 0) {
    GetEnvironmentVariableA("ProgramFiles", folder, MAX_PATH);
  }
  return folder;
}

std::string KeptFolder() {
  return ProgramFiles() + "\\QuorVantel\\QX48_EWARM_pack";
}

std::string Cmd() {
  char windows[MAX_PATH] = "";
  GetWindowsDirectoryA(windows, MAX_PATH);
  // Sysnative reaches the 64-bit system folder from a 32-bit program, as a distribution agent's
  // 64-bit process would start cmd.exe.
  const std::string native = std::string(windows) + "\\Sysnative\\cmd.exe";
  return PathExists(native) ? native : std::string(windows) + "\\System32\\cmd.exe";
}

class DeployScriptTest : public ConsoleFixture {
 protected:
  void SetUp() override {
    ConsoleFixture::SetUp();
    ASSERT_TRUE(RemoveTree(ProgramFiles() + "\\QuorVantel"));
  }
  void TearDown() override {
    RemoveTree(ProgramFiles() + "\\QuorVantel");
    ConsoleFixture::TearDown();
  }

  ConsoleResult Script(const char* name) {
    return RunConsole(Cmd(), "/c " + Quoted(Pack() + "\\deploy\\" + name));
  }

  // detect.ps1: installed when the kept tool's status is 0; exit code 0 either way.
  bool Detected() {
    const std::string tool = KeptFolder() + "\\qx48patch.exe";
    return PathExists(tool) && RunConsole(tool, "status --all --quiet").exitCode == 0;
  }
};

TEST_F(DeployScriptTest, DetectionScriptRunsTheStatusCommandTheTestReadsInItsPlace) {
  std::string script;
  ASSERT_TRUE(ReadTextFile(Pack() + "\\deploy\\detect.ps1", &script));
  EXPECT_NE(script.find("'QuorVantel\\QX48_EWARM_pack\\qx48patch.exe'"), std::string::npos);
  EXPECT_NE(script.find("& $tool status --all --quiet"), std::string::npos);
  EXPECT_NE(script.find("if ($LASTEXITCODE -eq 0)"), std::string::npos);
}

struct DeployStep {
  const char* script;  // empty: only the detection
  DWORD code;
  bool detected;
};

TEST_F(DeployScriptTest, InstallDetectUninstallDetectGiveTheCodesADistributionSystemExpects) {
  const DeployStep steps[] = {
      {"", 0, false},
      {"install.cmd", 0, true},
      {"install.cmd", 0, true},  // a second delivery changes nothing a detection sees
      {"uninstall.cmd", 0, false},
      {"uninstall.cmd", 0, false},
  };
  for (const DeployStep& step : steps) {
    SCOPED_TRACE(step.script);
    if (*step.script) {
      const ConsoleResult result = Script(step.script);
      ASSERT_TRUE(result.finished);
      EXPECT_EQ(result.exitCode, step.code) << result.out << result.err;
    }
    EXPECT_EQ(Detected(), step.detected);
    EXPECT_EQ(HoldsPatch(old_), step.detected);
    EXPECT_EQ(HoldsPatch(fresh_), step.detected);
  }
  EXPECT_FALSE(PathExists(KeptFolder())) << "uninstall left the kept tool behind";
  std::string log;
  EXPECT_TRUE(ReadTextFile("C:\\ProgramData\\QuorVantel\\qx48patch.log", &log));
}

TEST_F(DeployScriptTest, ScriptsPassOnTheToolsCodesForAMachineWithoutEwarmAndABusyMachine) {
  EwarmRegistry::Clear();
  EXPECT_EQ(Script("install.cmd").exitCode, 2u);
  EXPECT_EQ(Script("uninstall.cmd").exitCode, 0u) << "nothing to uninstall is no failure";
  Register(old_);
  const std::string patch = Pack() + "\\QX48_EWARM_patch\\Qorvantel.Version";
  ASSERT_TRUE(DeleteFileA(patch.c_str()));
  EXPECT_EQ(Script("install.cmd").exitCode, 1612u);
  EXPECT_FALSE(Detected());
}

}  // namespace

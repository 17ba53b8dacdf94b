// The package's deploy scripts run the way Intune or Configuration Manager runs them (cmd /c, as
// the machine's administrator), each followed by the detection rule, on machines in the shapes a
// fleet has. Wine has no PowerShell, so the detection is the one command detect.ps1 runs, started
// from where detect.ps1 looks for it, read as detect.ps1 reads it.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <regex>
#include <utility>

#include "tests/e2e/ConsoleFixture.h"
#include "tests/support/EwarmRegistry.h"
#include "tests/support/Sha256Text.h"
#include "tests/support/TestFiles.h"
#include "toolchain/RegistryScan.h"

namespace {

constexpr const char* kUninstallEntry =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QX48_EWARM_patch";

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

bool HasUninstallEntryIn(REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallEntry, 0, KEY_READ | view, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// A value of the entry in the 64-bit view, as its bytes; empty when there is none.
std::string EntryValue(const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallEntry, 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
      ERROR_SUCCESS)
    return "";
  char value[256] = "";
  DWORD size = sizeof value - 1;
  const bool read = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                                     &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  return read ? std::string(value, size) : "";
}

std::string EntryText(const char* name) {
  const std::string value = EntryValue(name);
  return value.substr(0, value.find('\0'));
}

// The one entry Programs and Features shows: in the 64-bit view, whichever package wrote it, and
// never a second one in the 32-bit view; its version a number inventory rules can compare, with
// the date and size an inventory report shows.
bool HasUninstallEntry() {
  EXPECT_FALSE(HasUninstallEntryIn(KEY_WOW64_32KEY)) << "an entry in the 32-bit view";
  if (!HasUninstallEntryIn(KEY_WOW64_64KEY)) return false;
  EXPECT_TRUE(std::regex_match(EntryText("DisplayVersion"), std::regex(R"(\d+(\.\d+)*)")))
      << EntryText("DisplayVersion");
  EXPECT_TRUE(std::regex_match(EntryText("InstallDate"), std::regex(R"(20\d{6})")))
      << EntryText("InstallDate");
  const std::string size = EntryValue("EstimatedSize");
  DWORD kilobytes = 0;
  if (size.size() == sizeof kilobytes) memcpy(&kilobytes, size.data(), sizeof kilobytes);
  EXPECT_GT(kilobytes, 100u) << "the kept tool and its patch take more than 100 KiB";
  return true;
}

// The tree without what no patch brings: another vendor's files stay through it all.
FolderTree PatchPart(const FolderTree& tree) {
  FolderTree part;
  for (const auto& [path, content] : tree) {
    if (path.find("QuorVantel") != std::string::npos || path == "Qorvantel.Version" ||
        path.rfind("QX48_EWARM_patch.", 0) == 0)
      part[path] = content;
  }
  return part;
}

class DeployScriptTest : public ConsoleFixture {
 public:
  // What the fleet table's rows arrange a machine with.
  using ConsoleFixture::fresh_;
  using ConsoleFixture::HoldPatch;
  using ConsoleFixture::old_;
  using ConsoleFixture::Pack;
  using ConsoleFixture::patch_;
  using ConsoleFixture::PatchFolder;
  using ConsoleFixture::Register;

  void SetUp() override {
    ConsoleFixture::SetUp();
    ASSERT_TRUE(RemoveTree(ProgramFiles() + "\\QuorVantel"));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallEntry);
    // The second EWARM of one version, in a folder of its own: registered by the rows that want it.
    twin_ = MakeEwarm("EWARM_10.10_twin", "10.10.1", false);
  }
  void TearDown() override {
    RemoveTree(ProgramFiles() + "\\QuorVantel");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallEntry);
    ConsoleFixture::TearDown();
  }

  ConsoleResult Script(const char* name) const {
    return RunConsole(Cmd(), "/c " + Quoted(Pack() + "\\deploy\\" + name));
  }

  // detect.ps1: installed when the kept tool's detect prints a line with exit code 0.
  bool Detected() const {
    const std::string tool = KeptFolder() + "\\qx48patch.exe";
    if (!PathExists(tool)) return false;
    const ConsoleResult detect = RunConsole(tool, "detect --at-least V2.0");
    return detect.exitCode == 0 && !detect.out.empty();
  }

  Ewarm twin_;
};

TEST_F(DeployScriptTest, DetectionAndRequirementScriptsAskWhatTheTestAndTheToolAsk) {
  std::string detect;
  ASSERT_TRUE(ReadTextFile(Pack() + "\\deploy\\detect.ps1", &detect));
  EXPECT_NE(detect.find("'QuorVantel\\QX48_EWARM_pack\\qx48patch.exe'"), std::string::npos);
  EXPECT_NE(detect.find("& $tool detect --at-least 'V2.0'"), std::string::npos) << detect;
  EXPECT_EQ(detect.find("--verify"), std::string::npos) << detect;
  ASSERT_TRUE(ReadTextFile(Pack() + "\\deploy\\detect-verified.ps1", &detect));
  EXPECT_NE(detect.find("& $tool detect --at-least 'V2.0' --verify"), std::string::npos) << detect;
  std::string requirement;
  ASSERT_TRUE(ReadTextFile(Pack() + "\\deploy\\requirement.ps1", &requirement));
  for (const char* key : {kLocationsKeyPath, kLocationsKeyPathWow64}) {
    EXPECT_NE(requirement.find(std::string("'") + key), std::string::npos) << key;
  }
  EXPECT_NE(requirement.find(std::string(".") + kInstallPathValue), std::string::npos);
}

// Programs and Features says what the installations hold after each restore: the oldest patch
// still held, then no entry once none holds one.
TEST_F(DeployScriptTest, EachRestoreLeavesTheProgramsAndFeaturesEntryTrueToTheInstallations) {
  ASSERT_EQ(Script("install.cmd").exitCode, 0u);
  const std::string tool = KeptFolder() + "\\qx48patch.exe";
  const struct {
    const char* after;
    bool entry;
    const char* version;
  } steps[] = {
      {"install.cmd", true, "2.0"},
      {"a restore: the older installation back to V1.0, the other without a patch", true, "1.0"},
      {"a second restore: V1.0 taken out too", false, ""}};
  for (const auto& step : steps) {
    if (&step != &steps[0]) {
      const ConsoleResult restored = RunConsole(tool, "restore --all");
      EXPECT_EQ(restored.exitCode, 0u) << step.after << "\n" << restored.out << restored.err;
    }
    EXPECT_EQ(HasUninstallEntry(), step.entry) << step.after;
    EXPECT_EQ(EntryText("DisplayVersion"), step.version) << step.after;
  }
}

// Which of the fixture's installations: the V1.0 one, the unpatched one, and a second
// installation of the unpatched one's version in a folder of its own.
enum : unsigned { kOld = 1, kFresh = 2, kTwin = 4, kBoth = kOld | kFresh };

// One machine's shape, what install.cmd then gives and leaves, and what uninstall.cmd does after.
struct FleetRow {
  const char* name;
  std::function<void(DeployScriptTest&)> arrange;
  bool twoAtOnce;  // two deployments start together: one may be told to retry (1618)
  DWORD installCode;
  bool detected;     // after install.cmd
  unsigned patched;  // the installations that hold the patch after install.cmd; the others are
                     // as they were
  unsigned fleet;    // the installations the registry records: uninstall.cmd empties them
  unsigned keptNewer = 0;  // those of the fleet whose newer patch uninstall.cmd leaves as it is
  // Done before uninstall.cmd, which then gives 32 and leaves the held installation as it was,
  // and succeeds once the file is let go of.
  std::function<void(DeployScriptTest&)> beforeUninstall = nullptr;
};

TEST_F(DeployScriptTest, EveryFleetScenarioGivesItsCodeAndLeavesTheInstallationsAsPromised) {
  HANDLE lockHolder = nullptr;
  HANDLE heldFile = INVALID_HANDLE_VALUE;
  const FleetRow rows[] = {
      {"a plain machine", [](DeployScriptTest&) {}, false, 0, true, kBoth, kBoth},
      {"two installations of one version", [](DeployScriptTest& t) { t.Register(t.twin_); }, false,
       0, true, kBoth | kTwin, kBoth | kTwin},
      // The first delivery before the row's install.cmd, into the one EWARM there was then. The
      // uninstall afterwards takes the patch out of both; what the first delivery replaced in
      // the first (the older V1.0 patch) went with the generation the second delivery used up.
      {"a second delivery after a second EWARM was added",
       [](DeployScriptTest& t) {
         EwarmRegistry::Clear();
         t.Register(t.old_);
         ASSERT_EQ(t.Script("install.cmd").exitCode, 0u);
         t.Register(t.fresh_);
         ASSERT_FALSE(t.Detected()) << "the added EWARM lacks the patch";
       },
       false, 0, true, kBoth, kBoth},
      {"two deployments at once", [](DeployScriptTest&) {}, true, 0, true, kBoth, kBoth},
      {"damaged package: a device file changed, the flash loader gone",
       [](DeployScriptTest& t) {
         ASSERT_TRUE(WriteTextFile(t.PatchFolder() + "\\devices\\QuorVantel\\QX48H410xKx.i79",
                                   "[CHIP]\r\nchanged\r\n"));
         ASSERT_TRUE(RemoveTree(t.PatchFolder() + "\\flashloader"));
       },
       false, 1612, false, 0, kBoth},
      // Damage is caught by the manifest; a manifest made afresh to match the change is caught by
      // the digest of its own manifest that the program carries.
      {"tampered package: a device file changed and its manifest line made to match",
       [](DeployScriptTest& t) {
         const std::string changed = "[CHIP]\r\ntampered\r\n";
         const std::string file = "devices\\QuorVantel\\QX48H410xKx.i79";
         ASSERT_TRUE(WriteTextFile(t.PatchFolder() + "\\" + file, changed));
         std::string manifest;
         ASSERT_TRUE(ReadTextFile(t.PatchFolder() + ".sha256", &manifest));
         const size_t line = manifest.find("  " + file);
         ASSERT_NE(line, std::string::npos);
         const size_t start = manifest.rfind('\n', line) + 1;
         manifest.replace(start, line - start,
                          Sha256Of(changed) + "  " + std::to_string(changed.size()));
         ASSERT_TRUE(WriteTextFile(t.PatchFolder() + ".sha256", manifest));
       },
       false, 1612, false, 0, kBoth},
      {"partial package: half the patch copied",
       [](DeployScriptTest& t) {
         size_t i = 0;
         for (const auto& file : t.patch_) {
           if (i++ % 2 == 1) {
             ASSERT_TRUE(DeleteFileA((t.PatchFolder() + "\\" + file.first).c_str()));
           }
         }
       },
       false, 1612, false, 0, kBoth},
      {"a newer patch in every installation",
       [](DeployScriptTest& t) {
         t.HoldPatch(t.old_, "V2.1");
         t.HoldPatch(t.fresh_, "V2.1");
         // The later package's tool, kept where detect.ps1 runs it.
         ASSERT_TRUE(CopyFolderTree(t.Pack(), KeptFolder()));
       },
       false, 0, true, 0, kBoth, kBoth},
      {"a newer patch in one installation",
       [](DeployScriptTest& t) { t.HoldPatch(t.old_, "V2.1"); }, false, 0, true, kFresh, kBoth,
       kOld},
      // A user's files saying a newer version that no install put there keep nothing away.
      {"a newer version planted with the patch's files, no install of it recorded",
       [](DeployScriptTest& t) { t.HoldPatch(t.fresh_, "V99.0", false); }, false, 0, true, kBoth,
       kBoth},
      {"no EWARM", [](DeployScriptTest&) { EwarmRegistry::Clear(); }, false, 1642, false, 0, 0},
      // Shared for reading only, so the test can read the tree; it cannot be replaced.
      {"a file in use",
       [&heldFile](DeployScriptTest& t) {
         heldFile = CreateFileA((Config(t.old_) + "\\devices\\QuorVantel\\QX48H410xKx.i79").c_str(),
                                GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
         ASSERT_NE(heldFile, INVALID_HANDLE_VALUE);
       },
       false, 32, false, kFresh, kBoth},
      {"a file in use at uninstall", [](DeployScriptTest&) {}, false, 0, true, kBoth, kBoth, 0,
       [&heldFile](DeployScriptTest& t) {
         heldFile = CreateFileA((Config(t.old_) + "\\devices\\QuorVantel\\QX48H410xKx.i79").c_str(),
                                GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
         ASSERT_NE(heldFile, INVALID_HANDLE_VALUE);
         // What a redeployment stopped half way left beside the kept tool.
         ASSERT_TRUE(WriteTextFile(KeptFolder() + ".old-7-9\\qx48patch.exe", "old"));
       }},
      // The lock's folder as an elevated run makes it (one that takes the lock, then stops at a
      // folder that is no installation), then its file held without sharing, as the dialog
      // holds it for a run.
      {"the dialog installing (its lock held)",
       [&lockHolder](DeployScriptTest& t) {
         ASSERT_EQ(RunConsole(t.Tool(), "install --target " + t.Root() + "\\nowhere").exitCode,
                   1642u);
         lockHolder = CreateFileA("C:\\ProgramData\\QuorVantel\\Lock\\install.lock",
                                  GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
         ASSERT_NE(lockHolder, INVALID_HANDLE_VALUE);
       },
       false, 1618, false, 0, kBoth},
      // A named object is anyone's to make: the lock's name of old, held by a user, stops nothing.
      {"a user holding the install lock's old mutex name",
       [&lockHolder](DeployScriptTest&) {
         lockHolder = CreateMutexA(nullptr, TRUE, "Global\\QX48_EWARM_pack.install");
         ASSERT_NE(lockHolder, nullptr);
       },
       false, 0, true, kBoth, kBoth},
  };
  for (const FleetRow& row : rows) {
    SCOPED_TRACE(row.name);
    SetUp();
    row.arrange(*this);
    const std::vector<const Ewarm*> machines = {&old_, &fresh_, &twin_};
    std::vector<FolderTree> before;
    for (const Ewarm* ewarm : machines) before.push_back(ReadFolderTree(Config(*ewarm)));

    if (row.twoAtOnce) {
      ConsoleRun first;
      ConsoleRun second;
      ASSERT_TRUE(first.Start(Cmd(), "/c " + Quoted(Pack() + "\\deploy\\install.cmd")));
      ASSERT_TRUE(second.Start(Cmd(), "/c " + Quoted(Pack() + "\\deploy\\install.cmd")));
      const DWORD a = first.Wait().exitCode;
      const DWORD b = second.Wait().exitCode;
      EXPECT_TRUE((a == 0 && (b == 0 || b == 1618)) || (b == 0 && a == 1618)) << a << " " << b;
    } else {
      const ConsoleResult result = Script("install.cmd");
      ASSERT_TRUE(result.finished);
      EXPECT_EQ(result.exitCode, row.installCode) << result.out << result.err;
    }
    if (heldFile != INVALID_HANDLE_VALUE)
      CloseHandle(std::exchange(heldFile, INVALID_HANDLE_VALUE));
    if (lockHolder != nullptr && lockHolder != INVALID_HANDLE_VALUE)
      CloseHandle(lockHolder);
    lockHolder = nullptr;
    EXPECT_EQ(Detected(), row.detected);
    for (size_t i = 0; i < machines.size(); ++i) {
      if (row.patched & (1u << i)) {
        EXPECT_TRUE(HoldsPatch(*machines[i])) << machines[i]->folder;
      } else {
        EXPECT_EQ(ReadFolderTree(Config(*machines[i])), before[i]) << machines[i]->folder;
      }
    }
    EXPECT_EQ(HasUninstallEntry(), row.installCode == 0);
    if (row.installCode == 0) {
      ASSERT_EQ(RunConsole(KeptFolder() + "\\qx48patch.exe", "status --quiet").exitCode, 0u)
          << "the kept tool and its patch are not whole";
    }

    std::vector<FolderTree> installed;
    for (const Ewarm* ewarm : machines) installed.push_back(ReadFolderTree(Config(*ewarm)));
    if (row.beforeUninstall) {
      row.beforeUninstall(*this);
      const ConsoleResult blocked = Script("uninstall.cmd");
      EXPECT_EQ(blocked.exitCode, 32u) << blocked.out << blocked.err;
      CloseHandle(std::exchange(heldFile, INVALID_HANDLE_VALUE));
      EXPECT_EQ(ReadFolderTree(Config(old_)), installed[0]) << "the held installation changed";
    }
    const ConsoleResult removed = Script("uninstall.cmd");
    // Every shape uninstalls with 0: no EWARM is nothing to take out, and each failure before
    // left nothing the uninstall cannot take.
    EXPECT_EQ(removed.exitCode, 0u) << removed.out << removed.err;
    EXPECT_FALSE(Detected());
    for (size_t i = 0; i < machines.size(); ++i) {
      const FolderTree now = ReadFolderTree(Config(*machines[i]));
      if (!(row.fleet & (1u << i))) {
        EXPECT_EQ(now, before[i]) << machines[i]->folder;
        continue;
      }
      if (row.keptNewer & (1u << i)) {
        EXPECT_EQ(now, installed[i]) << machines[i]->folder << ": its newer patch was taken out";
        continue;
      }
      EXPECT_EQ(PatchPart(now), FolderTree()) << machines[i]->folder;
      EXPECT_EQ(now.count("devices\\Other\\Other.i79"), 1u) << machines[i]->folder;
    }
    EXPECT_FALSE(PathExists(KeptFolder())) << "uninstall left the kept tool behind";
    EXPECT_FALSE(PathExists(KeptFolder() + ".old-7-9")) << "uninstall left a deployment's leftover";
    EXPECT_FALSE(HasUninstallEntry());
  }
}

}  // namespace

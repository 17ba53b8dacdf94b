// qx48patch.exe as a distribution system or a detection script meets it: its usage errors, its
// help, list (the JSON read field by field), status and restore, each by its exit code and what
// it leaves on disk.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <regex>
#include <set>

#include "cli/ExitCodes.h"
#include "tests/e2e/ConsoleFixture.h"
#include "tests/support/EwarmRegistry.h"
#include "tests/support/TestFiles.h"

namespace {

std::string CharUpper(std::string text) {
  for (char& c : text) c = char(toupper(static_cast<unsigned char>(c)));
  return text;
}

// The exit codes that help and README document: the program's, and nothing else.
const std::set<DWORD> kDocumentedCodes(std::begin(kAllExitCodes), std::end(kAllExitCodes));

struct UsageCase {
  const char* arguments;
  DWORD code;
  const char* errorText;  // part of what standard error says
};

class ConsoleCommandsTest : public ConsoleFixture {};

TEST_F(ConsoleCommandsTest, EveryUsageErrorIsOneLineAndExitCode1639AndTouchesNothing) {
  const std::string longFolder(300, 'x');
  const std::string tooManyTargets = [] {
    std::string arguments = "install";
    for (int i = 0; i < 65; ++i) arguments += " --target C:\\EW" + std::to_string(i);
    return arguments;
  }();
  const UsageCase cases[] = {
      {"", 1639, "no command given"},
      {"frobnicate", 1639, "unknown command frobnicate"},
      {"install --bogus", 1639, "unknown option --bogus"},
      {"install --target", 1639, "--target needs a value"},
      {"install --target=", 1639, "--target needs a value"},
      {"install --all --newest", 1639, "choose one of"},
      {"install --all --target C:\\x", 1639, "choose one of"},
      {"install --quiet --quiet", 1639, "--quiet given twice"},
      {"install --dry-run=yes", 1639, "--dry-run takes no value"},
      {"install --log a.log --log b.log", 1639, "--log given twice"},
      {"list --quiet", 1639, "--quiet is not an option of list"},
      {"status --dry-run", 1639, "--dry-run is not an option of status"},
      {"repair --dry-run", 1639, "--dry-run is not an option of repair"},
      {"detect --verify=yes", 1639, "--verify takes no value"},
      {"restore", 1639, "restore needs --target FOLDER or --all"},
      {"help --all", 1639, "--all is not an option of help"},
      {"detect --all", 1639, "--all is not an option of detect"},
      {"--version --quiet", 1639, "--version takes no options"},
      {"detect --at-least banana", 1639, "--at-least takes a patch version such as V2.0"},
      {"detect --at-least V2..0", 1639, "--at-least takes a patch version"},
  };
  std::vector<std::pair<std::string, std::string>> all;
  for (const UsageCase& c : cases) all.push_back({c.arguments, c.errorText});
  all.push_back({"install --target " + longFolder, "longer than Windows takes"});
  all.push_back({tooManyTargets, "at most 64 --target options"});
  const FolderTree before = ReadFolderTree(Config(old_));
  for (const auto& c : all) {
    SCOPED_TRACE(c.first.substr(0, 80));
    const ConsoleResult result = Run(c.first);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1639u);
    EXPECT_NE(result.err.find(c.second), std::string::npos) << result.err;
    EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(ReadFolderTree(Config(old_)), before);
}

TEST_F(ConsoleCommandsTest, HelpAndReadmeDocumentExactlyTheExitCodesTheProgramUses) {
  for (const char* spelling : {"help", "HELP", "/?", "--help"}) {
    const ConsoleResult help = Run(spelling);
    EXPECT_EQ(help.exitCode, 0u) << spelling;
    std::set<DWORD> documented;
    bool inCodes = false;
    for (const std::string& line : Lines(help.out)) {
      if (line == "Exit codes:") inCodes = true;
      std::smatch code;
      if (inCodes && std::regex_match(line, code, std::regex(R"(\s+(\d+)  \S.*)")))
        documented.insert(std::stoul(code[1]));
    }
    EXPECT_EQ(documented, kDocumentedCodes) << spelling;
    for (const char* command : {"list", "install", "status", "detect", "restore", "uninstall",
                                "verify", "repair", "--verify", "--version", "--dry-run", "--log",
                                "--keep-old-patch", "--allow-downgrade", "--deploy-to", "--json"}) {
      EXPECT_NE(help.out.find(command), std::string::npos) << command;
    }
  }
  std::string readme;
  ASSERT_TRUE(ReadTextFile(WindowsPathOf(QX48_SOURCE_DIR "/README.md"), &readme));
  for (DWORD code : kDocumentedCodes) {
    EXPECT_TRUE(std::regex_search(readme, std::regex("\\| `" + std::to_string(code) + "` \\|")))
        << code;
  }
}

TEST_F(ConsoleCommandsTest, ListJsonHasEveryInstallationFolderInTheDialogsOrderFieldByField) {
  // A second installation of a version in another folder is listed too, after the first (the
  // dialog shows one row per version); "10.10.1" sorts before "9.30.1" as text. One installation
  // holds the package's own patch: current.
  const Ewarm current = MakeEwarm("EWARM_8.40", "8.40.2", false);
  ASSERT_TRUE(CopyFolderTree(PatchFolder(), Config(current)));
  Register(current);
  const Ewarm repeated = MakeEwarm("EWARM_9.30_again", "9.30.1", false);
  Register(repeated);
  // The same folder recorded again, in other letters and with a trailing backslash: one row.
  ASSERT_TRUE(EwarmRegistry::Add("EWARM_9.30_copy", CharUpper(old_.folder) + "\\", "9.30.1"));

  const ConsoleResult result = Run("list --json");
  ASSERT_EQ(result.exitCode, 0u) << result.err;
  const nlohmann::json json = nlohmann::json::parse(result.out);
  EXPECT_EQ(json["schema"], 1);
  EXPECT_EQ(json["tool"], "1.1");
  EXPECT_EQ(json["command"], "list");
  EXPECT_EQ(json["patch"]["version"], "V2.0");
  EXPECT_EQ(json["patch"]["usable"], true);
  EXPECT_TRUE(
      std::regex_match(json["patch"]["date"].get<std::string>(), std::regex(R"(\d{4}-\d\d-\d\d)")));
  struct Expected {
    const Ewarm* ewarm;
    const char* installed;
    bool current;
  };
  const Expected expected[] = {{&fresh_, "None", false},
                               {&current, "V2.0", true},
                               {&old_, "V1.0", false},
                               {&repeated, "None", false}};
  ASSERT_EQ(json["installations"].size(), 4u) << result.out;
  for (size_t i = 0; i < 4; ++i) {
    const nlohmann::json& row = json["installations"][i];
    SCOPED_TRACE(expected[i].ewarm->version);
    EXPECT_EQ(row["name"], "IAR Embedded Workbench IDE - ARM " + expected[i].ewarm->version);
    EXPECT_EQ(row["folder"], expected[i].ewarm->folder);
    EXPECT_EQ(row["version"], expected[i].ewarm->version);
    EXPECT_EQ(row["installedPatch"], expected[i].installed);
    EXPECT_EQ(row["current"], expected[i].current);
    EXPECT_EQ(row.size(), 6u);
  }
  EXPECT_EQ(json["installations"][2]["installedDate"], "2025-03-14");

  const ConsoleResult text = Run("list");
  EXPECT_EQ(text.exitCode, 0u);
  EXPECT_EQ(Lines(text.out).size(), 5u) << text.out;  // the patch, then one line per installation

  EwarmRegistry::Clear();
  const ConsoleResult none = Run("list --json");
  EXPECT_EQ(none.exitCode, 1642u);
  EXPECT_EQ(nlohmann::json::parse(none.out)["installations"].size(), 0u);
}

struct StatusStep {
  const char* arguments;  // "%OLD%" and "%FRESH%" stand for the installations' folders
  DWORD code;
};

std::string Expand(std::string text, const std::string& oldFolder, const std::string& freshFolder) {
  for (const auto& [name, value] :
       {std::pair<std::string, std::string>{"%OLD%", oldFolder}, {"%FRESH%", freshFolder}}) {
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name))
      text.replace(at, name.size(), value);
  }
  return text;
}

TEST_F(ConsoleCommandsTest, StatusBeforeAndAfterInstallsAndRestores) {
  const StatusStep steps[] = {
      {"status", 1},
      {"status --target %OLD%", 1},
      {"status --target C:\\qx48-cli\\nowhere", 1642},
      {"install --target %OLD%", 0},
      {"status --target %OLD%", 0},
      {"status --target %OLD% --target %FRESH%", 1},
      {"status", 1},
      {"install --all", 0},
      {"status", 0},
      {"status --quiet", 0},
      {"restore --target %FRESH%", 0},
      {"status --target %OLD%", 0},
      {"status", 1},
  };
  for (const StatusStep& step : steps) {
    const std::string arguments = Expand(step.arguments, old_.folder, fresh_.folder);
    const ConsoleResult result = Run(arguments);
    EXPECT_EQ(result.exitCode, step.code) << arguments << "\n" << result.out << result.err;
    if (arguments == "status --quiet") {
      EXPECT_EQ(result.out, "");
    }
  }
  // A newer patch counts as current: install leaves it and goes on with the others; only
  // --allow-downgrade installs over it.
  HoldPatch(old_, "V2.1");
  const nlohmann::json json =
      nlohmann::json::parse(Run("status --json --target " + old_.folder).out);
  EXPECT_EQ(json["schema"], 1);
  EXPECT_EQ(json["installations"][0]["standing"], "newer");
  EXPECT_EQ(json["exitCode"], 0);
  const FolderTree newer = ReadFolderTree(Config(old_));
  const nlohmann::json plan =
      nlohmann::json::parse(Run("install --dry-run --json --target " + old_.folder).out);
  EXPECT_EQ(plan["installations"][0]["plan"], "newerInstalled");
  EXPECT_EQ(plan["installations"][0]["add"].size(), 0u);
  const ConsoleResult kept = Run("install");
  EXPECT_EQ(kept.exitCode, 0u) << kept.out << kept.err;
  EXPECT_NE(kept.out.find(old_.folder + ": holds patch V2.1, newer than this package's V2.0: left "
                                        "as it is, counted as up to date"),
            std::string::npos)
      << kept.out;
  EXPECT_EQ(ReadFolderTree(Config(old_)), newer);
  EXPECT_TRUE(HoldsPatch(fresh_));
  EXPECT_EQ(Run("install --allow-downgrade --target " + old_.folder).exitCode, 0u);
  EXPECT_TRUE(HoldsPatch(old_));
  EwarmRegistry::Clear();
  const ConsoleResult none = Run("status --json");
  EXPECT_EQ(none.exitCode, 1642u);
  EXPECT_EQ(nlohmann::json::parse(none.out)["exitCode"], 1642) << "a document for a stop, too";
}

// A patched installation changed by hand, and what verify must find in it.
struct VerifyCase {
  const char* change;  // for the failure message
  void (*make)(const std::string& config);
  const char* verdict;
  const char* kind;  // of the one difference it finds
  const char* path;
  DWORD detect;  // plain detect afterwards; detect --verify says 1 in every row
};

TEST_F(ConsoleCommandsTest, VerifyFindsEachFileChangedByHandAndRepairMendsOnlyThatInstallation) {
  std::vector<Ewarm> every = {old_, fresh_};
  for (int i = 0; i < 18; ++i) {
    every.push_back(
        MakeEwarm("EWARM_9." + std::to_string(i), "9." + std::to_string(i) + ".0", false));
    Register(every.back());
  }
  ASSERT_EQ(Run("install --all").exitCode, 0u);
  ASSERT_EQ(Run("verify").exitCode, 0u);
  const VerifyCase cases[] = {
      {"a patch file deleted",
       [](const std::string& config) {
         ASSERT_TRUE(DeleteFileA((config + "\\devices\\QuorVantel\\QX48H410xKx.menu").c_str()));
       },
       "differs", "missing", "devices\\QuorVantel\\QX48H410xKx.menu", 0},
      {"one byte of the flash image changed",
       [](const std::string& config) {
         const std::string path = config + "\\flashloader\\QuorVantel\\QX48Flash.FLM";
         std::string bytes;
         ASSERT_TRUE(ReadTextFile(path, &bytes));
         bytes[bytes.size() / 2] ^= 1;
         ASSERT_TRUE(WriteTextFile(path, bytes));
       },
       "differs", "changed", "flashloader\\QuorVantel\\QX48Flash.FLM", 0},
      {"a foreign file in a vendor folder",
       [](const std::string& config) {
         ASSERT_TRUE(WriteTextFile(config + "\\devices\\QuorVantel\\Stray.i79", "[CHIP]\r\n"));
       },
       "differs", "foreign", "devices\\QuorVantel\\Stray.i79", 0},
      {"the version file says an older patch",
       [](const std::string& config) {
         ASSERT_TRUE(WriteTextFile(config + "\\Qorvantel.Version",
                                   "[Install]\r\nVersion=\"V1.0\"\r\nDate=\"2025-03-14\"\r\n"));
       },
       "otherPatch", "changed", "Qorvantel.Version", 1},
  };
  for (size_t row = 0; row < std::size(cases); ++row) {
    const VerifyCase& c = cases[row];
    const Ewarm& changed = every[row * 5 + 1];
    c.make(Config(changed));
    std::vector<FolderTree> before;
    for (const Ewarm& ewarm : every) before.push_back(ReadFolderTree(Config(ewarm)));

    const ConsoleResult verify = Run("verify --json");
    EXPECT_EQ(verify.exitCode, 1392u) << c.change << "\n" << verify.out << verify.err;
    // By folder: the document lists the installations in the dialog's order.
    const nlohmann::json document = nlohmann::json::parse(verify.out);
    std::map<std::string, nlohmann::json> found;
    for (const nlohmann::json& one : document["installations"]) found[one["folder"]] = one;
    ASSERT_EQ(found.size(), every.size()) << verify.out;
    for (const Ewarm& ewarm : every) {
      const std::string expected = ewarm.folder == changed.folder ? c.verdict : "matches";
      EXPECT_EQ(found[ewarm.folder]["verdict"], expected) << c.change << " " << ewarm.folder;
    }
    const nlohmann::json& differences = found[changed.folder]["differences"];
    ASSERT_EQ(differences.size(), 1u) << c.change << differences.dump();
    EXPECT_EQ(differences[0]["kind"], c.kind) << c.change;
    EXPECT_EQ(differences[0]["path"], c.path) << c.change;
    EXPECT_EQ(Run("detect --verify").exitCode, 1u) << c.change;
    EXPECT_EQ(Run("detect").exitCode, c.detect) << c.change;

    const ConsoleResult repair = Run("repair --json");
    EXPECT_EQ(repair.exitCode, 0u) << c.change << "\n" << repair.out << repair.err;
    const nlohmann::json repaired = nlohmann::json::parse(repair.out);
    ASSERT_EQ(repaired["installations"].size(), 1u) << c.change << repair.out;
    EXPECT_EQ(repaired["installations"][0]["folder"], changed.folder) << c.change;
    EXPECT_TRUE(HoldsPatch(changed)) << c.change;
    for (size_t i = 0; i < every.size(); ++i) {
      if (every[i].folder == changed.folder) continue;
      EXPECT_EQ(ReadFolderTree(Config(every[i])), before[i]) << c.change << " " << every[i].folder;
    }
    EXPECT_EQ(Run("verify").exitCode, 0u) << c.change;
    EXPECT_EQ(Run("detect --verify").exitCode, 0u) << c.change;
  }
  const ConsoleResult nothing = Run("repair");
  EXPECT_EQ(nothing.exitCode, 0u);
  EXPECT_NE(nothing.out.find("Nothing to repair"), std::string::npos) << nothing.out;
}

// The tree without the kept generation, which only the install and restore use.
FolderTree WithoutKeptGeneration(const FolderTree& tree) {
  FolderTree rest;
  for (const auto& [path, content] : tree) {
    if (path.rfind("QX48_EWARM_patch.previous", 0) != 0) rest[path] = content;
  }
  return rest;
}

// How many installs come before the restore. It puts back what the last one replaced or removed:
// after one install, the installation as it was before; after two, as the first one left it.
class RestoreTest : public ConsoleFixture, public ::testing::WithParamInterface<int> {};

TEST_P(RestoreTest, RestorePutsBackWhatTheLastInstallReplacedOrRemoved) {
  const FolderTree before = ReadFolderTree(Config(old_));
  FolderTree afterFirst;
  for (int i = 0; i < GetParam(); ++i) {
    ASSERT_EQ(Run("install").exitCode, 0u);
    if (i == 0) afterFirst = WithoutKeptGeneration(ReadFolderTree(Config(old_)));
  }
  ASSERT_TRUE(HoldsPatch(old_));
  const ConsoleResult result = Run("restore --target " + old_.folder);
  EXPECT_EQ(result.exitCode, 0u) << result.err;
  EXPECT_EQ(ReadFolderTree(Config(old_)), GetParam() == 1 ? before : afterFirst);
  EXPECT_EQ(Run("status --target " + old_.folder).exitCode, GetParam() == 1 ? 1u : 0u);
  EXPECT_TRUE(HoldsPatch(fresh_)) << "restore touched an installation it was not given";
}
INSTANTIATE_TEST_SUITE_P(AfterInstalls, RestoreTest, ::testing::Values(1, 2));

TEST_F(ConsoleCommandsTest, RestoreWithNothingKeptRemovesWhatThePatchBroughtAndKeepsTheRest) {
  const FolderTree before = ReadFolderTree(Config(old_));
  ASSERT_EQ(Run("install --target " + old_.folder).exitCode, 0u);
  ASSERT_TRUE(RemoveTree(Config(old_) + "\\QX48_EWARM_patch.previous"));
  const ConsoleResult result = Run("restore --target " + old_.folder);
  EXPECT_EQ(result.exitCode, 0u) << result.err;
  FolderTree expected;
  for (const auto& [path, content] : before) {
    if (path.find("QuorVantel") == std::string::npos && path != "Qorvantel.Version")
      expected[path] = content;
  }
  EXPECT_EQ(ReadFolderTree(Config(old_)), expected);
  EXPECT_EQ(Run("status --target " + old_.folder).exitCode, 1u);
}

}  // namespace

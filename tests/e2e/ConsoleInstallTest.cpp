// qx48patch install run as its own process against real files and registry records: which
// installations it chooses, what --dry-run foretells, a damaged patch, a locked file, its log and
// its plain progress lines.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <regex>
#include <set>

#include "tests/e2e/ConsoleFixture.h"
#include "tests/support/EveryoneWrites.h"
#include "tests/support/EwarmRegistry.h"
#include "tests/support/TestFiles.h"

namespace {

class ConsoleInstallTest : public ConsoleFixture {};

struct ChoiceCase {
  const char* name;
  const char*
      arguments;  // %OLD%, %LOOSE% (a folder the registry does not name), %BARE% (no arm\config)
  bool registryEmpty;
  DWORD code;
  bool oldPatched, freshPatched, loosePatched;
  bool obsoleteStays;  // the V1.0 patch's device file that V2.0 no longer has
};

TEST_F(ConsoleInstallTest, InstallsIntoTheInstallationsItIsGivenAndNoOthers) {
  const ChoiceCase cases[] = {
      {"default is all", "install", false, 0, true, true, false, false},
      {"all", "install --all", false, 0, true, true, false, false},
      {"keep old patch", "install --all --keep-old-patch", false, 0, true, true, false, true},
      {"newest by number", "install --newest", false, 0, false, true, false, true},
      {"registered target", "install --target %OLD%", false, 0, true, false, false, false},
      {"unregistered target", "install --target %LOOSE%", false, 0, false, false, true, true},
      {"two targets", "install --target %LOOSE% --target %OLD%", false, 0, true, false, true,
       false},
      {"target without arm\\config", "install --target %BARE%", false, 1642, false, false, false,
       true},
      {"one bad target of two", "install --target %OLD% --target %BARE%", false, 1642, false, false,
       false, true},
      {"nothing registered", "install", true, 1642, false, false, false, true},
      {"quiet", "install --quiet", false, 0, true, true, false, false},
  };
  for (const ChoiceCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    const Ewarm loose = MakeEwarm("Loose", "", false);
    ASSERT_TRUE(MakeFolders(Root() + "\\Bare\\arm"));
    if (c.registryEmpty) EwarmRegistry::Clear();
    std::string arguments = c.arguments;
    for (const auto& [name, value] : {std::pair<std::string, std::string>{"%OLD%", old_.folder},
                                      {"%LOOSE%", loose.folder},
                                      {"%BARE%", Root() + "\\Bare"}}) {
      const size_t at = arguments.find(name);
      if (at != std::string::npos) arguments.replace(at, name.size(), value);
    }
    const FolderTree oldBefore = ReadFolderTree(Config(old_));
    const FolderTree freshBefore = ReadFolderTree(Config(fresh_));
    const FolderTree looseBefore = ReadFolderTree(Config(loose));

    const ConsoleResult result = Run(arguments);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, c.code) << result.out << result.err;
    EXPECT_EQ(HoldsPatch(old_), c.oldPatched);
    EXPECT_EQ(HoldsPatch(fresh_), c.freshPatched);
    EXPECT_EQ(HoldsPatch(loose), c.loosePatched);
    if (!c.oldPatched) {
      EXPECT_EQ(ReadFolderTree(Config(old_)), oldBefore);
    }
    if (!c.freshPatched) {
      EXPECT_EQ(ReadFolderTree(Config(fresh_)), freshBefore);
    }
    if (!c.loosePatched) {
      EXPECT_EQ(ReadFolderTree(Config(loose)), looseBefore);
    }
    EXPECT_EQ(PathExists(Config(old_) + "\\devices\\QuorVantel\\QX48H4_obsolete.i79"),
              c.obsoleteStays);
    if (std::string(c.name) == "quiet") {
      EXPECT_EQ(result.out, "");
    }
    if (c.code == 1642) {
      EXPECT_FALSE(result.err.empty());
    }
  }
}

// "  add     <file>" lines of one installation's part of a dry run's output.
std::map<std::string, std::set<std::string>> PlanOf(const std::string& output,
                                                    const std::string& folder) {
  std::map<std::string, std::set<std::string>> plan;
  bool inFolder = false;
  for (const std::string& line : Lines(output)) {
    if (line.rfind(folder + ": ", 0) == 0)
      inFolder = true;
    else if (!line.empty() && line[0] != ' ')
      inFolder = false;
    std::smatch step;
    if (inFolder && std::regex_match(line, step, std::regex(R"(  (add|replace|remove) +(.+))")))
      plan[step[1]].insert(step[2]);
  }
  return plan;
}

TEST_F(ConsoleInstallTest, DryRunChangesNothingAndForetellsWhatTheInstallThenDoes) {
  for (const char* options : {"", " --keep-old-patch"}) {
    SCOPED_TRACE(options);
    SetUp();
    const FolderTree oldBefore = ReadFolderTree(Config(old_));
    const FolderTree freshBefore = ReadFolderTree(Config(fresh_));
    const ConsoleResult dry = Run(std::string("install --dry-run") + options);
    ASSERT_EQ(dry.exitCode, 0u) << dry.err;
    const ConsoleResult document = Run(std::string("install --dry-run --json") + options);
    ASSERT_EQ(document.exitCode, 0u) << document.err;
    const nlohmann::json plans = nlohmann::json::parse(document.out);
    EXPECT_EQ(ReadFolderTree(Config(old_)), oldBefore);
    EXPECT_EQ(ReadFolderTree(Config(fresh_)), freshBefore);

    ASSERT_EQ(Run(std::string("install") + options).exitCode, 0u);
    for (const auto& [ewarm, before] :
         {std::pair<const Ewarm*, FolderTree>{&old_, oldBefore}, {&fresh_, freshBefore}}) {
      // The kept generation is the install's own bookkeeping, not a change a plan foretells.
      FolderTree after;
      for (const auto& [path, content] : ReadFolderTree(Config(*ewarm))) {
        if (path.rfind("QX48_EWARM_patch.previous", 0) != 0) after[path] = content;
      }
      const TreeChanges changes = CompareTrees(before, after, patch_);
      std::map<std::string, std::set<std::string>> done;
      done["add"].insert(changes.added.begin(), changes.added.end());
      done["replace"].insert(changes.replaced.begin(), changes.replaced.end());
      done["replace"].insert(changes.rewritten.begin(), changes.rewritten.end());
      done["remove"].insert(changes.removed.begin(), changes.removed.end());
      for (auto it = done.begin(); it != done.end();)
        it = it->second.empty() ? done.erase(it) : std::next(it);
      EXPECT_EQ(PlanOf(dry.out, ewarm->folder), done) << dry.out;
      std::map<std::string, std::set<std::string>> foretold;
      for (const nlohmann::json& row : plans["installations"]) {
        if (row["folder"] != ewarm->folder) continue;
        EXPECT_EQ(row["plan"], "install");
        for (const char* step : {"add", "replace", "remove"}) {
          for (const std::string file : row[step]) foretold[step].insert(file);
        }
      }
      EXPECT_EQ(foretold, done) << document.out;
    }
  }
}

struct DamageCase {
  const char* name;
  const char* removed;  // below the package's patch folder; "" removes the whole folder
  const char* arguments;
};

TEST_F(ConsoleInstallTest, ADamagedOrMissingPatchStopsBeforeAnyInstallationIsTouched) {
  const DamageCase cases[] = {
      {"no version file", "Qorvantel.Version", "install"},
      {"no device files", "devices\\QuorVantel", "install"},
      {"no patch folder", "", "install"},
      {"no manifest", "..\\QX48_EWARM_patch.sha256", "install"},
      {"status reads the patch's version", "Qorvantel.Version", "status"},
      {"restore needs the patch's folder names", "", "restore --all"},
      {"uninstall too", "", "uninstall"},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    const std::string damaged = *c.removed ? PatchFolder() + "\\" + c.removed : PatchFolder();
    ASSERT_TRUE(DeleteFileA(damaged.c_str()) || RemoveTree(damaged));
    const FolderTree before = ReadFolderTree(Config(old_));
    const ConsoleResult result = Run(c.arguments);
    EXPECT_EQ(result.exitCode, 1612u) << result.err;
    EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
    EXPECT_EQ(ReadFolderTree(Config(old_)), before);
  }
}

// An installation that is not installed gives the exit code of its kind, and the others are
// installed all the same. (What becomes of its files is the install's own fault table.)
TEST_F(ConsoleInstallTest, AnInstallationNotInstalledGivesItsExitCodeAndTheOthersAreInstalled) {
  const std::string locked = Config(old_) + "\\devices\\QuorVantel\\QX48H410xKx.i79";
  const std::string planted = Config(old_) + "\\QX48_EWARM_patch.undo\\journal";
  const std::string victim = Root() + "-victim\\secret.txt";
  const struct {
    const char* what;
    bool holdFile;  // else an undo area is planted, as a user who may write there could
    DWORD exitCode;
    const char* says;
    const char* outcome;  // the installation's in the JSON document
  } cases[] = {
      {"a file in use", true, 32, ": a file is in use, the installation is as it was", "fileInUse"},
      {"an undo area another user made", false, 1603,
       ": not touched, something in it needs a person", "refused"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    HANDLE holder = INVALID_HANDLE_VALUE;
    if (c.holdFile) {
      holder = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    } else {
      // The line that once deleted the victim: an old journal naming a file outside.
      ASSERT_TRUE(WriteTextFile(victim, "secret"));
      ASSERT_TRUE(WriteTextFile(planted, "A\tC:\\nothere.qx48new\t" + victim + "\r\n"));
    }
    const ConsoleResult result = Run("install --keep-old-patch --json");
    if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
    const nlohmann::json json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json["exitCode"], c.exitCode);
    for (const nlohmann::json& row : json["installations"]) {
      EXPECT_EQ(row["outcome"], row["folder"] == old_.folder ? c.outcome : "installed") << row;
    }
    EXPECT_NE(result.err.find(old_.folder + c.says), std::string::npos) << result.err;
    EXPECT_TRUE(HoldsPatch(fresh_));
    EXPECT_FALSE(HoldsPatch(old_));
    EXPECT_EQ(Run("status --target " + old_.folder).exitCode, 1u);
    if (!c.holdFile) {
      std::string content;
      EXPECT_TRUE(ReadTextFile(victim, &content) && content == "secret");
    }
  }
}

// EWARM removed by hand leaves its registry record: install, status and detect say so in one line
// and answer from the installations that are there.
TEST_F(ConsoleInstallTest, ARecordWhoseFolderIsGoneIsSkippedAndChangesNoExitCode) {
  const std::string gone = Root() + "\\EW-removed";
  ASSERT_TRUE(EwarmRegistry::Add("EWARM_8.11", gone, "8.11.1"));
  const std::string says = gone + ": skipped, the folder the registry records for EWARM 8.11.1 is gone";
  const struct {
    const char* arguments;
    DWORD exitCode;
  } runs[] = {{"install --all", 0}, {"status", 0}, {"detect", 0}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.arguments);
    const ConsoleResult result = Run(run.arguments);
    EXPECT_EQ(result.exitCode, run.exitCode) << result.out << result.err;
    EXPECT_NE(result.out.find(says), std::string::npos) << result.out;
  }
  for (const char* arguments : {"install --all --json", "install --dry-run --json", "status --json"}) {
    const nlohmann::json document = nlohmann::json::parse(Run(arguments).out);
    EXPECT_EQ(document["goneRecords"], nlohmann::json::array({gone})) << arguments;
    EXPECT_EQ(document["exitCode"], 0) << arguments;
  }
  EXPECT_TRUE(HoldsPatch(old_));
  EXPECT_TRUE(HoldsPatch(fresh_));
  EXPECT_FALSE(PathExists(gone)) << "a vanished installation gets no new folders";
}

// An installation whose folders on the way to arm\config lead elsewhere (made on the Unix side):
// install, restore and uninstall each refuse it with 1603, saying why, and the folder it leads
// to, which looks like a configuration folder with a vendor's files, stays as it was.
TEST_F(ConsoleInstallTest, AnInstallationWhoseFoldersLeadElsewhereIsRefusedByEveryCommand) {
  const std::string outside = WindowsPathOf(QX48_LINK_FIXTURE "/chain-outside");
  const FolderTree before = ReadFolderTree(outside);
  ASSERT_FALSE(before.empty()) << "run through CTest (e2e_link_fixture)";
  for (const char* name : {"EW-configlink", "EW-armlink", "EW-folderlink"}) {
    const std::string folder = WindowsPathOf(std::string(QX48_LINK_FIXTURE "/") + name);
    for (const char* command : {"install", "restore", "uninstall"}) {
      SCOPED_TRACE(std::string(command) + " " + name);
      const ConsoleResult result = Run(std::string(command) + " --target " + Quoted(folder));
      EXPECT_EQ(result.exitCode, 1603u) << result.out << result.err;
      EXPECT_NE(result.err.find("not a plain folder"), std::string::npos) << result.err;
      EXPECT_EQ(before, ReadFolderTree(outside));
    }
  }
}

const std::string kLogFolder = "C:\\ProgramData\\QuorVantel\\Logs";
const std::string kLog = kLogFolder + "\\qx48patch.log";

// The log's lines without their time stamps; a line without one is kept whole, to fail on.
std::vector<std::string> LogEntries(const std::string& path) {
  std::string text;
  ReadTextFile(path, &text);
  std::vector<std::string> entries;
  for (const std::string& line : Lines(text)) {
    std::smatch m;
    const bool stamped = std::regex_match(
        line, m, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d (.*))"));
    entries.push_back(stamped ? std::string(m[1]) : "UNSTAMPED " + line);
  }
  return entries;
}

TEST_F(ConsoleInstallTest, EveryRunIsLoggedFromItsHeaderToItsExitCode) {
  ASSERT_TRUE(RemoveTree(kLogFolder));
  const struct {
    const char* arguments;
    DWORD code;
    const char* lines;  // what each line between the header and the end says, but "copy" lines
  } runs[] = {
      {"frobnicate", 1639, R"(error: qx48patch: unknown command frobnicate\. .*)"},
      {"install --target C:\\qx48-cli\\nowhere", 1642,
       R"(error: Path "C:\\qx48-cli\\nowhere\\" is not valid IAR EWARM path! \(it has no )"
       R"(arm\\config folder\))"},
      {"install --quiet", 0, R"(.+: installed V2\.0 over (V1\.0|no patch) \(\d+ files\))"},
      {"detect", 0,
       R"(detect: .+ holds V2\.0: this version or a newer one|)"
       R"(QX48 patch V2\.0 or newer in every EWARM installation \(2\))"},
  };
  for (const auto& run : runs) ASSERT_EQ(Run(run.arguments).exitCode, run.code) << run.arguments;
  const std::vector<std::string> entries = LogEntries(kLog);
  std::map<std::string, int> copied;
  size_t at = 0;
  for (const auto& run : runs) {
    SCOPED_TRACE(run.arguments);
    ASSERT_LT(at, entries.size());
    EXPECT_TRUE(std::regex_match(
        entries[at],
        std::regex(R"(start: qx48patch 1\.1 \((64-bit, x64|32-bit, x86)\), patch V2\.0, )"
                   R"(as \S+ on \S+, command line: .*qx48patch\.exe" )" +
                   std::regex_replace(run.arguments, std::regex(R"([\\.()])"), R"(\$&)"))))
        << entries[at];
    for (++at; at < entries.size() && entries[at].rfind("end: ", 0) != 0; ++at) {
      std::smatch m;
      if (std::regex_match(entries[at], m, std::regex(R"(copy (.+) to (.+))")))
        ++copied[m[2]];
      else
        EXPECT_TRUE(std::regex_match(entries[at], std::regex(run.lines))) << entries[at];
    }
    ASSERT_LT(at, entries.size());
    EXPECT_EQ(entries[at++], "end: exit code " + std::to_string(run.code));
  }
  EXPECT_EQ(at, entries.size());
  EXPECT_EQ(copied[old_.folder], int(patch_.size()));
  EXPECT_EQ(copied[fresh_.folder], int(patch_.size()));

  // A folder name outside ASCII, as the program has it in the ANSI code page (Windows-1252 "é"),
  // is in the log in UTF-8.
  ASSERT_EQ(Run("install --target C:\\qx48-cli\\Caf\xe9").exitCode, 1642u);
  std::string text;
  ASSERT_TRUE(ReadTextFile(kLog, &text));
  EXPECT_NE(text.find("Caf\xc3\xa9"), std::string::npos);
  EXPECT_EQ(text.find("Caf\xe9"), std::string::npos);
}

TEST_F(ConsoleInstallTest, ALogThatCannotBeOpenedSafelyStopsTheRunWith1622) {
  const std::string victim = Root() + "\\victim.txt";
  ASSERT_TRUE(WriteTextFile(victim, "secret"));
  ASSERT_TRUE(MakeFolders(Root() + "\\logs"));
  ASSERT_TRUE(CreateHardLinkA((Root() + "\\logs\\linked.log").c_str(), victim.c_str(), nullptr));
  const FolderTree before = ReadFolderTree(Config(fresh_));
  for (const std::string& log :
       {Root() + "\\no-such-folder\\x.log", Root(), Root() + "\\logs\\linked.log"}) {
    SCOPED_TRACE(log);
    const ConsoleResult result = Run("install --log " + Quoted(log));
    EXPECT_EQ(result.exitCode, 1622u);
    EXPECT_NE(result.err.find("The log cannot be opened"), std::string::npos) << result.err;
  }
  EXPECT_EQ(ReadFolderTree(Config(fresh_)), before);
  std::string content;
  EXPECT_TRUE(ReadTextFile(victim, &content) && content == "secret") << content;
}

// The log's folder, or the install lock's, made by another user before the tool ever ran (here
// one that every user may write, with a file of that user's in it): a run with administrator
// rights moves it aside as it is and makes its own for SYSTEM and Administrators alone, instead
// of failing, or waiting, for good.
TEST_F(ConsoleInstallTest, AFolderOfOursAnotherUserMadeFirstIsMovedAsideAndTheRunGoesOn) {
  for (const std::string& folder : {kLogFolder, std::string("C:\\ProgramData\\QuorVantel\\Lock")}) {
    SCOPED_TRACE(folder);
    const std::string planted = folder + (folder == kLogFolder ? "\\qx48patch.log" : "\\install.lock");
    ASSERT_TRUE(RemoveTree(folder));
    ASSERT_TRUE(WriteTextFile(planted, "planted\r\n"));
    ASSERT_TRUE(LetEveryoneWrite(folder));

    const ConsoleResult result = Run("install");
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    std::vector<std::string> aside;
    WIN32_FIND_DATAA entry;
    HANDLE found = FindFirstFileA((folder + ".untrusted-*").c_str(), &entry);
    for (BOOL more = found != INVALID_HANDLE_VALUE; more; more = FindNextFileA(found, &entry))
      aside.push_back(folder.substr(0, folder.rfind('\\') + 1) + entry.cFileName);
    if (found != INVALID_HANDLE_VALUE) FindClose(found);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFolderTree(aside[0]),
              (FolderTree{{planted.substr(folder.size() + 1), "planted\r\n"}}));
    const std::vector<std::string> entries = LogEntries(kLog);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back(), "end: exit code 0");
    EXPECT_TRUE(RemoveTree(aside[0]));
  }
}

TEST_F(ConsoleInstallTest, ALogPastItsCapBecomesTheOneOlderFileKept) {
  const std::string log = Root() + "\\logs\\qx48patch.log";
  const std::string older = Root() + "\\logs\\qx48patch.old.log";
  ASSERT_TRUE(MakeFolders(Root() + "\\logs"));
  ASSERT_TRUE(WriteTextFile(older, "the one before"));
  const std::string full(1u << 20, 'x');
  ASSERT_TRUE(WriteTextFile(log, full + "y"));
  ASSERT_EQ(Run("list --log " + Quoted(log)).exitCode, 0u);
  std::string kept;
  ASSERT_TRUE(ReadTextFile(older, &kept));
  EXPECT_EQ(kept, full + "y");
  const std::vector<std::string> entries = LogEntries(log);
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries.front().rfind("start: ", 0), 0u);
  ASSERT_EQ(Run("list --log " + Quoted(log)).exitCode, 0u);
  EXPECT_EQ(LogEntries(log).size(), 2 * entries.size()) << "a small log only grows";
}

TEST_F(ConsoleInstallTest, RedirectedOutputShowsProgressAsPlainLinesOnePerFile) {
  const ConsoleResult result = Run("install --target " + fresh_.folder);
  ASSERT_EQ(result.exitCode, 0u);
  EXPECT_EQ(result.out.find('\r' + std::string("C")), std::string::npos);
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), patch_.size() + 1);
  std::set<std::string> files;
  for (size_t i = 0; i < patch_.size(); ++i) {
    const std::string prefix = fresh_.folder + "\\: " + std::to_string(i + 1) + " of " +
                               std::to_string(patch_.size()) + " files: ";
    ASSERT_EQ(lines[i].rfind(prefix, 0), 0u) << lines[i];
    files.insert(lines[i].substr(prefix.size()));
  }
  EXPECT_EQ(files.size(), patch_.size());
  EXPECT_EQ(lines.back(),
            fresh_.folder + "\\: installed V2.0 over no patch (" + std::to_string(patch_.size()) +
                " files)");
}

}  // namespace

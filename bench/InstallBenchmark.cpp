// The install benchmark: QX48_EWARM_pack installs a made-up patch of 3,000 files and 30 MB (or
// a multiple of that) through its real window, first into a fresh installation and then over the
// installed patch (as the program starts, with "Clear old patch" on, and once more with it off),
// and Wine's own xcopy copies the same tree fresh and over, in the same prefix. Each round
// changes which of the two goes first. It prints each round, the medians, the ratios
// install/xcopy, the time per file and the program's peak working set; then the same three
// installs once more per round through the windowless front QX48_install_phases, for the time
// of each phase.
//
//   QX48_install_benchmark [<package folder> [<rounds> [<work folder> [<scale>]]]]
//
// scale multiplies the patch's files and bytes (1: 3,000 files and 30 MB).
// The package folder is the build's package layout (the program with its patch beside it). The
// work folder (C:\qx48-bench by default) is emptied first and holds everything the benchmark
// makes. It replaces the EWARM records of the prefix's registry with one installation there,
// and needs a display (xvfb-run) and a pointer nobody else moves.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/GeneratedPatch.h"
#include "bench/InstallTiming.h"
#include "bench/Median.h"
#include "bench/PhaseTiming.h"
#include "bench/Stopwatch.h"
#include "bench/XcopyTiming.h"
#include "tests/e2e/FolderTree.h"
#include "tests/support/EwarmRegistry.h"
#include "tests/support/TestFiles.h"

namespace {

constexpr size_t kPatchFiles = 3000;  // at scale 1
constexpr uint64_t kPatchBytes = 30000000;
const char kPhaseFront[] = "QX48_install_phases.exe";
constexpr int kDefaultRounds = 5;
const char kDefaultRoot[] = "C:\\qx48-bench";
const char kCandidate[] = "EWARM_9.50";
const char kVersion[] = "9.50.2";
const char kPatchName[] = "QX48_EWARM_patch";
const char kVersionFile[] = "Qorvantel.Version";

// Where everything lies below the work folder.
struct Layout {
  Layout(const std::string& work, int scale)
      : root(work), files(kPatchFiles * scale), bytes(kPatchBytes * scale) {}
  std::string root;
  size_t files;
  uint64_t bytes;
  std::string pack = root + "\\pack";
  std::string exe = pack + "\\QX48_EWARM_pack.exe";
  std::string front = pack + "\\" + kPhaseFront;
  std::string patch = pack + "\\" + kPatchName;
  std::string installation = root + "\\Embedded Workbench 9.50";
  std::string config = installation + "\\arm\\config";
  std::string logs = root + "\\logs";
  std::string oneFile = root + "\\one-file";  // a tree of the version file alone
  std::string oneFileCopy = root + "\\one-file-copy";
};

struct Round {
  bool installFirst = true;
  InstallTiming installFresh, installOver;
  InstallTiming installOverKept;  // over, with "Clear old patch" off: the files are overwritten
  XcopyTiming xcopyFresh, xcopyOver, xcopyOneFile;
  PhaseTiming phasesFresh, phasesOver, phasesOverKept;
};

// The folder this benchmark runs from, where the build put the phase front too.
std::string OwnFolder() {
  char path[MAX_PATH] = "";
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return ".";
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\'));
}

void Say(const std::string& text) {
  printf("%s\n", text.c_str());
  fflush(stdout);
}

// The package copied to the bench folder, its patch tree replaced by the generated one (and the
// real version file); *patch is that tree as read back.
std::string LayOutPackage(const std::string& package, const Layout& at, FolderTree* patch) {
  std::string version;
  if (!ReadTextFile(package + "\\" + kPatchName + "\\" + kVersionFile, &version)) {
    return "the package " + package + " has no " + kPatchName + "\\" + kVersionFile;
  }
  if (!RemoveTree(at.root)) return "could not remove the old " + at.root;
  if (!CopyOneFile(package + "\\QX48_EWARM_pack.exe", at.exe)) {
    return "could not copy the program of " + package;
  }
  if (!CopyOneFile(OwnFolder() + "\\" + kPhaseFront, at.front)) {
    return std::string("could not copy ") + kPhaseFront + " from " + OwnFolder();
  }
  const std::vector<PlannedFile> plan =
      PlanGeneratedPatch(at.files - 1, at.bytes - version.size());
  Stopwatch clock;
  std::string fault;
  if (!WriteGeneratedPatch(at.patch, plan, &fault)) return fault;
  if (!WriteTextFile(at.patch + "\\" + kVersionFile, version) ||
      !WriteTextFile(at.oneFile + "\\" + kVersionFile, version)) {
    return "could not write the version files";
  }
  const double writing = clock.Seconds();
  *patch = ReadFolderTree(at.patch);
  uint64_t bytes = 0;
  for (const auto& file : *patch) bytes += file.second.size();
  char line[256];
  snprintf(line, sizeof line,
           "patch: %zu files, %llu bytes, %zu folders below %s (written in "
           "%.1f s)",
           patch->size(), static_cast<unsigned long long>(bytes), PlannedFolderCount(plan),
           at.patch.c_str(), writing);
  Say(line);
  if (patch->size() != at.files || bytes != at.bytes) return "the patch is not as planned";
  return "";
}

// A freshly installed EWARM as far as the patch cares: arm\config with another vendor's files.
std::string ResetInstallation(const Layout& at) {
  if (!RemoveTree(at.installation)) return "could not remove " + at.installation;
  if (!WriteTextFile(at.config + "\\devices\\Other\\Other.i79", "[CHIP]\r\n") ||
      !WriteTextFile(at.config + "\\debugger\\Other\\Other.ddf", ";\r\n")) {
    return "could not lay out " + at.installation;
  }
  return "";
}

// "" when every patch file is in the configuration folder byte for byte.
std::string CheckInstalled(const FolderTree& patch, const Layout& at, const char* what) {
  const std::vector<std::string> faults = PatchFilesNotInstalled(patch, ReadFolderTree(at.config));
  if (faults.empty()) return "";
  return std::string(what) + " left " + std::to_string(faults.size()) +
         " patch files not installed, the first: " + faults.front();
}

std::string InstallRuns(const FolderTree& patch, const Layout& at, Round* round) {
  std::string fault = ResetInstallation(at);
  if (fault.empty()) fault = TimeInstallRun(at.exe, kVersion, true, &round->installFresh);
  if (fault.empty()) fault = CheckInstalled(patch, at, "the fresh install");
  if (fault.empty()) fault = TimeInstallRun(at.exe, kVersion, true, &round->installOver);
  if (fault.empty()) fault = CheckInstalled(patch, at, "the install over the installed patch");
  if (fault.empty()) fault = TimeInstallRun(at.exe, kVersion, false, &round->installOverKept);
  if (fault.empty()) fault = CheckInstalled(patch, at, "the install without clearing");
  return fault;
}

// The same three installs through the phase front.
std::string PhaseRuns(const FolderTree& patch, const Layout& at, Round* round) {
  const std::string log = at.logs + "\\phases-";
  std::string fault = ResetInstallation(at);
  if (fault.empty())
    fault = TimePhases(at.front, at.installation, true, log + "fresh.txt", &round->phasesFresh);
  if (fault.empty()) fault = CheckInstalled(patch, at, "the phase front's fresh install");
  if (fault.empty())
    fault = TimePhases(at.front, at.installation, true, log + "over.txt", &round->phasesOver);
  if (fault.empty()) fault = CheckInstalled(patch, at, "the phase front's install over");
  if (fault.empty()) {
    fault =
        TimePhases(at.front, at.installation, false, log + "kept.txt", &round->phasesOverKept);
  }
  if (fault.empty()) fault = CheckInstalled(patch, at, "the phase front's install without clearing");
  return fault;
}

std::string XcopyTwice(const FolderTree& patch, const Layout& at, int number, Round* round) {
  const std::string log = at.logs + "\\xcopy-" + std::to_string(number);
  std::string fault = ResetInstallation(at);
  if (fault.empty()) fault = TimeXcopy(at.patch, at.config, log + "-fresh.txt", &round->xcopyFresh);
  if (fault.empty()) fault = CheckInstalled(patch, at, "xcopy into the fresh installation");
  if (fault.empty()) fault = TimeXcopy(at.patch, at.config, log + "-over.txt", &round->xcopyOver);
  if (fault.empty()) fault = CheckInstalled(patch, at, "xcopy over the installed patch");
  if (fault.empty() && (round->xcopyFresh.filesCopied != long(patch.size()) ||
                        round->xcopyOver.filesCopied != long(patch.size()))) {
    fault = "xcopy said it copied " + std::to_string(round->xcopyFresh.filesCopied) + " and " +
            std::to_string(round->xcopyOver.filesCopied) + " files";
  }
  return fault;
}

std::string RunRound(const FolderTree& patch, const Layout& at, int number, Round* round) {
  // The order alternates, so that whatever the first of the two leaves behind (dirty pages the
  // kernel is still writing out, a warmer cache) weighs on both alike over the rounds.
  round->installFirst = number % 2 != 0;
  std::string fault =
      round->installFirst ? InstallRuns(patch, at, round) : XcopyTwice(patch, at, number, round);
  if (fault.empty()) {
    fault =
        round->installFirst ? XcopyTwice(patch, at, number, round) : InstallRuns(patch, at, round);
  }
  if (fault.empty()) fault = PhaseRuns(patch, at, round);
  if (fault.empty() && !RemoveTree(at.oneFileCopy)) fault = "could not remove " + at.oneFileCopy;
  if (fault.empty()) {
    fault = TimeXcopy(at.oneFile, at.oneFileCopy, at.logs + "\\xcopy-one-file.txt",
                      &round->xcopyOneFile);
  }
  return fault;
}

double Ratio(double a, double b) {
  return b > 0 ? a / b : 0;
}

// Which install run a table is about, and which xcopy run it is set against.
struct Pairing {
  const char* title;
  const char* name;
  InstallTiming Round::*install;
  XcopyTiming Round::*copy;
  PhaseTiming Round::*phases;
};
const Pairing kFresh = {"Into a fresh installation", "fresh", &Round::installFresh,
                        &Round::xcopyFresh, &Round::phasesFresh};
const Pairing kOver = {
    "Over the installed patch, as the program starts (\"Clear old patch\" "
    "on: it first removes the QuorVantel folders)",
    "over", &Round::installOver, &Round::xcopyOver, &Round::phasesOver};
const Pairing kOverKept = {
    "Over the installed patch with \"Clear old patch\" off (files "
    "overwritten in place, as xcopy does)",
    "over, kept", &Round::installOverKept, &Round::xcopyOver, &Round::phasesOverKept};
const Pairing* const kPairings[] = {&kFresh, &kOver, &kOverKept};

// One table, in seconds: each round, then the medians (of the figures, and of the rounds'
// ratios).
void PrintTable(const Pairing& pairing, const std::vector<Round>& rounds) {
  printf("\n%s\n", pairing.title);
  printf("round  first    program's own  click-to-text  xcopy wall  own/xcopy  click/xcopy\n");
  std::vector<double> own, click, xcopy, ownRatio, clickRatio;
  for (size_t i = 0; i < rounds.size(); ++i) {
    const InstallTiming& install = rounds[i].*pairing.install;
    const XcopyTiming& copy = rounds[i].*pairing.copy;
    own.push_back(install.ownElapse);
    click.push_back(install.clickToText);
    xcopy.push_back(copy.wall);
    ownRatio.push_back(Ratio(install.ownElapse, copy.wall));
    clickRatio.push_back(Ratio(install.clickToText, copy.wall));
    printf("%5zu  %-7s  %11.3f s  %11.3f s  %8.3f s  %9.3f  %11.3f\n", i + 1,
           rounds[i].installFirst ? "install" : "xcopy", own.back(), click.back(), xcopy.back(),
           ownRatio.back(), clickRatio.back());
  }
  printf("median          %11.3f s  %11.3f s  %8.3f s  %9.3f  %11.3f\n", Median(own), Median(click),
         Median(xcopy), Median(ownRatio), Median(clickRatio));
  fflush(stdout);
}

// The headline: the median of the rounds' ratios, with their range.
void PrintRatio(const char* what, const Pairing& pairing, const std::vector<Round>& rounds) {
  std::vector<double> own, click;
  for (const Round& r : rounds) {
    const double xcopy = (r.*pairing.copy).wall;
    own.push_back(Ratio((r.*pairing.install).ownElapse, xcopy));
    click.push_back(Ratio((r.*pairing.install).clickToText, xcopy));
  }
  const auto [low, high] = std::minmax_element(own.begin(), own.end());
  printf(
      "ratio install/xcopy, %-10s %.2f (%.2f to %.2f over %zu rounds); "
      "click-to-text/xcopy %.2f\n",
      what, Median(own), *low, *high, own.size(), Median(click));
}

// Milliseconds per patch file of each install and of xcopy (medians), and the peak working sets.
void PrintPerFile(const std::vector<Round>& rounds, size_t files) {
  printf("\nper file (medians, %zu files)           install      xcopy   peak working set"
         " (program, phase front)\n", files);
  for (const Pairing* pairing : kPairings) {
    std::vector<double> own, xcopy;
    unsigned long long peak = 0, frontPeak = 0;
    for (const Round& r : rounds) {
      own.push_back((r.*pairing->install).ownElapse);
      xcopy.push_back((r.*pairing->copy).wall);
      peak = std::max(peak, (r.*pairing->install).peakWorkingSet);
      frontPeak = std::max(frontPeak, (r.*pairing->phases).peakWorkingSet);
    }
    printf("per file, %-10s                  %7.3f ms  %7.3f ms  %6.1f MB, %6.1f MB\n",
           pairing->name, Median(own) * 1000 / double(files), Median(xcopy) * 1000 / double(files),
           double(peak) / 1048576, double(frontPeak) / 1048576);
  }
}

// The median seconds of each phase of each install, as the phase front measured them.
void PrintPhases(const std::vector<Round>& rounds) {
  printf("\nPhases of an install (phase front; medians of %zu rounds, seconds)\n", rounds.size());
  printf("%-18s", "phase");
  for (const Pairing* pairing : kPairings) printf("  %10s", pairing->name);
  printf("\n");
  const auto row = [&](const char* name, auto take) {
    printf("%-18s", name);
    for (const Pairing* pairing : kPairings) {
      std::vector<double> values;
      for (const Round& r : rounds) values.push_back(take(r.*pairing->phases));
      printf("  %10.3f", Median(values));
    }
    printf("\n");
  };
  row("patch check", [](const PhaseTiming& t) { return t.patchCheck; });
  for (int phase = 0; phase < kInstallPhaseCount; ++phase) {
    row(InstallPhaseName(static_cast<InstallPhase>(phase)),
        [phase](const PhaseTiming& t) { return t.phases[phase]; });
  }
  row("total", [](const PhaseTiming& t) { return t.total; });
  fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string package = argc > 1 ? argv[1] : WindowsPathOf(QX48_PACKAGE_DIR);
  const int rounds = argc > 2 ? atoi(argv[2]) : kDefaultRounds;
  const int scale = argc > 4 ? atoi(argv[4]) : 1;
  const Layout at(argc > 3 ? argv[3] : kDefaultRoot, scale);
  if (rounds < 1 || scale < 1 || argc > 5) {
    fprintf(stderr,
            "usage: QX48_install_benchmark [<package folder> [<rounds> [<work folder> "
            "[<scale>]]]]\n");
    return 2;
  }
  Say(std::string("Install benchmark: QX48_EWARM_pack (") +
      (sizeof(void*) == 8 ? "64-bit" : "32-bit") + ") against " + XcopyPath() + " /E /I /Y, " +
      std::to_string(rounds) + " rounds, " + std::to_string(at.files) + " files");
  Say("package: " + package + "; work folder: " + at.root);

  FolderTree patch;
  std::string fault = LayOutPackage(package, at, &patch);
  if (fault.empty() && !MakeFolders(at.logs)) fault = "could not make " + at.logs;
  EwarmRegistry::Clear();
  if (fault.empty() && !EwarmRegistry::Add(kCandidate, at.installation, kVersion)) {
    fault = "could not register the installation";
  }
  Say("installation: " + at.installation + " (version " + kVersion + "), the only one registered");

  std::vector<Round> results;
  for (int number = 1; fault.empty() && number <= rounds; ++number) {
    Round round;
    fault = RunRound(patch, at, number, &round);
    if (!fault.empty()) break;
    results.push_back(round);
    printf(
        "round %d: install fresh %.3f s, over %.3f s, over kept %.3f s; xcopy fresh %.3f s, "
        "over %.3f s\n",
        number, round.installFresh.ownElapse, round.installOver.ownElapse,
        round.installOverKept.ownElapse, round.xcopyFresh.wall, round.xcopyOver.wall);
    fflush(stdout);
  }
  EwarmRegistry::Clear();
  if (!fault.empty()) {
    Say("benchmark FAILED: " + fault);
    return 1;
  }

  for (const Pairing* pairing : kPairings) PrintTable(*pairing, results);
  std::vector<double> oneFile;
  for (const Round& r : results) oneFile.push_back(r.xcopyOneFile.wall);
  printf("\nxcopy of a one-file tree (its start-up and exit): median %.3f s\n", Median(oneFile));
  printf(
      "The ratios set the program's own elapsed time (its install worker, start to end)\n"
      "against xcopy's process wall time (CreateProcess to exit, its start-up included).\n"
      "Click-to-text adds the click's way to the worker, the dialog's 50 ms status tick and\n"
      "this driver's polling.\n");
  PrintRatio("fresh", kFresh, results);
  PrintRatio("over", kOver, results);
  PrintRatio("over, kept", kOverKept, results);
  PrintPerFile(results, at.files);
  PrintPhases(results);
  return 0;
}

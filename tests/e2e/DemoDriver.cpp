// The demo of run.sh: QX48_EWARM_pack used once through its window, and what that did to each
// installation, told on standard output.
//
//   QX48_demo_driver run   <program.exe> <output folder> <version> <folder> [<version> <folder>...]
//       starts the program, checks the rows of the given installations, presses "Driver &patch",
//       waits for the final status text, saves before.png and after.png into the output folder
//       and writes "ok" (or what went wrong) and the final status text as two lines to
//       result.txt there: it is started inside Wine's virtual desktop, whose launcher does not
//       pass an exit code on.
//   QX48_demo_driver watch <program.exe> <version> <folder> [<version> <folder>...]
//       starts the program for a person to use and reports once they close it.
//
// The installations are named by the version text the registry gives them; their rows read
// "IAR Embedded Workbench IDE - ARM <version>".
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/FolderTree.h"
#include "tests/e2e/PackSession.h"
#include "tests/support/TestFiles.h"

namespace {

// The version the shipped patch's version file gives, as the dialog's column shows it.
const char kPatchVersion[] = "V2.0";

struct Installation {
  std::string version;
  std::string folder;
  std::string shownBefore;  // the "Installed patch" column at the start
  FolderTree before;
};

std::string ConfigOf(const Installation& i) {
  return i.folder + "\\arm\\config";
}

std::string FolderOf(const std::string& path) {
  return path.substr(0, path.find_last_of('\\'));
}

void Say(const char* format, const std::string& a = "", const std::string& b = "") {
  printf(format, a.c_str(), b.c_str());
  printf("\n");
  fflush(stdout);
}

void ListFiles(const char* what, const std::vector<std::string>& files) {
  for (const std::string& file : files) printf("    %-9s %s\n", what, file.c_str());
}

void ShowRows(PackSession& session) {
  for (const PackSession::Row& row : session.Rows()) {
    printf("  [%s] %-48s %s\n", row.check == "1" ? "x" : " ", row.name.c_str(),
           row.version.c_str());
  }
  fflush(stdout);
}

// Tells what became of each installation; false when one lacks a patch file or holds it with
// other bytes.
// What the version file of a configuration tree says in its section Install ("V2.0, 2026-12-09"),
// as plain text for the report; "none" without the file.
std::string VersionFileSays(const FolderTree& tree) {
  const auto file = tree.find("Qorvantel.Version");
  if (file == tree.end()) return "none";
  std::string version, date, section;
  size_t at = 0;
  while (at < file->second.size()) {
    size_t end = file->second.find('\n', at);
    if (end == std::string::npos) end = file->second.size();
    std::string line = file->second.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      section = line;
    } else if (section == "[Install]" && line.rfind("Version=", 0) == 0) {
      version = line.substr(8);
    } else if (section == "[Install]" && line.rfind("Date=", 0) == 0) {
      date = line.substr(5);
    }
  }
  return version + ", " + date;
}

bool Report(PackSession* session, std::vector<Installation>& installations,
            const FolderTree& patch) {
  bool complete = true;
  for (Installation& i : installations) {
    const FolderTree after = ReadFolderTree(ConfigOf(i));
    const TreeChanges changes = CompareTrees(i.before, after, patch);
    std::string shownAfter = "(closed)";
    if (session != nullptr) {
      const int row = session->FindRow(i.version);
      shownAfter = row >= 0 ? session->Rows()[size_t(row)].version : "(no row)";
    }
    printf("\nIAR Embedded Workbench IDE - ARM %s\n  %s\n", i.version.c_str(), ConfigOf(i).c_str());
    if (session != nullptr) {
      printf("  Installed patch: %s -> %s\n", i.shownBefore.c_str(), shownAfter.c_str());
    }
    printf("  Qorvantel.Version: %s -> %s\n", VersionFileSays(i.before).c_str(),
           VersionFileSays(after).c_str());
    printf("  %zu added, %zu replaced, %zu rewritten unchanged, %zu removed, %zu kept\n",
           changes.added.size(), changes.replaced.size(), changes.rewritten.size(),
           changes.removed.size(), changes.kept.size() + changes.altered.size());
    ListFiles("added", changes.added);
    ListFiles("replaced", changes.replaced);
    ListFiles("rewritten", changes.rewritten);
    ListFiles("removed", changes.removed);
    ListFiles("altered", changes.altered);
    ListFiles("kept", changes.kept);
    const std::vector<std::string> faults = PatchFilesNotInstalled(patch, after);
    ListFiles("NOT", faults);
    if (!faults.empty()) complete = false;
  }
  fflush(stdout);
  return complete;
}

bool ParseInstallations(int argc, char** argv, int first, std::vector<Installation>* out) {
  if (first >= argc || (argc - first) % 2 != 0) return false;
  for (int a = first; a < argc; a += 2) {
    Installation i;
    i.version = argv[a];
    i.folder = argv[a + 1];
    i.before = ReadFolderTree(ConfigOf(i));
    out->push_back(i);
  }
  return true;
}

// One run; "" when it completed, else what went wrong. *final is the last status text.
std::string RunOnce(PackSession* session, const std::string& exe, const std::string& output,
                    std::vector<Installation>& installations, const FolderTree& patch,
                    std::string* final) {
  std::string fault;
  if (!session->Start(exe, &fault)) return fault;
  Say("The dialog \"%s\" is open; its list:", PackSession::kTitle);
  ShowRows(*session);

  for (Installation& i : installations) {
    const int row = session->FindRow(i.version);
    if (row < 0) return "no row for the installation with version " + i.version;
    i.shownBefore = session->Rows()[size_t(row)].version;
    if (!session->SetChecked(row, true)) return "the row of " + i.version + " did not check";
  }
  const std::string before = output + "\\before.png";
  if (!session->Screenshot(before)) return "could not save " + before;

  if (!session->Enabled(PackSession::kDriverPatch)) return "\"Driver &patch\" is disabled";
  Say("\nPressing \"Driver &patch\" ...");
  if (!session->PressDriverPatch()) return "the click on \"Driver &patch\" started no run";
  std::vector<std::string> seen;
  *final = session->WaitForFinalText(60000, &seen);
  for (const std::string& text : seen) Say("  status: %s", text);
  Say("  status: %s", *final);
  if (final->rfind(PackSession::kFinalPrefix, 0) != 0) return "the run did not finish: " + *final;
  // The version column follows at the tick that shows the final text; give it a few more.
  WaitUntil(
      [&] {
        for (const Installation& i : installations) {
          const int row = session->FindRow(i.version);
          if (row < 0 || session->Rows()[size_t(row)].version != kPatchVersion) return false;
        }
        return session->Enabled(IDCANCEL);
      },
      3000);
  const std::string after = output + "\\after.png";
  if (!session->Screenshot(after)) return "could not save " + after;
  Say("\nThe list after the run:");
  ShowRows(*session);

  const bool complete = Report(session, installations, patch);
  if (!session->Close()) return "the dialog did not close";
  if (final->find("error") != std::string::npos) return "the run reported errors: " + *final;
  if (!complete) return "an installation lacks patch files";
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  std::vector<Installation> installations;
  const bool run = mode == "run";
  if ((!run && mode != "watch") || argc < 3 ||
      !ParseInstallations(argc, argv, run ? 4 : 3, &installations)) {
    fprintf(stderr,
            "usage: QX48_demo_driver run <program.exe> <output folder> <version> <folder>"
            " ...\n       QX48_demo_driver watch <program.exe> <version> <folder> ...\n");
    return 2;
  }
  const std::string exe = argv[2];
  const FolderTree patch = ReadFolderTree(FolderOf(exe) + "\\QX48_EWARM_patch");
  Say("Package: %s, patch of %s files", FolderOf(exe), std::to_string(patch.size()));

  if (!run) {
    PackSession session;
    std::string fault;
    if (!session.Start(exe, &fault)) {
      Say("demo: %s", fault);
      return 1;
    }
    Say("The dialog is open; close it when you are done.");
    session.WaitForExit(INFINITE);
    Report(nullptr, installations, patch);
    return 0;
  }

  const std::string output = argv[3];
  MakeFolders(output);
  std::string final;
  PackSession session;
  std::string fault = RunOnce(&session, exe, output, installations, patch, &final);
  const std::string crash = session.CrashText();
  if (!fault.empty() && !crash.empty()) fault += " (the program " + crash + ")";
  WriteTextFile(output + "\\result.txt", (fault.empty() ? "ok" : fault) + "\n" + final + "\n");
  if (!fault.empty()) {
    Say("\ndemo FAILED: %s", fault);
    return 1;
  }
  return 0;
}

// qx48patch.exe: the console front end to the same layers as QX48_EWARM_pack.exe, for installs
// that a distribution system runs without anybody at the machine.
#include <windows.h>

#include <cstdio>
#include <string>

#include "BuildInfo.h"
#include "PatchManifestDigest.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "install/AdminRights.h"
#include "install/PatchManifest.h"
#include "install/PatchPaths.h"
#include "install/RunLog.h"
#include "record/VersionStamp.h"

namespace {

bool ChangesInstallations(const CommandLine& line) {
  return (line.command == Command::kInstall && !line.dryRun) || line.command == Command::kRestore ||
         line.command == Command::kUninstall || line.command == Command::kRepair;
}

// Opens the run's log and writes its header. A log named with --log must open; the default one
// must for a run that changes installations (one without administrator rights is refused later
// anyway), while a user's list or status goes on without it.
bool OpenRunLog(const CommandLine& line, bool parsed, CConsoleOutput& out, CRunLog* log) {
  const bool named = parsed && !line.logPath.empty();
  std::string why;
  if (!log->Open(named ? line.logPath : CRunLog::DefaultPath(), !named, &why)) {
    if (!named && !(parsed && ChangesInstallations(line) && HasAdministratorRights())) return true;
    out.Error("The log cannot be opened: %s.", why.c_str());
    return false;
  }
  out.SetLog(log);
  VersionStamp patch{};
  ReadVersionFile((line.patchFolder + "\\" + kVersionFileName).c_str(), &patch);
  const std::string program =
      std::string("qx48patch ") + QX48_VERSION_TEXT + " (" + QX48_ARCH_WORDS + ")";
  log->WriteStart(program.c_str(), patch.label,
                  (std::string("command line: ") + GetCommandLineA()).c_str());
  return true;
}

ExitCode RunCommand(const CommandLine& line, CConsoleOutput& out) {
  switch (line.command) {
    case Command::kHelp:
      return RunHelp(out);
    case Command::kVersion:
      return RunVersion(line, out);
    case Command::kList:
      return RunList(line, out);
    case Command::kInstall:
      return RunInstall(line, out);
    case Command::kStatus:
      return RunStatus(line, out);
    case Command::kDetect:
      return RunDetect(line, out);
    case Command::kRestore:
      return RunRestore(line, out);
    case Command::kUninstall:
      return RunUninstall(line, out);
    case Command::kVerify:
      return RunVerify(line, out);
    case Command::kRepair:
      return RunRepair(line, out);
  }
  return kExitFatal;
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything reads the patch: only the manifest this program was built with is taken.
  BindManifestDigest(QX48_PATCH_MANIFEST_SHA256);
  CommandLine line;
  std::string error;
  const bool parsed = ParseCommandLine(argc, argv, &line, &error);
  // The one place this program asks where it lies; a path that fills the buffer is cut, and
  // then there is no program path and no patch beside it.
  char program[MAX_PATH] = "";
  const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
  if (length != 0 && length < MAX_PATH) line.programPath = program;
  line.patchFolder = PatchFolderBeside(line.programPath);
  // A JSON document is all that goes to standard output.
  CConsoleOutput out(parsed && (line.quiet || line.json));
  CRunLog log;
  ExitCode code = kExitLogFailure;
  if (OpenRunLog(line, parsed, out, &log)) {
    if (parsed) {
      code = RunCommand(line, out);
    } else {
      out.Error("qx48patch: %s. \"qx48patch help\" lists the commands.", error.c_str());
      code = kExitBadUsage;
    }
  }
  log.Write("end: exit code %d", int(code));
  return code;
}

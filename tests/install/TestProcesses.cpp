#include "tests/install/TestProcesses.h"

#include <cstdlib>
#include <cstring>

#include "install/JournalRollback.h"
#include "install/InstallIntoInstallation.h"
#include "tests/install/TreeFiles.h"

namespace {

std::string ThisProgram() {
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  return self;
}

// Runs this program with arguments; FALSE when it cannot start.
BOOL StartRole(const std::string& arguments, PROCESS_INFORMATION* process) {
  const std::string self = ThisProgram();
  std::string command = "\"" + self + "\" " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  return CreateProcessA(self.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, process);
}

int g_linesToKill = 0;

void KillAtLine(void*, const InstallEvent& event) {
  if (event.kind == kFileStarted && --g_linesToKill == 0)
    TerminateProcess(GetCurrentProcess(), kKilledExitCode);
}

}  // namespace

FileHolder::FileHolder(const std::string& path, Sharing sharing) {
  const std::string tag =
      std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
  held_ = CreateEventA(nullptr, TRUE, FALSE, ("qx48-copy-held-" + tag).c_str());
  release_ = CreateEventA(nullptr, TRUE, FALSE, ("qx48-copy-release-" + tag).c_str());
  const std::string share = sharing == kShareReadWrite ? "3" : "0";
  started_ = StartRole("--hold-open \"" + path + "\" " + tag + " " + share, &process_) &&
             WaitForSingleObject(held_, 60000) == WAIT_OBJECT_0;
}

FileHolder::~FileHolder() {
  Release();
  CloseHandle(held_);
  CloseHandle(release_);
}

void FileHolder::Release() {
  if (process_.hProcess == nullptr) return;
  SetEvent(release_);
  WaitForSingleObject(process_.hProcess, 60000);
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
  process_ = {};
}

namespace {

// Starts this program in a role and waits for it: its exit code, or 1000 and more when it could
// not be started or waited for.
DWORD RunRole(const std::string& arguments) {
  PROCESS_INFORMATION process{};
  if (!StartRole(arguments, &process)) return 1000;
  DWORD code = 1001;
  if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.hProcess, &code)) {
    code = 1002;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

int g_stepsToKill = 0;

void KillAtStep(void*) {
  if (--g_stepsToKill == 0) TerminateProcess(GetCurrentProcess(), kKilledExitCode);
}

}  // namespace

DWORD InstallAndKillAtLine(const std::string& installFolder, int killAtLine) {
  return RunRole("--install-and-kill \"" + installFolder + "\" " + std::to_string(killAtLine));
}

DWORD RestoreAndKillAtStep(const std::string& config, int killAtStep) {
  return RunRole("--restore-and-kill \"" + config + "\" " + std::to_string(killAtStep));
}

int RunTestProcessRole(int argc, char** argv) {
  if (argc == 5 && strcmp(argv[1], "--hold-open") == 0) {
    const std::string tag = argv[3];
    HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, ("qx48-copy-held-" + tag).c_str());
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, ("qx48-copy-release-" + tag).c_str());
    const DWORD share = static_cast<DWORD>(atoi(argv[4]));
    HANDLE file = CreateFileA(argv[2], GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == nullptr || release == nullptr || file == INVALID_HANDLE_VALUE) return 2;
    SetEvent(held);
    WaitForSingleObject(release, 120000);
    CloseHandle(file);
    return 0;
  }
  if (argc == 4 && strcmp(argv[1], "--install-and-kill") == 0) {
    g_linesToKill = atoi(argv[3]);
    InstallPatch(PatchBesideThisProgram(), argv[2], InstallOptions{true},
                 InstallEventSink{KillAtLine, nullptr});
    return 0;
  }
  if (argc == 4 && strcmp(argv[1], "--restore-and-kill") == 0) {
    g_stepsToKill = atoi(argv[3]);
    RestorePreviousGeneration(argv[2], UndoProgress{KillAtStep, nullptr});
    return 0;
  }
  return -1;
}

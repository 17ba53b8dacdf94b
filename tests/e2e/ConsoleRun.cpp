#include "tests/e2e/ConsoleRun.h"

#include <atomic>

#include "tests/support/TestFiles.h"

namespace {

HANDLE InheritableFile(const std::string& path) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string TempPath(const char* what) {
  static std::atomic<int> serial{0};
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + "qx48-console-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(serial++) + "." + what;
}

}  // namespace

ConsoleRun::~ConsoleRun() {
  if (info_.hProcess != nullptr) {
    TerminateProcess(info_.hProcess, 1);
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
  }
}

bool ConsoleRun::StartAs(HANDLE token, const std::string& exe, const std::string& arguments) {
  outPath_ = TempPath("out");
  errPath_ = TempPath("err");
  HANDLE out = InheritableFile(outPath_);
  HANDLE err = InheritableFile(errPath_);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = out;
  startup.hStdError = err;
  std::string commandLine = "\"" + exe + "\" " + arguments;
  const auto start = [&] {
    return token == nullptr
               ? CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info_)
               : CreateProcessAsUserA(token, exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info_);
  };
  // Wine failed now and then to start a program right after a long run of others in the prefix
  // (CreateProcessAsUser with ERROR_INTERNAL_ERROR, and once CreateProcess); the same call a
  // moment later starts it.
  BOOL started = start();
  if (!started) {
    Sleep(200);
    started = start();
  }
  CloseHandle(out);
  CloseHandle(err);
  if (!started) info_ = {};
  return started != FALSE;
}

std::string ConsoleRun::OutputSoFar() const {
  std::string text;
  ReadTextFile(outPath_, &text);
  return text;
}

ConsoleResult ConsoleRun::Wait(int timeoutMs) {
  ConsoleResult result;
  if (info_.hProcess == nullptr) return result;
  result.finished = WaitForSingleObject(info_.hProcess, DWORD(timeoutMs)) == WAIT_OBJECT_0;
  if (!result.finished) TerminateProcess(info_.hProcess, 1);
  GetExitCodeProcess(info_.hProcess, &result.exitCode);
  CloseHandle(info_.hProcess);
  CloseHandle(info_.hThread);
  info_ = {};
  ReadTextFile(outPath_, &result.out);
  ReadTextFile(errPath_, &result.err);
  DeleteFileA(outPath_.c_str());
  DeleteFileA(errPath_.c_str());
  return result;
}

ConsoleResult RunConsole(const std::string& exe, const std::string& arguments, int timeoutMs) {
  ConsoleRun run;
  if (!run.Start(exe, arguments)) return ConsoleResult();
  return run.Wait(timeoutMs);
}

HANDLE NonAdministratorToken() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
    return nullptr;
  }
  HANDLE own = nullptr;
  HANDLE restricted = nullptr;
  SID_AND_ATTRIBUTES denyOnly = {administrators, 0};
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &own)) {
    if (!CreateRestrictedToken(own, DISABLE_MAX_PRIVILEGE, 1, &denyOnly, 0, nullptr, 0, nullptr,
                               &restricted)) {
      restricted = nullptr;
    }
    CloseHandle(own);
  }
  FreeSid(administrators);
  return restricted;
}

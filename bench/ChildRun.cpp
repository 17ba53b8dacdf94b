#include "bench/ChildRun.h"

#include <windows.h>

#include <vector>

#include "bench/Stopwatch.h"
#include "tests/support/TestFiles.h"

namespace {

constexpr DWORD kRunTimeoutMs = 30 * 60 * 1000;

// Both handles inheritable: the child gets them as its standard handles.
HANDLE OpenInheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::string RunChild(const std::string& commandLine, const std::string& logPath, ChildRun* run) {
  std::vector<char> command(commandLine.begin(), commandLine.end());
  command.push_back('\0');
  // No console input: a question would wait for ever.
  HANDLE input = OpenInheritable("NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE output = OpenInheritable(logPath, GENERIC_WRITE, CREATE_ALWAYS);
  if (input == INVALID_HANDLE_VALUE || output == INVALID_HANDLE_VALUE) {
    if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    return "could not open the standard handles of " + commandLine + " (" + logPath + ")";
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION process = {};

  Stopwatch clock;
  const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  const DWORD startError = GetLastError();
  DWORD waited = WAIT_FAILED;
  if (started) waited = WaitForSingleObject(process.hProcess, kRunTimeoutMs);
  run->wall = clock.Seconds();
  CloseHandle(input);
  CloseHandle(output);
  if (!started) {
    return "could not start " + commandLine + " (error " + std::to_string(startError) + ")";
  }
  DWORD exitCode = 0;
  if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  run->exitCode = exitCode;
  if (waited != WAIT_OBJECT_0) return "it did not end: " + commandLine;
  ReadTextFile(logPath, &run->printed);
  return "";
}

#include "bench/XcopyTiming.h"

#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <vector>

#include "bench/Stopwatch.h"
#include "tests/support/TestFiles.h"

namespace {

constexpr DWORD kRunTimeoutMs = 15 * 60 * 1000;

// The number before the last "file(s) copied" of xcopy's output; -1 when there is none.
long FilesCopiedIn(const std::string& output) {
  std::string lower = output;
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  const size_t at = lower.rfind("file(s) copied");
  if (at == std::string::npos) return -1;
  size_t start = at;
  while (start > 0 && lower[start - 1] == ' ') --start;
  size_t digits = start;
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(lower[digits - 1]))) --digits;
  return digits < start ? strtol(lower.c_str() + digits, nullptr, 10) : -1;
}

// Both handles inheritable: the child gets them as its standard handles.
HANDLE OpenInheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::string XcopyPath() {
  char folder[MAX_PATH] = "";
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "xcopy.exe";
  return std::string(folder) + "\\xcopy.exe";
}

std::string TimeXcopy(const std::string& source, const std::string& destination,
                      const std::string& logPath, XcopyTiming* timing) {
  const std::string command =
      "\"" + XcopyPath() + "\" /E /I /Y \"" + source + "\" \"" + destination + "\"";
  std::vector<char> commandLine(command.begin(), command.end());
  commandLine.push_back('\0');

  // No console input: /Y and /I leave it nothing to ask, and a question would wait for ever.
  HANDLE input = OpenInheritable("NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE output = OpenInheritable(logPath, GENERIC_WRITE, CREATE_ALWAYS);
  if (input == INVALID_HANDLE_VALUE || output == INVALID_HANDLE_VALUE) {
    if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    return "could not open xcopy's standard handles (" + logPath + ")";
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION process = {};

  Stopwatch clock;
  const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  const DWORD startError = GetLastError();
  DWORD waited = WAIT_FAILED;
  if (started) waited = WaitForSingleObject(process.hProcess, kRunTimeoutMs);
  timing->wall = clock.Seconds();
  CloseHandle(input);
  CloseHandle(output);
  if (!started) return "could not start " + command + " (error " + std::to_string(startError) + ")";

  DWORD exitCode = 0;
  if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  timing->exitCode = exitCode;
  if (waited != WAIT_OBJECT_0) return "xcopy did not end: " + command;

  std::string printed;
  ReadTextFile(logPath, &printed);
  timing->filesCopied = FilesCopiedIn(printed);
  if (exitCode != 0) return "xcopy exited with " + std::to_string(exitCode) + ": " + command;
  if (timing->filesCopied < 0) return "xcopy did not say how many files it copied: " + command;
  return "";
}

#include "bench/XcopyTiming.h"

#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <string>

#include "bench/ChildRun.h"

namespace {

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
  ChildRun run;
  const std::string fault = RunChild(command, logPath, &run);
  timing->wall = run.wall;
  timing->exitCode = run.exitCode;
  if (!fault.empty()) return "xcopy: " + fault;
  timing->filesCopied = FilesCopiedIn(run.printed);
  if (run.exitCode != 0) return "xcopy exited with " + std::to_string(run.exitCode) + ": " + command;
  if (timing->filesCopied < 0) return "xcopy did not say how many files it copied: " + command;
  return "";
}

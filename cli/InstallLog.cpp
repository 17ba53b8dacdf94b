#include "cli/InstallLog.h"

#include <cstdarg>
#include <cstdio>

namespace {
constexpr int kLogLineSize = 1100;  // a status line (1023) with the time stamp in front
}

bool CInstallLog::Open(const std::string& path, DWORD* error) {
  // FILE_APPEND_DATA alone: every write lands at the end, also when another run appends at once.
  if (!m_file.Create(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL)) {
    *error = GetLastError();
    return false;
  }
  return true;
}

void CInstallLog::Write(const char* format, ...) {
  if (!m_file.IsOpen()) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char line[kLogLineSize];
  int length = snprintf(line, sizeof line, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth,
                        now.wDay, now.wHour, now.wMinute, now.wSecond);
  if (length < 0) return;
  va_list args;
  va_start(args, format);
  const int text = vsnprintf(line + length, sizeof line - length - 2, format, args);
  va_end(args);
  if (text < 0) return;
  length += text < int(sizeof line) - length - 2 ? text : int(sizeof line) - length - 3;
  line[length++] = '\r';
  line[length++] = '\n';
  DWORD written = 0;
  // A log that cannot be written does not stop the install; the console shows what happened.
  WriteFile(m_file.GetSafeHandle(), line, DWORD(length), &written, nullptr);
}

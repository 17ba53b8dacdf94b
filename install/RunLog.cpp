#include "install/RunLog.h"

#include <cstdarg>
#include <cstdio>

#include "install/ErrorWords.h"
#include "install/ProgramDataFolder.h"
#include "install/PathSafety.h"
#include "install/Utf8Text.h"

namespace {

constexpr int kLogLineSize = 1100;  // a console line (1023) with the time stamp in front

std::string ErrorText(const char* what, DWORD error) {
  return std::string(what) + ": " + ErrorInWords(error);
}

// "+01:00": the local time's offset from UTC now.
void UtcOffset(char* text, size_t size) {
  TIME_ZONE_INFORMATION zone;
  const DWORD kind = GetTimeZoneInformation(&zone);
  long bias = zone.Bias;  // minutes to add to local time for UTC
  if (kind == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
  if (kind == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
  const long east = -bias;
  snprintf(text, size, "%c%02ld:%02ld", east < 0 ? '-' : '+', labs(east) / 60, labs(east) % 60);
}

}  // namespace

std::string CRunLog::DefaultPath() {
  const std::string logs = ProgramDataPath("Logs");
  return logs.empty() ? logs : logs + "\\qx48patch.log";
}

std::string CRunLog::OlderPath(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + ".old";
  return path.substr(0, dot) + ".old" + path.substr(dot);
}

bool CRunLog::Open(const std::string& path, bool isDefault, std::string* why) {
  if (path.empty()) {
    *why = "there is no ProgramData folder";
    return false;
  }
  // Held from the check of the default log's folders until the log is open: on Windows they can
  // then be neither renamed nor replaced by a link meanwhile.
  CProgramDataFolder logs;
  if (isDefault && !logs.Use("Logs", why)) return false;
  if (!OpenFile(path, why)) return false;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(m_file.GetSafeHandle(), &size) && size.QuadPart > kMaxLogSize) {
    m_file.Close();
    // Another run may rotate at the same moment; either way one of us opens a fresh log.
    MoveFileExA(path.c_str(), OlderPath(path).c_str(), MOVEFILE_REPLACE_EXISTING);
    if (!OpenFile(path, why)) return false;
  }
  return true;
}

bool CRunLog::OpenFile(const std::string& path, std::string* why) {
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end, also when another run
  // appends at once. The reparse point itself is opened, never what it leads to.
  if (!m_file.Create(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT)) {
    *why = ErrorText((path + " cannot be opened").c_str(), GetLastError());
    return false;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (!m_file.GetInformation(&information) || IsReparsePoint(information.dwFileAttributes) ||
      IsFolder(information.dwFileAttributes) || information.nNumberOfLinks > 1) {
    m_file.Close();
    *why = path + " is a link or a folder, not a log file of its own";
    return false;
  }
  return true;
}

void CRunLog::WriteStart(const char* program, const char* patchLabel, const char* startedBy) {
  char user[256] = "?";
  DWORD size = sizeof user;
  GetUserNameA(user, &size);
  char machine[MAX_COMPUTERNAME_LENGTH + 1] = "?";
  size = sizeof machine;
  GetComputerNameA(machine, &size);
  Write("start: %s, patch %s, as %s on %s, %s", program, patchLabel, user, machine, startedBy);
}

void CRunLog::Write(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteArgs(format, args);
  va_end(args);
}

void CRunLog::WriteArgs(const char* format, va_list args) {
  if (!m_file.IsOpen()) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char offset[16];
  UtcOffset(offset, sizeof offset);
  char line[kLogLineSize];
  int length = snprintf(line, sizeof line, "%04u-%02u-%02uT%02u:%02u:%02u%s ", now.wYear,
                        now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, offset);
  if (length < 0) return;
  const int text = vsnprintf(line + length, sizeof line - length, format, args);
  if (text < 0) return;
  length += text < int(sizeof line) - length ? text : int(sizeof line) - length - 1;
  const std::string bytes = ToUtf8(std::string(line, length)) + "\r\n";
  DWORD written = 0;
  // A log that cannot be written does not stop the run; the console shows what happened.
  WriteFile(m_file.GetSafeHandle(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

#pragma once
#include <windows.h>

#include <string>

#include "classlib/FileHandle.h"

// The log every run of qx48patch appends to, so that an administrator can tell from a distance
// what ran, as whom, and how it ended: a header line (tool and patch version, command line,
// account, machine), the run's own lines (every error among them, also those before the install
// lock), and a closing line with the exit code. UTF-8, each line stamped with the local time and
// its offset from UTC ("2026-12-09T10:13:40+01:00 ...").
constexpr DWORD kMaxLogSize = 1u << 20;  // past this the log becomes the one older file kept

class CRunLog {
 public:
  CRunLog() = default;
  CRunLog(const CRunLog&) = delete;
  CRunLog& operator=(const CRunLog&) = delete;

  // %ProgramData%\QuorVantel\Logs\qx48patch.log; empty when ProgramData cannot be found.
  static std::string DefaultPath();
  // The one older file kept beside path: "x.log" gives "x.old.log".
  static std::string OlderPath(const std::string& path);

  // Opens path for appending, creating it when missing; a log past kMaxLogSize first replaces its
  // older file. The default log's folder is made for SYSTEM and Administrators alone, and an
  // existing one is used only while it still is, since a run as SYSTEM writes there. A log that
  // is a link (a reparse point, or a file with a second name that may be a system file) is
  // refused. FALSE, with why, when it cannot be opened; Write then does nothing.
  bool Open(const std::string& path, bool isDefault, std::string* why);
  bool IsOpen() const { return m_file.IsOpen(); }

  // The run's first line, the same for the dialog and the console tool: "start: " and program
  // (its name, version and architecture), the version of the patch beside it, the account and
  // machine it runs as, and how it was started.
  void WriteStart(const char* program, const char* patchLabel, const char* startedBy);

  void Write(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void WriteArgs(const char* format, va_list args);

 private:
  bool OpenFile(const std::string& path, std::string* why);

  CFileHandle m_file;
};

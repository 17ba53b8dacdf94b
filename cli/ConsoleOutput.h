#pragma once
#include <cstdarg>
#include <cstdio>

class CRunLog;

// Where qx48patch talks to its user. On a console, progress is one line that updates in place;
// redirected to a file or a pipe (a distribution system's log), every step is a plain line of its
// own. Errors go to standard error and are shown even with --quiet. Every line and error also
// goes to the run's log, quiet or not.
class CConsoleOutput {
 public:
  explicit CConsoleOutput(bool quiet);

  void SetLog(CRunLog* log) { m_log = log; }
  CRunLog* Log() const { return m_log; }

  bool IsConsole() const { return m_console; }
  // A line of standard output; nothing with --quiet.
  void Line(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // A line of standard error, always.
  void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Progress of the install into one installation: files done of the total, and the file just
  // started. On a console the line is rewritten in place; otherwise one line per file.
  void Progress(const char* installation, int done, int total, const char* file);
  // Ends an in-place progress line, so that what follows starts on a line of its own.
  void EndProgress();

 private:
  void Write(FILE* stream, const char* prefix, const char* format, va_list args);

  CRunLog* m_log = nullptr;
  bool m_quiet;
  bool m_console;
  int m_progressWidth = 0;  // characters of the in-place line shown now; 0: none
};

#include "cli/ConsoleOutput.h"

#include <windows.h>

#include <cstdarg>

#include "install/RunLog.h"

namespace {

constexpr int kLineSize = 1024;  // a longer line is cut

bool StdoutIsConsole() {
  DWORD mode = 0;
  // GetConsoleMode fails for a file or a pipe: only a real console has a mode.
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != FALSE;
}

}  // namespace

CConsoleOutput::CConsoleOutput(bool quiet) : m_quiet(quiet), m_console(StdoutIsConsole()) {}

void CConsoleOutput::Write(FILE* stream, const char* prefix, const char* format, va_list args) {
  char line[kLineSize];
  if (vsnprintf(line, sizeof line, format, args) < 0) line[0] = '\0';
  if (m_log != nullptr) m_log->Write("%s%s", prefix, line);
  if (stream == nullptr) return;
  EndProgress();
  fprintf(stream, "%s\n", line);
  fflush(stream);
}

void CConsoleOutput::Line(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Write(m_quiet ? nullptr : stdout, "", format, args);
  va_end(args);
}

void CConsoleOutput::Error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Write(stderr, "error: ", format, args);
  va_end(args);
}

void CConsoleOutput::Progress(const char* installation, int done, int total, const char* file) {
  if (m_quiet) return;
  char line[kLineSize];
  if (!m_console) {
    snprintf(line, sizeof line, "%s: %d of %d files: %s", installation, done, total, file);
    fprintf(stdout, "%s\n", line);
    fflush(stdout);
    return;
  }
  // The new text is padded to the old one's width, so no tail of a longer line stays behind.
  const int width = snprintf(line, sizeof line, "%s: %d of %d files", installation, done, total);
  const int shown = width < 0 ? 0 : (width >= kLineSize ? kLineSize - 1 : width);
  const int pad = m_progressWidth > shown ? m_progressWidth - shown : 0;
  fprintf(stdout, "\r%s%*s", line, pad, "");
  fflush(stdout);
  m_progressWidth = shown;
}

void CConsoleOutput::EndProgress() {
  if (m_progressWidth == 0) return;
  fprintf(stdout, "\n");
  fflush(stdout);
  m_progressWidth = 0;
}

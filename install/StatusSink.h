#pragma once
#include <cstdarg>

// Where the install reports its progress, one line at a time: a function and its context, so that
// the copy knows nothing of who shows the line (the dialog's mailbox, a console, a test).
constexpr int kStatusLineSize = 1024;  // a line is cut to 1023 characters

struct StatusSink {
  void (*post)(void* context, const char* line);  // may be null: nothing is reported
  void* context;
};

// Formats like printf into a bounded line and hands it to the sink.
void PostToSink(const StatusSink& sink, const char* format, ...);

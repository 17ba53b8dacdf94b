#include "install/StatusSink.h"

#include <cstdio>

void PostToSink(const StatusSink& sink, const char* format, ...) {
  if (sink.post == nullptr) {
    return;
  }
  char line[kStatusLineSize];
  va_list args;
  va_start(args, format);
  // A longer line is cut; vsnprintf always terminates within the buffer.
  if (vsnprintf(line, sizeof line, format, args) < 0) {
    line[0] = '\0';
  }
  va_end(args);
  sink.post(sink.context, line);
}

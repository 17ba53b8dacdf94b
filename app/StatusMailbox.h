#pragma once
#include <atomic>
#include <cstdarg>
#include <cstdint>

// The one-slot text channel from the install worker to the dialog: only the newest text is kept,
// and neither side waits for the other beyond one bounded copy.
constexpr int kStatusTextSize = 1024;  // at most 1023 characters and the terminator

struct StatusMailbox {
  std::atomic<int32_t> busy;   // the lock: taken by a compare-exchange from 0 to 1, by either side
  int32_t pending;             // a text is waiting; touched only under the lock
  char text[kStatusTextSize];  // its last byte is never written, so the text is always terminated
};

// Worker side: formats like printf and replaces any text not yet taken.
void PostStatus(StatusMailbox* mailbox, const char* format, ...);
void PostStatusV(StatusMailbox* mailbox, const char* format, va_list args);

// Dialog side: copies a waiting text with its terminator into buffer (kStatusTextSize bytes) and
// returns true; returns false and leaves buffer untouched when nothing is waiting.
bool TakeStatus(StatusMailbox* mailbox, char* buffer);

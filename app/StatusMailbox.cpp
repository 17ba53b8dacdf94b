#include "app/StatusMailbox.h"

#include <cstring>

#include "classlib/afx.h"

namespace {

constexpr DWORD kLockPollMilliseconds = 20;

// Either side holds the lock only for one copy of at most kStatusTextSize bytes, so polling is
// cheaper than a kernel wait, and neither thread can block the other for long.
void Lock(StatusMailbox* mailbox) {
  int32_t expected = 0;
  while (!mailbox->busy.compare_exchange_strong(expected, 1, std::memory_order_acquire,
                                                std::memory_order_relaxed)) {
    expected = 0;
    Sleep(kLockPollMilliseconds);
  }
}

void Unlock(StatusMailbox* mailbox) {
  mailbox->busy.store(0, std::memory_order_release);
}

}  // namespace

void PostStatus(StatusMailbox* mailbox, const char* format, ...) {
  va_list args;
  va_start(args, format);
  PostStatusV(mailbox, format, args);
  va_end(args);
}

void PostStatusV(StatusMailbox* mailbox, const char* format, va_list args) {
  CString text;
  text.FormatV(format, args);
  const size_t length = static_cast<size_t>(text.GetLength());
  constexpr size_t kMaxCharacters = kStatusTextSize - 1;

  Lock(mailbox);
  if (length < kMaxCharacters) {
    memcpy(mailbox->text, static_cast<LPCTSTR>(text), length + 1);
  } else {
    // The last byte of text stays the zero it started as and terminates the cut text.
    memcpy(mailbox->text, static_cast<LPCTSTR>(text), kMaxCharacters);
  }
  mailbox->pending = 1;
  Unlock(mailbox);
}

bool TakeStatus(StatusMailbox* mailbox, char* buffer) {
  Lock(mailbox);
  const bool taken = mailbox->pending != 0;
  if (taken) {
    const size_t length = strnlen(mailbox->text, kStatusTextSize - 1);
    memcpy(buffer, mailbox->text, length);
    buffer[length] = '\0';
    mailbox->pending = 0;
  }
  Unlock(mailbox);
  return taken;
}

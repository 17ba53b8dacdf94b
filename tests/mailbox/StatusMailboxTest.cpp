#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "app/StatusMailbox.h"

namespace {

// Zero-filled, as the installation table that holds the mailbox is at start-up.
struct Mailbox {
  Mailbox() {
    box.busy.store(0);
    box.pending = 0;
    memset(box.text, 0, sizeof(box.text));
  }
  StatusMailbox box;
};

std::string Take(StatusMailbox* mailbox) {
  char buffer[kStatusTextSize];
  memset(buffer, 'U', sizeof(buffer));
  if (!TakeStatus(mailbox, buffer)) return "<nothing>";
  EXPECT_NE(memchr(buffer, '\0', sizeof(buffer)), nullptr) << "taken text not terminated";
  return std::string(buffer);
}

TEST(StatusMailbox, TextsAreCutTo1023Characters) {
  for (size_t length : {0u, 1u, 1021u, 1022u, 1023u, 1024u, 1025u, 5000u, 100000u}) {
    Mailbox mailbox;
    std::string text;
    for (size_t i = 0; i < length; ++i) text += static_cast<char>('a' + i % 26);
    PostStatus(&mailbox.box, "%s", text.c_str());
    EXPECT_EQ(Take(&mailbox.box), text.substr(0, 1023)) << length;
    EXPECT_EQ(mailbox.box.text[kStatusTextSize - 1], '\0') << "last byte written";
  }
}

TEST(StatusMailbox, FormatsLikePrintf) {
  Mailbox mailbox;
  PostStatus(&mailbox.box, "Copy %s to %s", "C:\\patch\\a.h", "C:\\EW\\arm\\config\\a.h");
  EXPECT_EQ(Take(&mailbox.box), "Copy C:\\patch\\a.h to C:\\EW\\arm\\config\\a.h");
  PostStatus(&mailbox.box, "Install patch finished, total elapse %.3f sec", 12.0625);
  EXPECT_EQ(Take(&mailbox.box), "Install patch finished, total elapse 12.062 sec");
}

TEST(StatusMailbox, OnlyTheNewestTextIsKept) {
  Mailbox mailbox;
  PostStatus(&mailbox.box, "%s", std::string(1500, 'L').c_str());
  PostStatus(&mailbox.box, "second");
  EXPECT_EQ(Take(&mailbox.box), "second");
  EXPECT_EQ(Take(&mailbox.box), "<nothing>");
  PostStatus(&mailbox.box, "%s", std::string(900, 'L').c_str());
  EXPECT_EQ(Take(&mailbox.box), std::string(900, 'L'));
  PostStatus(&mailbox.box, "%s", "");
  EXPECT_EQ(Take(&mailbox.box), "");
}

TEST(StatusMailbox, EmptyTakeLeavesTheBufferAlone) {
  Mailbox mailbox;
  char buffer[kStatusTextSize];
  memset(buffer, 'Z', sizeof(buffer));
  EXPECT_FALSE(TakeStatus(&mailbox.box, buffer));
  for (char c : buffer) ASSERT_EQ(c, 'Z');
  PostStatus(&mailbox.box, "once");
  EXPECT_TRUE(TakeStatus(&mailbox.box, buffer));
  memset(buffer, 'Z', sizeof(buffer));
  EXPECT_FALSE(TakeStatus(&mailbox.box, buffer));
  for (char c : buffer) ASSERT_EQ(c, 'Z');
  EXPECT_EQ(mailbox.box.busy.load(), 0);
}

// The test holds the lock as the other side would; the waiting side must not touch the text
// until it is released, and must then finish.
TEST(StatusMailbox, PostWaitsWhileTheOtherSideHoldsTheLock) {
  Mailbox mailbox;
  PostStatus(&mailbox.box, "old");
  mailbox.box.busy.store(1);
  std::atomic<bool> posted{false};
  std::thread worker([&] {
    PostStatus(&mailbox.box, "new");
    posted = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_FALSE(posted.load());
  EXPECT_STREQ(mailbox.box.text, "old");
  mailbox.box.busy.store(0);
  worker.join();
  EXPECT_TRUE(posted.load());
  EXPECT_EQ(Take(&mailbox.box), "new");
}

TEST(StatusMailbox, TakeWaitsWhileTheOtherSideHoldsTheLock) {
  Mailbox mailbox;
  mailbox.box.busy.store(1);
  std::atomic<int> result{-1};
  std::string taken;
  std::thread dialog([&] {
    char buffer[kStatusTextSize];
    const bool got = TakeStatus(&mailbox.box, buffer);
    if (got) taken = buffer;
    result = got ? 1 : 0;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(result.load(), -1);
  // Still holding the lock: put a text in as a writer would, then release.
  strcpy(mailbox.box.text, "written under the lock");
  mailbox.box.pending = 1;
  mailbox.box.busy.store(0);
  dialog.join();
  EXPECT_EQ(result.load(), 1);
  EXPECT_EQ(taken, "written under the lock");
}

// Text number i: its number, then a run of one letter whose length varies, some of them past
// the cut. A torn copy shows as a wrong letter, a wrong length or a missing terminator.
std::string Expected(int i) {
  char number[16];
  snprintf(number, sizeof(number), "%05d|", i);
  const size_t run = static_cast<size_t>(i * 37 % 1200);
  return (number + std::string(run, static_cast<char>('a' + i % 26))).substr(0, 1023);
}

TEST(StatusMailbox, TwoThreadsEveryTextWholeAndTheLastArrives) {
  constexpr int kPosts = 3000;
  for (int round = 0; round < 6; ++round) {
    const int pace = round % 3;
    Mailbox mailbox;
    std::thread worker([&] {
      for (int i = 0; i < kPosts; ++i) {
        PostStatus(&mailbox.box, "%s", Expected(i).c_str());
        if (pace == 1 && i % 16 == 0) std::this_thread::yield();
        if (pace == 2 && i % 200 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(3));
      }
      PostStatus(&mailbox.box, "last");
    });
    int previous = -1;
    int taken = 0;
    bool last = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    char buffer[kStatusTextSize];
    while (!last && std::chrono::steady_clock::now() < deadline) {
      if (!TakeStatus(&mailbox.box, buffer)) continue;
      ++taken;
      const std::string text(buffer);
      if (text == "last") {
        last = true;
        break;
      }
      const int i = atoi(text.c_str());
      ASSERT_GT(i, previous) << "an older text after a newer one";
      ASSERT_LT(i, kPosts);
      ASSERT_EQ(text, Expected(i)) << "text " << i << " not whole";
      previous = i;
    }
    worker.join();
    EXPECT_TRUE(last) << "the last post never arrived";
    EXPECT_GE(taken, 1);
    EXPECT_EQ(Take(&mailbox.box), "<nothing>");
    EXPECT_EQ(mailbox.box.busy.load(), 0);
  }
}

}  // namespace

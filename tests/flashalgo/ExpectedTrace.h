// Register sequences as the entry points must produce them, written step by step in the terms of
// the algorithm (set bits, clear bits, wait while busy, finish), and a comparison that reports the
// first access that differs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "tests/flashalgo/ChipModel.h"

class ExpectedTrace {
 public:
  ExpectedTrace& read(uint32_t address, uint32_t value, uint8_t size = 4) {
    accesses_.push_back({address, size, false, value});
    return *this;
  }
  ExpectedTrace& write(uint32_t address, uint32_t value, uint8_t size = 4) {
    accesses_.push_back({address, size, true, value});
    return *this;
  }
  // The two key words into KEYR or OPTKEYR.
  ExpectedTrace& keys(uint32_t keyRegister) {
    return write(keyRegister, chip::KEY1).write(keyRegister, chip::KEY2);
  }
  // A read-modify-write that reads `before`.
  ExpectedTrace& setBits(uint32_t address, uint32_t before, uint32_t bits) {
    return read(address, before).write(address, before | bits);
  }
  ExpectedTrace& clearBits(uint32_t address, uint32_t before, uint32_t bits) {
    return read(address, before).write(address, before & ~bits);
  }
  // polls reads of SR that show BSY (on top of srWhileBusy), each followed by one watchdog
  // reload, then the read that finds the controller idle with srDone.
  ExpectedTrace& waitWhileBusy(unsigned polls, uint32_t srWhileBusy, uint32_t srDone) {
    for (unsigned i = 0; i < polls; ++i) {
      read(chip::reg::SR, srWhileBusy | chip::BSY).write(chip::reg::KR, chip::WDG_RELOAD);
    }
    return read(chip::reg::SR, srDone);
  }
  // The error test, and when an error flag shows, the read-modify-write that clears both flags.
  ExpectedTrace& finish(uint32_t sr) {
    read(chip::reg::SR, sr);
    if ((sr & (chip::PGERR | chip::WRPRTERR)) != 0) {
      setBits(chip::reg::SR, sr, chip::PGERR | chip::WRPRTERR);
    }
    return *this;
  }

  const std::vector<chip::Access>& accesses() const { return accesses_; }

 private:
  std::vector<chip::Access> accesses_;
};

// Equal traces pass; otherwise the message names the first differing access with some context.
inline ::testing::AssertionResult SameTrace(const std::vector<chip::Access>& actual,
                                            const ExpectedTrace& expected) {
  const std::vector<chip::Access>& want = expected.accesses();
  size_t common = std::min(actual.size(), want.size());
  size_t first = 0;
  while (first < common && actual[first] == want[first]) {
    ++first;
  }
  if (first == common && actual.size() == want.size()) {
    return ::testing::AssertionSuccess();
  }
  std::ostringstream text;
  text << "traces differ at access " << first << " (actual " << actual.size()
       << " accesses, expected " << want.size() << ")\n";
  size_t from = first >= 4 ? first - 4 : 0;
  for (size_t i = from; i < first + 4 && (i < actual.size() || i < want.size()); ++i) {
    text << (i == first ? " > " : "   ") << i << ": actual "
         << (i < actual.size() ? chip::Describe(actual[i]) : std::string("(none)")) << ", expected "
         << (i < want.size() ? chip::Describe(want[i]) : std::string("(none)")) << "\n";
  }
  return ::testing::AssertionFailure() << text.str();
}

// The stack every entry point needs, on its deepest path (busy waits, failures, an odd last byte),
// held to the budget a loader can be trusted to give: a loader puts its page buffers or the image
// itself right below the stack, so an entry point that goes deeper corrupts them silently.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/flashalgo/StackBudget.h"
#include "tests/flashalgo/TargetTest.h"

namespace {

class StackBudgetTest : public TargetTest {};

struct StackCase {
  const char* entryPoint;
  std::vector<uint32_t> args;
  unsigned failAt;  // the operation (1-based) that ends with PGERR, 0 for none
};

TEST_P(StackBudgetTest, EveryEntryPointStaysWithinTheBudget) {
  const uint32_t buf = target::kBufferBase;
  const StackCase cases[] = {
      {"Init", {chip::kMainFlashBase, 8000000, 1}, 0},
      {"UnInit", {3}, 0},
      {"EraseSector", {0x08000400}, 0},
      {"EraseSector", {0x08000400}, 1},
      {"EraseChip", {}, 0},
      {"EraseChip", {}, 2},
      {"BlankCheck", {chip::kMainFlashBase, 0x400, 0xFF}, 0},
      {"ProgramPage", {chip::kMainFlashBase, 0x400, buf}, 0},
      {"ProgramPage", {chip::kMainFlashBase, 5, buf}, 0},
      {"ProgramPage", {chip::kMainFlashBase, 0x400, buf}, 7},
  };
  uint32_t deepest = 0;
  for (const StackCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.entryPoint << " failing at " << c.failAt);
    ASSERT_NO_FATAL_FAILURE(PowerUp());
    ASSERT_NO_FATAL_FAILURE(InitAsTool());
    chip().setOptionByteRegister(0);  // the watchdog runs from reset: Init sets it up too
    chip().setBusyPolls(2);
    if (c.failAt != 0) {
      chip().failOperation(c.failAt, chip::PGERR);
    }

    call(c.entryPoint, c.args);

    EXPECT_LE(emulated().stackUsed(), kStackBudget);
    deepest = std::max(deepest, emulated().stackUsed());
  }
  EXPECT_GT(deepest, 0u) << "the measurement sees no push at all";
}

INSTANTIATE_TEST_SUITE_P(LoadAddresses, StackBudgetTest, ::testing::ValuesIn(kLoadAddresses),
                         LoadAddressName);

}  // namespace

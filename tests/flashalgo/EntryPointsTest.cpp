// Init, UnInit, EraseSector, EraseChip and BlankCheck of the built image, run in the emulated chip
// at several load addresses: their register sequences access by access, and what they leave in the
// controller, the watchdog and the flash.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "tests/flashalgo/TargetTest.h"

namespace {

using chip::Operation;
namespace reg = chip::reg;

size_t CountBytes(const std::vector<uint8_t>& memory, uint8_t value) {
  return static_cast<size_t>(std::count(memory.begin(), memory.end(), value));
}

class InitTest : public TargetTest {};
class UnInitTest : public TargetTest {};
class EraseSectorTest : public TargetTest {};
class EraseChipTest : public TargetTest {};
class BlankCheckTest : public TargetTest {};

struct InitCase {
  const char* name;
  uint32_t obr;
  uint32_t srBefore;
  uint32_t fnc;
  bool watchdogSetUp;  // bit 2 of OBR clear: the watchdog runs from reset
};

const InitCase kInitCases[] = {
    {"software watchdog, erase", 0x04, 0, 1, false},
    {"hardware watchdog, program", 0x00, 0, 2, true},
    {"hardware watchdog, other option bits set, stale flags", 0xFFFFFFFB,
     chip::PGERR | chip::WRPRTERR | chip::EOP, 3, true},
    {"software watchdog among other bits, stale write-protection error", 0xFFFFFFFF, chip::WRPRTERR,
     2, false},
};

TEST_P(InitTest, UnlocksClearsFlagsAndSetsUpAHardwareWatchdogOnly) {
  for (const InitCase& c : kInitCases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(PowerUp());
    chip().setOptionByteRegister(c.obr);
    chip().setStatus(c.srBefore);

    EXPECT_EQ(call("Init", {chip::kMainFlashBase, 48000000, c.fnc}), 0u);

    ExpectedTrace want;
    want.keys(reg::KEYR)
        .keys(reg::OPTKEYR)
        .write(reg::ACR, 0)
        .setBits(reg::SR, c.srBefore, kErrorFlags)
        .read(reg::OBR, c.obr);
    if (c.watchdogSetUp) {
      want.write(reg::KR, chip::WDG_ACCESS).write(reg::PR, 6).write(reg::RLR, 0xFFF);
    }
    EXPECT_TRUE(SameTrace(chip().trace(), want));
    EXPECT_EQ(chip().control(), chip::OPTWRE) << "unlocked, option bytes writable";
    EXPECT_EQ(chip().status() & kErrorFlags, 0u);
    EXPECT_EQ(chip().watchdogPrescaler(), c.watchdogSetUp ? 6u : 0u);
    EXPECT_EQ(chip().watchdogReloads(), 0u);
  }
}

struct UnInitCase {
  const char* name;
  uint32_t crBefore;
  uint32_t fnc;
};

const UnInitCase kUnInitCases[] = {
    {"after Init", chip::OPTWRE, 1},
    {"option bytes never unlocked", 0, 2},
    {"programming bit left set", chip::OPTWRE | chip::PG, 3},
};

TEST_P(UnInitTest, LocksTheControllerAndClearsOptionWriteEnable) {
  for (const UnInitCase& c : kUnInitCases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(PowerUp());
    ASSERT_NO_FATAL_FAILURE(InitAsTool());
    chip().setControl(c.crBefore);

    EXPECT_EQ(call("UnInit", {c.fnc}), 0u);

    ExpectedTrace want;
    want.setBits(reg::CR, c.crBefore, chip::LOCK)
        .clearBits(reg::CR, c.crBefore | chip::LOCK, chip::OPTWRE);
    EXPECT_TRUE(SameTrace(chip().trace(), want));
    EXPECT_NE(chip().control() & chip::LOCK, 0u);
    EXPECT_EQ(chip().control() & chip::OPTWRE, 0u);
  }
}

struct EraseSectorCase {
  uint32_t adr;
  unsigned polls;
  uint32_t srBefore;
  uint32_t failure;  // SR bits the erase ends with
  uint32_t result;
};

const EraseSectorCase kEraseSectorCases[] = {
    {0x08000000, 0, 0, 0, 0},
    {0x080006A6, 1, chip::EOP, 0, 0},  // an address inside the second sector
    {0x0807FFFE, 7, 0, 0, 0},          // the last halfword of the last sector
    {0x08001000, 0, chip::EOP, chip::PGERR, 1},
    {0x08001000, 3, 0, chip::WRPRTERR, 1},
    {0x08040400, 2, chip::EOP, chip::PGERR | chip::WRPRTERR, 1},
};

TEST_P(EraseSectorTest, ErasesTheSectorOfTheAddressAndReportsAndClearsErrors) {
  for (const EraseSectorCase& c : kEraseSectorCases) {
    SCOPED_TRACE(::testing::Message() << "adr 0x" << std::hex << c.adr << " polls " << c.polls
                                      << " failure 0x" << c.failure);
    ASSERT_NO_FATAL_FAILURE(PowerUp());
    ASSERT_NO_FATAL_FAILURE(InitAsTool());
    std::fill(chip().mainFlash().begin(), chip().mainFlash().end(), 0x00);
    chip().setStatus(c.srBefore);
    chip().setBusyPolls(c.polls);
    if (c.failure != 0) {
      chip().failOperation(1, c.failure);
    }

    EXPECT_EQ(call("EraseSector", {c.adr}), c.result);

    const uint32_t cr = chip::OPTWRE;
    ExpectedTrace want;
    want.setBits(reg::SR, c.srBefore, kErrorFlags)
        .setBits(reg::CR, cr, chip::PER)
        .write(reg::AR, c.adr)
        .setBits(reg::CR, cr | chip::PER, chip::STRT)
        .waitWhileBusy(c.polls, 0, chip::EOP | c.failure)
        .clearBits(reg::CR, cr | chip::PER, chip::PER)
        .finish(chip::EOP | c.failure);
    EXPECT_TRUE(SameTrace(chip().trace(), want));

    ASSERT_EQ(chip().operations().size(), 1u);
    EXPECT_EQ(chip().operations()[0].kind, Operation::PageErase);
    EXPECT_EQ(chip().status() & kErrorFlags, 0u) << "the error flags are cleared";
    EXPECT_EQ(chip().watchdogReloads(), c.polls);
    const std::vector<uint8_t>& flash = chip().mainFlash();
    uint32_t page = (c.adr - chip::kMainFlashBase) & ~(chip::kPageSize - 1);
    if (c.failure == 0) {
      EXPECT_EQ(CountBytes(flash, 0xFF), chip::kPageSize);
      EXPECT_TRUE(std::all_of(flash.begin() + page, flash.begin() + page + chip::kPageSize,
                              [](uint8_t b) { return b == 0xFF; }));
    } else {
      EXPECT_EQ(CountBytes(flash, 0xFF), 0u);
    }
  }
}

// The SR bits each of EraseChip's three operations ends with.
struct StepStatus {
  uint32_t optionErase;
  uint32_t optionProgram;
  uint32_t massErase;
};

ExpectedTrace ExpectedEraseChip(unsigned polls, const StepStatus& s) {
  const uint32_t cr = chip::OPTWRE;
  ExpectedTrace want;
  // EraseBlock1ffff800write6C93: unlock, erase the option block, program its first halfword.
  want.keys(reg::KEYR)
      .write(reg::AR, chip::kOptionBlock)
      .setBits(reg::SR, 0, kErrorFlags)
      .keys(reg::OPTKEYR)
      .setBits(reg::CR, cr, chip::OPTER)
      .setBits(reg::CR, cr | chip::OPTER, chip::STRT)
      .waitWhileBusy(polls, 0, chip::EOP | s.optionErase)
      .clearBits(reg::CR, cr | chip::OPTER, chip::OPTER)
      .finish(chip::EOP | s.optionErase);
  // A failed finish clears EOP along with the error flags; a good one leaves EOP.
  uint32_t sr = s.optionErase != 0 ? 0 : chip::EOP;
  want.read(reg::CR, cr)
      .write(reg::CR, cr & 0x1FEF)
      .setBits(reg::CR, cr & 0x1FEF, chip::OPTPG)
      .write(chip::kOptionBlock, 0x6C93, 2)
      .waitWhileBusy(polls, sr, chip::EOP | s.optionProgram)
      .clearBits(reg::CR, cr | chip::OPTPG, chip::OPTPG)
      .finish(chip::EOP | s.optionProgram);
  sr = s.optionProgram != 0 ? 0 : chip::EOP;
  // FLASH_EraseAllPages.
  want.write(reg::AR, chip::kMainFlashBase)
      .setBits(reg::SR, sr, kErrorFlags)
      .setBits(reg::CR, cr, chip::MER)
      .setBits(reg::CR, cr | chip::MER, chip::STRT)
      .waitWhileBusy(polls, 0, chip::EOP | s.massErase)
      .clearBits(reg::CR, cr | chip::MER, chip::MER)
      .finish(chip::EOP | s.massErase);
  return want;
}

struct EraseChipCase {
  const char* name;
  unsigned polls;
  std::map<unsigned, uint32_t> failures;  // operation ordinal (1 to 3) to SR bits
  bool optionBlockProgrammed;             // before the call
  StepStatus steps;
  uint32_t result;
};

const std::vector<EraseChipCase>& EraseChipCases() {
  static const std::vector<EraseChipCase> cases = {
      {"every step succeeds", 0, {}, true, {0, 0, 0}, 0},
      {"every step succeeds, busy for a while", 4, {}, true, {0, 0, 0}, 0},
      {"mass erase ends with PGERR", 1, {{3, chip::PGERR}}, true, {0, 0, chip::PGERR}, 1},
      {"mass erase ends with WRPRTERR", 0, {{3, chip::WRPRTERR}}, true, {0, 0, chip::WRPRTERR}, 1},
      {"read-protection halfword fails", 2, {{2, chip::PGERR}}, true, {0, chip::PGERR, 0}, 1},
      {"both steps fail",
       0,
       {{2, chip::PGERR}, {3, chip::WRPRTERR}},
       true,
       {0, chip::PGERR, chip::WRPRTERR},
       1},
      // The option erase's own result is not examined; over a block that was erased already the
      // halfword still programs, so the step ends clean.
      {"option erase fails over an erased block",
       0,
       {{1, chip::WRPRTERR}},
       false,
       {chip::WRPRTERR, 0, 0},
       0},
      // Over a programmed block the halfword cannot program, and the controller says so.
      {"option erase fails over a programmed block",
       0,
       {{1, chip::WRPRTERR}},
       true,
       {chip::WRPRTERR, chip::PGERR, 0},
       1},
  };
  return cases;
}

TEST_P(EraseChipTest, RunsBothStepsInOrderAndReportsEitherStepsError) {
  for (const EraseChipCase& c : EraseChipCases()) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(PowerUp());
    ASSERT_NO_FATAL_FAILURE(InitAsTool());
    std::fill(chip().mainFlash().begin(), chip().mainFlash().end(), 0x00);
    std::vector<uint8_t>& option = chip().optionBytes();
    if (c.optionBlockProgrammed) {
      for (size_t i = 0; i < option.size(); ++i) {
        option[i] = static_cast<uint8_t>(i % 2 == 0 ? 0xA5 : 0x5A);
      }
    }
    chip().setBusyPolls(c.polls);
    for (const auto& failure : c.failures) {
      chip().failOperation(failure.first, failure.second);
    }

    EXPECT_EQ(call("EraseChip"), c.result);

    EXPECT_TRUE(SameTrace(chip().trace(), ExpectedEraseChip(c.polls, c.steps)));
    const std::vector<chip::StartedOperation>& ops = chip().operations();
    ASSERT_EQ(ops.size(), 3u) << "both steps run whatever the first one did";
    EXPECT_EQ(ops[0].kind, Operation::OptionErase);
    EXPECT_EQ(ops[0].address, chip::kOptionBlock);
    EXPECT_EQ(ops[1].kind, Operation::OptionProgram);
    EXPECT_EQ(ops[1].address, chip::kOptionBlock);
    EXPECT_EQ(ops[1].value, 0x6C93);
    EXPECT_EQ(ops[2].kind, Operation::MassErase);
    EXPECT_EQ(ops[2].address, chip::kMainFlashBase);
    EXPECT_EQ(chip().status() & kErrorFlags, 0u);
    EXPECT_EQ(chip().watchdogReloads(), 3 * c.polls);

    EXPECT_EQ(CountBytes(chip().mainFlash(), 0xFF),
              c.steps.massErase == 0 ? chip::kMainFlashSize : 0u);
    if (c.steps.optionErase == 0 && c.steps.optionProgram == 0) {
      EXPECT_EQ(chip().halfwordAt(chip::kOptionBlock), 0x6C93);
      EXPECT_EQ(CountBytes(option, 0xFF), chip::kOptionBlockSize - 2);
    }
  }
}

struct BlankCheckCase {
  uint32_t adr;
  uint32_t sz;
  uint8_t pat;
  uint8_t content;  // of the whole flash
};

const BlankCheckCase kBlankCheckCases[] = {
    {0x08000000, 0x400, 0xFF, 0xFF},  // erased memory
    {0x08000400, 0x400, 0xFF, 0x00},
    {0x0807FC00, 0x400, 0x00, 0x00},  // a pattern that matches
    {0x08000000, 0, 0xFF, 0xFF},
};

TEST_P(BlankCheckTest, ReportsNotBlankWithoutReadingAnything) {
  for (const BlankCheckCase& c : kBlankCheckCases) {
    SCOPED_TRACE(::testing::Message() << "adr 0x" << std::hex << c.adr << " sz 0x" << c.sz);
    ASSERT_NO_FATAL_FAILURE(PowerUp());
    ASSERT_NO_FATAL_FAILURE(InitAsTool());
    std::fill(chip().mainFlash().begin(), chip().mainFlash().end(), c.content);

    EXPECT_EQ(call("BlankCheck", {c.adr, c.sz, c.pat}), 1u);

    EXPECT_TRUE(chip().trace().empty()) << "first access: " << chip::Describe(chip().trace()[0]);
    EXPECT_TRUE(emulated().bufferReads().empty());
  }
}

// The watchdog is reloaded once per busy poll and never while the controller is idle, in every
// wait of every entry point that waits.
class WatchdogTest : public TargetTest {};

TEST_P(WatchdogTest, ReloadsOncePerBusyPollOfEveryWait) {
  struct Case {
    const char* entryPoint;
    std::vector<uint32_t> args;
    unsigned waits;
  };
  const Case cases[] = {
      {"EraseSector", {0x08000000}, 1},
      {"EraseChip", {}, 3},
      {"ProgramPage", {0x08000000, 6, target::kBufferBase}, 3},
  };
  for (const Case& c : cases) {
    for (unsigned polls : {0u, 1u, 9u}) {
      SCOPED_TRACE(::testing::Message() << c.entryPoint << " busy for " << polls << " polls");
      ASSERT_NO_FATAL_FAILURE(PowerUp());
      ASSERT_NO_FATAL_FAILURE(InitAsTool());
      chip().setBusyPolls(polls);
      EXPECT_EQ(call(c.entryPoint, c.args), 0u);
      EXPECT_EQ(chip().watchdogReloads(), c.waits * polls);
      // Each reload comes right after a read of SR that showed BSY.
      const std::vector<chip::Access>& trace = chip().trace();
      for (size_t i = 0; i < trace.size(); ++i) {
        if (trace[i].write && trace[i].address == reg::KR) {
          ASSERT_GT(i, 0u);
          EXPECT_EQ(trace[i - 1].address, reg::SR);
          EXPECT_NE(trace[i - 1].value & chip::BSY, 0u) << "reload at access " << i;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(LoadAddresses, InitTest, ::testing::ValuesIn(kLoadAddresses),
                         LoadAddressName);
INSTANTIATE_TEST_SUITE_P(LoadAddresses, UnInitTest, ::testing::ValuesIn(kLoadAddresses),
                         LoadAddressName);
INSTANTIATE_TEST_SUITE_P(LoadAddresses, EraseSectorTest, ::testing::ValuesIn(kLoadAddresses),
                         LoadAddressName);
INSTANTIATE_TEST_SUITE_P(LoadAddresses, EraseChipTest, ::testing::ValuesIn(kLoadAddresses),
                         LoadAddressName);
INSTANTIATE_TEST_SUITE_P(LoadAddresses, BlankCheckTest, ::testing::ValuesIn(kLoadAddresses),
                         LoadAddressName);
INSTANTIATE_TEST_SUITE_P(LoadAddresses, WatchdogTest, ::testing::ValuesIn(kLoadAddresses),
                         LoadAddressName);

}  // namespace

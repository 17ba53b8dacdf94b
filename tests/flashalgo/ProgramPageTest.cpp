// ProgramPage of the built image in the emulated chip: the halfword sequence, odd sizes (the last
// byte is completed with 0xFF and nothing past the caller's data is read), errors part-way through
// a page, and a whole erase-and-program session as a tool runs it.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/flashalgo/TargetTest.h"

namespace {

using chip::Operation;
namespace reg = chip::reg;

// Distinct, non-erased bytes, so that byte order and offsets show.
std::vector<uint8_t> PageData(size_t size) {
  std::vector<uint8_t> data(size);
  for (size_t i = 0; i < size; ++i) {
    data[i] = static_cast<uint8_t>((i * 37 + 11) % 251);
  }
  return data;
}

uint16_t ExpectedHalfword(const std::vector<uint8_t>& data, size_t index) {
  size_t low = 2 * index;
  uint8_t high = low + 1 < data.size() ? data[low + 1] : 0xFF;
  return static_cast<uint16_t>(data[low] | high << 8);
}

// The sequence for programming data at adr, after Init; when failAt (1-based) names a halfword,
// it ends with failBits and the sequence stops after it.
ExpectedTrace ExpectedProgramPage(uint32_t adr, const std::vector<uint8_t>& data, unsigned polls,
                                  uint32_t srBefore, size_t failAt = 0, uint32_t failBits = 0) {
  const uint32_t cr = chip::OPTWRE;
  ExpectedTrace want;
  want.setBits(reg::SR, srBefore, chip::PGERR);
  // Writing back what was read clears every flag that was set.
  uint32_t sr = 0;
  size_t halfwords = (data.size() + 1) / 2;
  for (size_t i = 0; i < halfwords; ++i) {
    uint32_t done = chip::EOP | (i + 1 == failAt ? failBits : 0);
    want.setBits(reg::CR, cr, chip::PG)
        .write(adr + 2 * static_cast<uint32_t>(i), ExpectedHalfword(data, i), 2)
        .waitWhileBusy(polls, sr, done)
        .clearBits(reg::CR, cr | chip::PG, chip::PG)
        .finish(done);
    if (i + 1 == failAt) {
      break;
    }
    sr = chip::EOP;
  }
  return want;
}

class ProgramPageTest : public TargetTest {};

struct ProgramCase {
  uint32_t sz;
  uint32_t adr;
  uint32_t bufOffset;  // 2: halfword- but not word-aligned data
  unsigned polls;
  uint32_t srBefore;
};

const ProgramCase kProgramCases[] = {
    {0, 0x08000000, 0, 0, 0},
    {1, 0x08000400, 0, 0, chip::EOP},
    {2, 0x08000802, 2, 1, 0},
    {5, 0x08001000, 0, 0, 0},
    {5, 0x0807FC00, 2, 2, chip::EOP},
    {6, 0x08001006, 0, 0, 0},
    {1023, 0x08002000, 0, 0, chip::EOP},
    {1024, 0x0807FC00, 0, 1, 0},
    {1024, 0x08000000, 2, 0, chip::EOP},
};

TEST_P(ProgramPageTest, ProgramsEachHalfwordOfTheDataInOrder) {
  for (const ProgramCase& c : kProgramCases) {
    SCOPED_TRACE(::testing::Message() << "sz " << c.sz << " adr 0x" << std::hex << c.adr << " buf +"
                                      << c.bufOffset << " polls " << c.polls);
    ASSERT_NO_FATAL_FAILURE(PowerUp());
    ASSERT_NO_FATAL_FAILURE(InitAsTool());
    std::vector<uint8_t> data = PageData(c.sz);
    // Programmed bytes right after the data: an odd size must not pick them up.
    std::vector<uint8_t> filled = data;
    filled.insert(filled.end(), 8, 0x00);
    uint32_t buf = emulated().putBuffer(filled, c.bufOffset);
    chip().setStatus(c.srBefore);
    chip().setBusyPolls(c.polls);

    EXPECT_EQ(call("ProgramPage", {c.adr, c.sz, buf}), 0u);

    EXPECT_TRUE(SameTrace(chip().trace(), ExpectedProgramPage(c.adr, data, c.polls, c.srBefore)));
    size_t halfwords = (c.sz + 1) / 2;
    const std::vector<chip::StartedOperation>& ops = chip().operations();
    ASSERT_EQ(ops.size(), halfwords);
    for (size_t i = 0; i < halfwords; ++i) {
      EXPECT_EQ(ops[i].kind, Operation::Program);
      EXPECT_EQ(ops[i].address, c.adr + 2 * i);
      EXPECT_EQ(ops[i].value, ExpectedHalfword(data, i)) << "halfword " << i;
    }
    std::vector<uint8_t> expectedFlash(chip::kMainFlashSize, 0xFF);
    std::copy(data.begin(), data.end(), expectedFlash.begin() + (c.adr - chip::kMainFlashBase));
    EXPECT_TRUE(chip().mainFlash() == expectedFlash);
    for (const target::MemoryAccess& r : emulated().bufferReads()) {
      EXPECT_GE(r.address, buf);
      EXPECT_LE(r.address + r.size, buf + c.sz) << "read past the caller's data";
    }
    EXPECT_EQ(chip().watchdogReloads(), halfwords * c.polls);
    EXPECT_EQ(chip().status() & kErrorFlags, 0u);
  }
}

struct FailureCase {
  uint32_t sz;
  size_t failAt;  // 1-based halfword
  uint32_t bits;
  unsigned polls;
};

const FailureCase kFailureCases[] = {
    {16, 3, chip::PGERR, 0},
    {16, 3, chip::WRPRTERR, 2},
    {16, 3, chip::PGERR | chip::WRPRTERR, 0},
    {16, 1, chip::PGERR, 1},
    {5, 3, chip::WRPRTERR, 0},  // the completed odd halfword
    {1024, 512, chip::PGERR, 0},
};

TEST_P(ProgramPageTest, StopsRightAfterTheHalfwordThatEndsWithAnErrorAndClearsIt) {
  for (const FailureCase& c : kFailureCases) {
    SCOPED_TRACE(::testing::Message() << "sz " << c.sz << ", halfword " << c.failAt
                                      << " fails with 0x" << std::hex << c.bits);
    ASSERT_NO_FATAL_FAILURE(PowerUp());
    ASSERT_NO_FATAL_FAILURE(InitAsTool());
    const uint32_t adr = 0x08003000;
    std::vector<uint8_t> data = PageData(c.sz);
    uint32_t buf = emulated().putBuffer(data);
    chip().setBusyPolls(c.polls);
    chip().failOperation(static_cast<unsigned>(c.failAt), c.bits);

    EXPECT_EQ(call("ProgramPage", {adr, c.sz, buf}), 1u);

    EXPECT_TRUE(
        SameTrace(chip().trace(), ExpectedProgramPage(adr, data, c.polls, 0, c.failAt, c.bits)));
    EXPECT_EQ(chip().operations().size(), c.failAt) << "the rest of the page is not programmed";
    for (size_t i = 0; i < (c.sz + 1) / 2; ++i) {
      uint16_t want = i + 1 < c.failAt ? ExpectedHalfword(data, i) : 0xFFFF;
      EXPECT_EQ(chip().halfwordAt(adr + 2 * static_cast<uint32_t>(i)), want) << "halfword " << i;
    }
    EXPECT_EQ(chip().status() & kErrorFlags, 0u) << "SR shows neither flag afterwards";
  }
}

// The controller refuses to program a halfword that is not erased; the image reports it.
TEST_P(ProgramPageTest, ReportsTheControllersRefusalToProgramUnerasedFlash) {
  ASSERT_NO_FATAL_FAILURE(InitAsTool());
  const uint32_t adr = 0x08000400;
  chip().mainFlash()[adr - chip::kMainFlashBase + 4] = 0x00;  // the third halfword
  std::vector<uint8_t> data = PageData(8);
  uint32_t buf = emulated().putBuffer(data);

  EXPECT_EQ(call("ProgramPage", {adr, 8, buf}), 1u);

  EXPECT_EQ(chip().operations().size(), 3u);
  EXPECT_EQ(chip().halfwordAt(adr), ExpectedHalfword(data, 0));
  EXPECT_EQ(chip().halfwordAt(adr + 6), 0xFFFF);
  EXPECT_EQ(chip().status() & kErrorFlags, 0u);
}

// The first read-modify-write of SR clears PGERR; writing back what it read, it clears a stale
// WRPRTERR too, so an old error does not fail the new page.
TEST_P(ProgramPageTest, StartsCleanWhateverFlagsAreLeftOver) {
  for (uint32_t stale : {chip::PGERR, chip::WRPRTERR, chip::WRPRTERR | chip::EOP}) {
    SCOPED_TRACE(::testing::Message() << "SR before 0x" << std::hex << stale);
    ASSERT_NO_FATAL_FAILURE(PowerUp());
    ASSERT_NO_FATAL_FAILURE(InitAsTool());
    std::vector<uint8_t> data = PageData(4);
    uint32_t buf = emulated().putBuffer(data);
    chip().setStatus(stale);

    EXPECT_EQ(call("ProgramPage", {0x08000000, 4, buf}), 0u);
    EXPECT_TRUE(SameTrace(chip().trace(), ExpectedProgramPage(0x08000000, data, 0, stale)));
    EXPECT_EQ(chip().halfwordAt(0x08000002), ExpectedHalfword(data, 1));
  }
}

// A tool's session: erase two sectors, program them, lock again; the flash then holds the data.
TEST_P(ProgramPageTest, EraseAndProgramSessionLeavesTheDataInTheFlash) {
  std::fill(chip().mainFlash().begin(), chip().mainFlash().end(), 0x00);
  chip().setOptionByteRegister(0);  // hardware watchdog
  chip().setBusyPolls(2);
  const uint32_t base = 0x08010000;
  std::vector<uint8_t> image = PageData(2 * chip::kPageSize - 3);

  ASSERT_EQ(call("Init", {chip::kMainFlashBase, 8000000, 1}), 0u);
  ASSERT_EQ(call("EraseSector", {base}), 0u);
  ASSERT_EQ(call("EraseSector", {base + chip::kPageSize + 0x10}), 0u);
  ASSERT_EQ(call("UnInit", {1}), 0u);
  ASSERT_EQ(call("Init", {chip::kMainFlashBase, 8000000, 2}), 0u);
  for (uint32_t done = 0; done < image.size(); done += chip::kPageSize) {
    uint32_t size = std::min<uint32_t>(chip::kPageSize, static_cast<uint32_t>(image.size()) - done);
    std::vector<uint8_t> page(image.begin() + done, image.begin() + done + size);
    uint32_t buf = emulated().putBuffer(page);
    ASSERT_EQ(call("ProgramPage", {base + done, size, buf}), 0u);
  }
  ASSERT_EQ(call("UnInit", {2}), 0u);

  const std::vector<uint8_t>& flash = chip().mainFlash();
  uint32_t at = base - chip::kMainFlashBase;
  EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin() + at));
  EXPECT_EQ(
      std::count(flash.begin() + at + image.size(), flash.begin() + at + 2 * chip::kPageSize, 0xFF),
      3)
      << "the erased tail after the odd last byte";
  auto untouched = [](uint8_t b) { return b == 0x00; };
  EXPECT_TRUE(std::all_of(flash.begin(), flash.begin() + at, untouched));
  EXPECT_TRUE(std::all_of(flash.begin() + at + 2 * chip::kPageSize, flash.end(), untouched));
  EXPECT_EQ(chip().control(), chip::LOCK);
  EXPECT_EQ(chip().watchdogPrescaler(), 6u);
}

INSTANTIATE_TEST_SUITE_P(LoadAddresses, ProgramPageTest, ::testing::ValuesIn(kLoadAddresses),
                         LoadAddressName);

}  // namespace

// The fixture of the entry-point tests: a fresh emulated chip with the built image loaded at the
// test's load address, called the way a flash tool calls it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/flashalgo/ChipModel.h"
#include "tests/flashalgo/EmulatedTarget.h"
#include "tests/flashalgo/ExpectedTrace.h"
#include "tests/flashalgo/FlashImage.h"
#include "tests/flashalgo/LoadAddresses.h"

constexpr uint32_t kErrorFlags = chip::PGERR | chip::WRPRTERR;
constexpr uint32_t kObrSoftwareWatchdog = 0x04;

class TargetTest : public ::testing::TestWithParam<uint32_t> {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(PowerUp()); }

  // A chip straight from reset with the image loaded; table-driven tests take one per case.
  void PowerUp() {
    try {
      target_ = std::make_unique<target::EmulatedTarget>(FlashImage(), GetParam());
    } catch (const std::exception& e) {
      FAIL() << e.what();
    }
  }

  chip::ChipModel& chip() { return target_->chip(); }
  target::EmulatedTarget& emulated() { return *target_; }

  // Every call must leave RAM outside its stack alone: the image keeps no state.
  uint32_t call(const std::string& entryPoint, const std::vector<uint32_t>& args = {}) {
    uint32_t result = target_->call(entryPoint, args);
    EXPECT_TRUE(target_->strayWrites().empty())
        << entryPoint << " wrote " << target_->strayWrites().size()
        << " times outside its stack, first at 0x" << std::hex
        << target_->strayWrites().front().address;
    return result;
  }

  // Init as a tool calls it before erasing or programming; its accesses are then forgotten, so
  // that a test sees only the entry point it is about.
  void InitAsTool(uint32_t fnc = 1) {
    chip().setOptionByteRegister(kObrSoftwareWatchdog);
    ASSERT_EQ(call("Init", {chip::kMainFlashBase, 8000000, fnc}), 0u);
    ASSERT_EQ(chip().control(), chip::OPTWRE) << "Init left the controller locked";
    chip().clearTrace();
  }

  std::unique_ptr<target::EmulatedTarget> target_;
};

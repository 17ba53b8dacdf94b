// The emulated chip a flash tool meets: a Cortex-M0 (Unicorn) with 64 KiB of RAM at 0x20000000 and
// the chip model (flash controller, watchdog, main flash, option block) mapped at its addresses.
// A debugger's view of it: memory and core registers read and written while the core is halted,
// and a run from pc until the core executes a bkpt, as a probe halts a core under debug. Each run
// records what a flash image must be held to: its deepest stack pointer, its RAM accesses and the
// instructions it executed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/flashalgo/ChipModel.h"

struct uc_struct;

namespace target {

constexpr uint32_t kRamBase = 0x20000000;
constexpr uint32_t kRamSize = 0x10000;
// Far more than the longest call of an entry point (a 1 KiB page with busy polls), little enough
// to end a runaway loop quickly.
constexpr uint64_t kCallInstructionLimit = 2000000;

struct MemoryAccess {
  uint32_t address;
  unsigned size;
};

// Core registers by the numbers a debugger uses for them (the Arm debug register selectors).
enum class CoreRegister : unsigned {
  R0 = 0, R1, R2, R3, R4, R5, R6, R7, R8, R9, R10, R11, R12,
  SP = 13, LR = 14, PC = 15, XPSR = 16,
};
constexpr unsigned kCoreRegisterCount = 17;

enum class RunEnd {
  Breakpoint,        // the core executed a bkpt and halted on it
  Fault,             // an exception, an invalid instruction or an access to unmapped memory
  InstructionLimit,  // still running after the limit: a runaway loop or a wait that never ends
};

class EmulatedCore {
 public:
  EmulatedCore();
  ~EmulatedCore();
  EmulatedCore(const EmulatedCore&) = delete;
  EmulatedCore& operator=(const EmulatedCore&) = delete;

  chip::ChipModel& chip() { return chip_; }
  const chip::ChipModel& chip() const { return chip_; }

  // Writes into RAM; throws std::runtime_error outside it.
  void writeMemory(uint32_t address, const std::vector<uint8_t>& bytes);
  // Reads RAM, or the main flash and the option block as the chip model holds them (a debugger's
  // read, so it is not in the model's trace of core accesses); throws outside those.
  std::vector<uint8_t> readMemory(uint32_t address, uint32_t size) const;

  uint32_t reg(CoreRegister r) const;
  void setReg(CoreRegister r, uint32_t value);

  // Runs from pc (its bit 0 is the Thumb bit and is ignored) until a bkpt, a fault or `limit`
  // instructions. After a bkpt, pc is the bkpt's address.
  RunEnd run(uint64_t limit);
  // What ended the last run when it was a fault.
  const std::string& fault() const { return fault_; }

  // Of the last run: the lowest sp seen before any instruction, instructions executed within the
  // counted range (everything unless set), and the data accesses to RAM in order.
  uint32_t lowestStackPointer() const { return lowestSp_; }
  uint64_t instructionsExecuted() const { return instructions_; }
  const std::vector<MemoryAccess>& ramReads() const { return ramReads_; }
  const std::vector<MemoryAccess>& ramWrites() const { return ramWrites_; }
  // Only instructions at addresses in [start, end) count: the image's code, not a caller's bkpt.
  void countInstructionsIn(uint32_t start, uint32_t end) {
    countStart_ = start;
    countEnd_ = end;
  }

 private:
  static uint64_t ReadMmio(uc_struct* uc, uint64_t offset, unsigned size, void* base);
  static void WriteMmio(uc_struct* uc, uint64_t offset, unsigned size, uint64_t value, void* base);
  void mapDevice(uint32_t base, uint32_t size);

  uc_struct* uc_ = nullptr;
  chip::ChipModel chip_;
  // One context per mapped device: the model and the device's base address.
  struct Device {
    EmulatedCore* owner;
    uint32_t base;
  };
  std::vector<std::unique_ptr<Device>> devices_;

  uint32_t countStart_ = 0;
  uint32_t countEnd_ = 0xFFFFFFFF;
  uint64_t instructions_ = 0;
  uint32_t lowestSp_ = 0;
  bool halted_ = false;
  std::vector<MemoryAccess> ramReads_;
  std::vector<MemoryAccess> ramWrites_;
  std::string fault_;

  friend struct CoreHooks;
};

}  // namespace target

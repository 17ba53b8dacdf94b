// An emulated Cortex-M0 (Unicorn) with the chip model mapped at its addresses, into which the
// flash algorithm image is loaded and called the way a flash tool does: the segments copied to a
// RAM address of the tool's choosing, r9 set to the image's read-write data, sp in RAM and lr
// pointing at a breakpoint that ends the call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/flashalgo/ChipModel.h"
#include "tests/flashalgo/ElfFile.h"

struct uc_struct;

namespace target {

constexpr uint32_t kRamBase = 0x20000000;
constexpr uint32_t kRamSize = 0x10000;
constexpr uint32_t kImageAreaEnd = 0x2000C000;  // images are loaded below this
constexpr uint32_t kBufferBase = 0x2000C000;    // the data a test hands to ProgramPage
constexpr uint32_t kBufferSize = 0x1000;
constexpr uint32_t kReturnAddress = 0x2000E000;  // a bkpt; lr points here
constexpr uint32_t kStackBase = 0x2000F000;
constexpr uint32_t kStackTop = 0x20010000;

struct MemoryAccess {
  uint32_t address;
  unsigned size;
};

class EmulatedTarget {
 public:
  // Loads every PT_LOAD segment at loadAddress + its address; throws when it does not fit.
  EmulatedTarget(const elf::File& image, uint32_t loadAddress);
  ~EmulatedTarget();
  EmulatedTarget(const EmulatedTarget&) = delete;
  EmulatedTarget& operator=(const EmulatedTarget&) = delete;

  chip::ChipModel& chip() { return chip_; }
  uint32_t loadAddress() const { return loadAddress_; }
  // Where r9 points during a call: the loaded PrgData.
  uint32_t staticBase() const { return staticBase_; }

  // Calls the named entry point with up to four arguments and returns r0. Throws
  // std::runtime_error when the call faults, touches unmapped memory, runs away, does not return
  // to lr, or comes back with sp or a callee-saved register (r4 to r11) changed.
  uint32_t call(const std::string& entryPoint, const std::vector<uint32_t>& args = {});

  // Instructions executed inside the image during the last call.
  uint64_t instructionsExecuted() const { return instructions_; }
  // Reads of the data buffer during the last call.
  const std::vector<MemoryAccess>& bufferReads() const { return bufferReads_; }
  // Writes to RAM outside the stack during the last call: the image has no state to keep.
  const std::vector<MemoryAccess>& strayWrites() const { return strayWrites_; }

  // Copies data into the buffer at kBufferBase + offset and returns its address.
  uint32_t putBuffer(const std::vector<uint8_t>& data, uint32_t offset = 0);
  std::vector<uint8_t> readMemory(uint32_t address, uint32_t size) const;

 private:
  static uint64_t ReadMmio(uc_struct* uc, uint64_t offset, unsigned size, void* base);
  static void WriteMmio(uc_struct* uc, uint64_t offset, unsigned size, uint64_t value, void* base);
  void mapDevice(uint32_t base, uint32_t size);

  const elf::File& image_;
  uint32_t loadAddress_;
  uint32_t staticBase_ = 0;
  uint32_t codeStart_ = 0;
  uint32_t codeEnd_ = 0;
  uc_struct* uc_ = nullptr;
  chip::ChipModel chip_;
  // One context per mapped device: the model and the device's base address.
  struct Device {
    EmulatedTarget* owner;
    uint32_t base;
  };
  std::vector<std::unique_ptr<Device>> devices_;

  uint64_t instructions_ = 0;
  std::vector<MemoryAccess> bufferReads_;
  std::vector<MemoryAccess> strayWrites_;
  std::string fault_;

  friend struct Hooks;
};

}  // namespace target

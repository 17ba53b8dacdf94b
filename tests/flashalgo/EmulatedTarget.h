// The flash algorithm image loaded into the emulated chip and called the way a flash tool does:
// the segments copied to a RAM address of the tool's choosing, r9 set to the image's read-write
// data, sp in RAM and lr pointing at a bkpt that ends the call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/flashalgo/ChipModel.h"
#include "tests/flashalgo/ElfFile.h"
#include "tests/flashalgo/EmulatedCore.h"

namespace target {

constexpr uint32_t kImageAreaEnd = 0x2000C000;  // images are loaded below this
constexpr uint32_t kBufferBase = 0x2000C000;    // the data a test hands to ProgramPage
constexpr uint32_t kBufferSize = 0x1000;
constexpr uint32_t kReturnAddress = 0x2000E000;  // a bkpt; lr points here
constexpr uint32_t kStackBase = 0x2000F000;
constexpr uint32_t kStackTop = 0x20010000;

class EmulatedTarget {
 public:
  // Loads every PT_LOAD segment at loadAddress + its address; throws when it does not fit.
  EmulatedTarget(const elf::File& image, uint32_t loadAddress);

  chip::ChipModel& chip() { return core_.chip(); }
  uint32_t loadAddress() const { return loadAddress_; }
  // Where r9 points during a call: the loaded PrgData.
  uint32_t staticBase() const { return staticBase_; }

  // Calls the named entry point with up to four arguments and returns r0. Throws
  // std::runtime_error when the call faults, touches unmapped memory, runs away, does not return
  // to lr, or comes back with sp or a callee-saved register (r4 to r11) changed.
  uint32_t call(const std::string& entryPoint, const std::vector<uint32_t>& args = {});

  // Instructions executed inside the image during the last call.
  uint64_t instructionsExecuted() const { return core_.instructionsExecuted(); }
  // The most stack the last call used: bytes below the sp it was called with.
  uint32_t stackUsed() const { return kStackTop - core_.lowestStackPointer(); }
  // Reads of the data buffer during the last call.
  std::vector<MemoryAccess> bufferReads() const;
  // Writes to RAM outside the stack during the last call: the image has no state to keep.
  std::vector<MemoryAccess> strayWrites() const;

  // Copies data into the buffer at kBufferBase + offset and returns its address.
  uint32_t putBuffer(const std::vector<uint8_t>& data, uint32_t offset = 0);
  std::vector<uint8_t> readMemory(uint32_t address, uint32_t size) const {
    return core_.readMemory(address, size);
  }

 private:
  const elf::File& image_;
  uint32_t loadAddress_;
  uint32_t staticBase_ = 0;
  EmulatedCore core_;
};

}  // namespace target

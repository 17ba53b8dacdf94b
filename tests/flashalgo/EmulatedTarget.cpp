#include "tests/flashalgo/EmulatedTarget.h"

#include <array>
#include <cstdio>
#include <optional>
#include <stdexcept>

namespace target {

namespace {

const std::vector<uint8_t> kBkpt = {0x00, 0xBE};

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
  return text;
}

const std::array<CoreRegister, 4> kArgumentRegisters = {CoreRegister::R0, CoreRegister::R1,
                                                        CoreRegister::R2, CoreRegister::R3};
const std::array<CoreRegister, 8> kCalleeSaved = {CoreRegister::R4,  CoreRegister::R5,
                                                  CoreRegister::R6,  CoreRegister::R7,
                                                  CoreRegister::R8,  CoreRegister::R9,
                                                  CoreRegister::R10, CoreRegister::R11};

}  // namespace

EmulatedTarget::EmulatedTarget(const elf::File& image, uint32_t loadAddress)
    : image_(image), loadAddress_(loadAddress) {
  for (const elf::Segment& segment : image_.segments()) {
    if (segment.type != elf::PT_LOAD) {
      continue;
    }
    uint64_t at = uint64_t{loadAddress_} + segment.vaddr;
    if (at < kRamBase || at + segment.memsz > kImageAreaEnd) {
      throw std::runtime_error("segment at " + Hex(segment.vaddr) +
                               " does not fit at load address " + Hex(loadAddress_));
    }
    std::vector<uint8_t> bytes = image_.segmentBytes(segment);
    bytes.resize(segment.memsz, 0);
    core_.writeMemory(static_cast<uint32_t>(at), bytes);
  }
  const elf::Section* code = image_.findSection("PrgCode");
  const elf::Section* data = image_.findSection("PrgData");
  if (code == nullptr || data == nullptr) {
    throw std::runtime_error("the image has no PrgCode or PrgData section");
  }
  core_.countInstructionsIn(loadAddress_ + code->addr, loadAddress_ + code->addr + code->size);
  staticBase_ = loadAddress_ + data->addr;
  core_.writeMemory(kReturnAddress, kBkpt);
}

uint32_t EmulatedTarget::call(const std::string& entryPoint, const std::vector<uint32_t>& args) {
  std::optional<elf::Symbol> symbol = image_.findSymbol(entryPoint);
  if (!symbol || symbol->type != elf::STT_FUNC) {
    throw std::runtime_error("the image has no function " + entryPoint);
  }
  if (args.size() > kArgumentRegisters.size()) {
    throw std::runtime_error("more than four arguments");
  }
  for (size_t i = 0; i < kArgumentRegisters.size(); ++i) {
    uint32_t value = i < args.size() ? args[i] : 0xDEAD0000u + static_cast<uint32_t>(i);
    core_.setReg(kArgumentRegisters[i], value);
  }
  // Recognisable values in the registers the callee must keep; r9 is the static base.
  std::array<uint32_t, kCalleeSaved.size()> saved{};
  for (size_t i = 0; i < kCalleeSaved.size(); ++i) {
    saved[i] =
        kCalleeSaved[i] == CoreRegister::R9 ? staticBase_ : 0xC0DE0040u + static_cast<uint32_t>(i);
    core_.setReg(kCalleeSaved[i], saved[i]);
  }
  core_.setReg(CoreRegister::SP, kStackTop);
  core_.setReg(CoreRegister::LR, kReturnAddress | 1);
  core_.setReg(CoreRegister::PC, loadAddress_ + (symbol->value & ~1u));

  RunEnd end = core_.run(kCallInstructionLimit);
  uint32_t pc = core_.reg(CoreRegister::PC);
  std::string where = entryPoint + " loaded at " + Hex(loadAddress_);
  if (end == RunEnd::Fault) {
    throw std::runtime_error(where + ": " + core_.fault());
  }
  if (end == RunEnd::InstructionLimit) {
    throw std::runtime_error(where + ": did not return within " +
                             std::to_string(kCallInstructionLimit) + " instructions (pc " + Hex(pc) +
                             ")");
  }
  if (pc != kReturnAddress) {
    throw std::runtime_error(where + ": stopped at a bkpt at " + Hex(pc) + ", not at lr");
  }
  uint32_t sp = core_.reg(CoreRegister::SP);
  if (sp != kStackTop) {
    throw std::runtime_error(where + ": returned with sp " + Hex(sp));
  }
  for (size_t i = 0; i < kCalleeSaved.size(); ++i) {
    uint32_t now = core_.reg(kCalleeSaved[i]);
    if (now != saved[i]) {
      throw std::runtime_error(where + ": callee-saved register r" + std::to_string(i + 4) +
                               " changed to " + Hex(now));
    }
  }
  return core_.reg(CoreRegister::R0);
}

std::vector<MemoryAccess> EmulatedTarget::bufferReads() const {
  std::vector<MemoryAccess> reads;
  for (const MemoryAccess& r : core_.ramReads()) {
    if (r.address >= kBufferBase && r.address < kBufferBase + kBufferSize) {
      reads.push_back(r);
    }
  }
  return reads;
}

std::vector<MemoryAccess> EmulatedTarget::strayWrites() const {
  std::vector<MemoryAccess> writes;
  for (const MemoryAccess& w : core_.ramWrites()) {
    if (w.address < kStackBase || w.address + w.size > kStackTop) {
      writes.push_back(w);
    }
  }
  return writes;
}

uint32_t EmulatedTarget::putBuffer(const std::vector<uint8_t>& data, uint32_t offset) {
  if (offset > kBufferSize || data.size() > kBufferSize - offset) {
    throw std::runtime_error("data does not fit the buffer");
  }
  core_.writeMemory(kBufferBase + offset, data);
  return kBufferBase + offset;
}

}  // namespace target

#include "tests/flashalgo/EmulatedCore.h"

#include <unicorn/unicorn.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <stdexcept>

namespace target {

namespace {

// QEMU's number for the exception a bkpt raises (EXCP_BKPT); every other one is a fault here.
constexpr uint32_t kBreakpointException = 7;

void Check(uc_err err, const char* what) {
  if (err != UC_ERR_OK) {
    throw std::runtime_error(std::string(what) + ": " + uc_strerror(err));
  }
}

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
  return text;
}

const std::array<int, kCoreRegisterCount> kUnicornRegister = {
    UC_ARM_REG_R0,  UC_ARM_REG_R1,  UC_ARM_REG_R2, UC_ARM_REG_R3,  UC_ARM_REG_R4, UC_ARM_REG_R5,
    UC_ARM_REG_R6,  UC_ARM_REG_R7,  UC_ARM_REG_R8, UC_ARM_REG_R9,  UC_ARM_REG_R10,
    UC_ARM_REG_R11, UC_ARM_REG_R12, UC_ARM_REG_SP, UC_ARM_REG_LR,  UC_ARM_REG_PC,
    UC_ARM_REG_XPSR};

bool InRam(uint64_t address, uint64_t size) {
  return address >= kRamBase && address + size <= uint64_t{kRamBase} + kRamSize;
}

}  // namespace

struct CoreHooks {
  static void Code(uc_engine* uc, uint64_t address, uint32_t, void* context) {
    EmulatedCore* self = static_cast<EmulatedCore*>(context);
    if (address >= self->countStart_ && address < self->countEnd_) {
      ++self->instructions_;
    }
    uint32_t sp = 0;
    uc_reg_read(uc, UC_ARM_REG_SP, &sp);
    if (sp < self->lowestSp_) {
      self->lowestSp_ = sp;
    }
  }

  static void RamRead(uc_engine*, uc_mem_type, uint64_t address, int size, int64_t, void* self) {
    static_cast<EmulatedCore*>(self)->ramReads_.push_back(
        {static_cast<uint32_t>(address), static_cast<unsigned>(size)});
  }

  static void RamWrite(uc_engine*, uc_mem_type, uint64_t address, int size, int64_t, void* self) {
    static_cast<EmulatedCore*>(self)->ramWrites_.push_back(
        {static_cast<uint32_t>(address), static_cast<unsigned>(size)});
  }

  static bool Unmapped(uc_engine* uc, uc_mem_type type, uint64_t address, int size, int64_t,
                       void* self) {
    const char* kind = type == UC_MEM_WRITE_UNMAPPED   ? "write to"
                       : type == UC_MEM_FETCH_UNMAPPED ? "fetch from"
                                                       : "read from";
    static_cast<EmulatedCore*>(self)->fault_ =
        std::string(kind) + " unmapped " + Hex(address) + " (" + std::to_string(size) + " bytes)";
    uc_emu_stop(uc);
    return false;
  }

  // A bkpt halts the core, as under a debugger; any other exception is a fault.
  static void Interrupt(uc_engine* uc, uint32_t number, void* context) {
    EmulatedCore* self = static_cast<EmulatedCore*>(context);
    uint32_t pc = 0;
    uc_reg_read(uc, UC_ARM_REG_PC, &pc);
    if (number == kBreakpointException) {
      self->halted_ = true;
    } else {
      self->fault_ = "exception " + std::to_string(number) + " at " + Hex(pc);
    }
    uc_emu_stop(uc);
  }
};

EmulatedCore::EmulatedCore() {
  // Unicorn 2.0.1 ignores the chosen model when UC_MODE_MCLASS is given and runs a Cortex-M33,
  // which executes Thumb-2 happily. Without the flag the model holds: a real Armv6-M core, on
  // which an instruction the M0 lacks stops the call with "invalid instruction".
  Check(uc_open(UC_ARCH_ARM, UC_MODE_THUMB, &uc_), "uc_open");
  Check(uc_ctl_set_cpu_model(uc_, UC_CPU_ARM_CORTEX_M0), "selecting the Cortex-M0");
  Check(uc_mem_map(uc_, kRamBase, kRamSize, UC_PROT_ALL), "mapping RAM");
  int model = -1;
  Check(uc_ctl_get_cpu_model(uc_, &model), "reading the core model");
  if (model != UC_CPU_ARM_CORTEX_M0) {
    throw std::runtime_error("the emulator runs core model " + std::to_string(model) +
                             ", not the Cortex-M0");
  }
  mapDevice(chip::reg::FLASH_BASE, 0x1000);
  mapDevice(chip::reg::IWDG_BASE, 0x1000);
  mapDevice(chip::kMainFlashBase, chip::kMainFlashSize);
  mapDevice(chip::kOptionPageBase, 0x1000);

  uc_hook hook;
  Check(uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(&CoreHooks::Code), this, 1,
                    0),
        "adding the instruction hook");
  Check(uc_hook_add(uc_, &hook, UC_HOOK_MEM_READ, reinterpret_cast<void*>(&CoreHooks::RamRead),
                    this, kRamBase, kRamBase + kRamSize - 1),
        "adding the RAM read hook");
  Check(uc_hook_add(uc_, &hook, UC_HOOK_MEM_WRITE, reinterpret_cast<void*>(&CoreHooks::RamWrite),
                    this, kRamBase, kRamBase + kRamSize - 1),
        "adding the RAM write hook");
  Check(uc_hook_add(uc_, &hook, UC_HOOK_MEM_UNMAPPED, reinterpret_cast<void*>(&CoreHooks::Unmapped),
                    this, 1, 0),
        "adding the unmapped hook");
  Check(uc_hook_add(uc_, &hook, UC_HOOK_INTR, reinterpret_cast<void*>(&CoreHooks::Interrupt), this,
                    1, 0),
        "adding the exception hook");
}

EmulatedCore::~EmulatedCore() {
  if (uc_ != nullptr) {
    uc_close(uc_);
  }
}

void EmulatedCore::mapDevice(uint32_t base, uint32_t size) {
  devices_.push_back(std::make_unique<Device>(Device{this, base}));
  Device* device = devices_.back().get();
  Check(uc_mmio_map(uc_, base, size, &ReadMmio, device, &WriteMmio, device), "mapping a device");
}

uint64_t EmulatedCore::ReadMmio(uc_struct*, uint64_t offset, unsigned size, void* context) {
  Device* device = static_cast<Device*>(context);
  return device->owner->chip_.read(device->base + static_cast<uint32_t>(offset), size);
}

void EmulatedCore::WriteMmio(uc_struct*, uint64_t offset, unsigned size, uint64_t value,
                             void* context) {
  Device* device = static_cast<Device*>(context);
  device->owner->chip_.write(device->base + static_cast<uint32_t>(offset), size,
                             static_cast<uint32_t>(value));
}

void EmulatedCore::writeMemory(uint32_t address, const std::vector<uint8_t>& bytes) {
  if (!InRam(address, bytes.size())) {
    throw std::runtime_error(std::to_string(bytes.size()) + " bytes at " + Hex(address) +
                             " are not all in RAM");
  }
  Check(uc_mem_write(uc_, address, bytes.data(), bytes.size()), "writing memory");
}

std::vector<uint8_t> EmulatedCore::readMemory(uint32_t address, uint32_t size) const {
  std::vector<uint8_t> bytes(size);
  if (InRam(address, size)) {
    Check(uc_mem_read(uc_, address, bytes.data(), size), "reading memory");
    return bytes;
  }
  // The flash is a device in the emulator (its stores are programming commands); a debugger reads
  // its content straight from the model.
  struct Area {
    uint32_t base;
    const std::vector<uint8_t>* content;
  };
  for (const Area& area : {Area{chip::kMainFlashBase, &chip_.mainFlash()},
                           Area{chip::kOptionBlock, &chip_.optionBytes()}}) {
    if (address >= area.base && uint64_t{address} + size <= area.base + area.content->size()) {
      std::copy_n(area.content->begin() + (address - area.base), size, bytes.begin());
      return bytes;
    }
  }
  throw std::runtime_error(std::to_string(size) + " bytes at " + Hex(address) +
                           " are neither RAM nor flash");
}

uint32_t EmulatedCore::reg(CoreRegister r) const {
  uint32_t value = 0;
  Check(uc_reg_read(uc_, kUnicornRegister.at(static_cast<unsigned>(r)), &value),
        "reading a register");
  return value;
}

void EmulatedCore::setReg(CoreRegister r, uint32_t value) {
  Check(uc_reg_write(uc_, kUnicornRegister.at(static_cast<unsigned>(r)), &value),
        "writing a register");
}

RunEnd EmulatedCore::run(uint64_t limit) {
  instructions_ = 0;
  lowestSp_ = reg(CoreRegister::SP);
  halted_ = false;
  ramReads_.clear();
  ramWrites_.clear();
  fault_.clear();
  // No address ends the run but a bkpt: "until" is one the core cannot fetch from.
  uc_err err = uc_emu_start(uc_, reg(CoreRegister::PC) | 1, 0xFFFFFFFE, 0, limit);
  if (halted_) {
    return RunEnd::Breakpoint;
  }
  if (fault_.empty() && err != UC_ERR_OK) {
    fault_ = std::string(uc_strerror(err)) + " at " + Hex(reg(CoreRegister::PC));
  }
  return fault_.empty() ? RunEnd::InstructionLimit : RunEnd::Fault;
}

}  // namespace target

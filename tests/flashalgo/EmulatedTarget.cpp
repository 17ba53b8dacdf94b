#include "tests/flashalgo/EmulatedTarget.h"

#include <unicorn/unicorn.h>

#include <array>
#include <cstdio>
#include <optional>
#include <stdexcept>

namespace target {

namespace {

// Far more than the longest call of the tests (a 1 KiB page with busy polls), little enough to
// end a runaway loop quickly.
constexpr uint64_t kInstructionLimit = 2000000;
constexpr uint16_t kBkpt = 0xBE00;

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

const std::array<int, 8> kCalleeSaved = {UC_ARM_REG_R4,  UC_ARM_REG_R5, UC_ARM_REG_R6,
                                         UC_ARM_REG_R7,  UC_ARM_REG_R8, UC_ARM_REG_R9,
                                         UC_ARM_REG_R10, UC_ARM_REG_R11};

}  // namespace

struct Hooks {
  static void Code(uc_engine*, uint64_t, uint32_t, void* self) {
    ++static_cast<EmulatedTarget*>(self)->instructions_;
  }

  static void BufferRead(uc_engine*, uc_mem_type, uint64_t address, int size, int64_t, void* self) {
    static_cast<EmulatedTarget*>(self)->bufferReads_.push_back(
        {static_cast<uint32_t>(address), static_cast<unsigned>(size)});
  }

  static void RamWrite(uc_engine*, uc_mem_type, uint64_t address, int size, int64_t, void* self) {
    if (address < kStackBase || address + static_cast<uint64_t>(size) > kStackTop) {
      static_cast<EmulatedTarget*>(self)->strayWrites_.push_back(
          {static_cast<uint32_t>(address), static_cast<unsigned>(size)});
    }
  }

  static bool Unmapped(uc_engine* uc, uc_mem_type type, uint64_t address, int size, int64_t,
                       void* self) {
    const char* kind = type == UC_MEM_WRITE_UNMAPPED   ? "write to"
                       : type == UC_MEM_FETCH_UNMAPPED ? "fetch from"
                                                       : "read from";
    static_cast<EmulatedTarget*>(self)->fault_ =
        std::string(kind) + " unmapped " + Hex(address) + " (" + std::to_string(size) + " bytes)";
    uc_emu_stop(uc);
    return false;
  }

  // Any exception (a fault, an undefined instruction, a bkpt reached by a wrong path).
  static void Interrupt(uc_engine* uc, uint32_t number, void* self) {
    uint32_t pc = 0;
    uc_reg_read(uc, UC_ARM_REG_PC, &pc);
    static_cast<EmulatedTarget*>(self)->fault_ =
        "exception " + std::to_string(number) + " at " + Hex(pc);
    uc_emu_stop(uc);
  }
};

EmulatedTarget::EmulatedTarget(const elf::File& image, uint32_t loadAddress)
    : image_(image), loadAddress_(loadAddress) {
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
    Check(uc_mem_write(uc_, at, bytes.data(), bytes.size()), "loading a segment");
  }
  const elf::Section* code = image_.findSection("PrgCode");
  const elf::Section* data = image_.findSection("PrgData");
  if (code == nullptr || data == nullptr) {
    throw std::runtime_error("the image has no PrgCode or PrgData section");
  }
  codeStart_ = loadAddress_ + code->addr;
  codeEnd_ = codeStart_ + code->size;
  staticBase_ = loadAddress_ + data->addr;

  Check(uc_mem_write(uc_, kReturnAddress, &kBkpt, sizeof kBkpt), "placing the breakpoint");

  uc_hook hook;
  Check(uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(&Hooks::Code), this,
                    codeStart_, codeEnd_ - 1),
        "adding the instruction hook");
  Check(uc_hook_add(uc_, &hook, UC_HOOK_MEM_READ, reinterpret_cast<void*>(&Hooks::BufferRead), this,
                    kBufferBase, kBufferBase + kBufferSize - 1),
        "adding the buffer hook");
  Check(uc_hook_add(uc_, &hook, UC_HOOK_MEM_WRITE, reinterpret_cast<void*>(&Hooks::RamWrite), this,
                    kRamBase, kRamBase + kRamSize - 1),
        "adding the RAM write hook");
  Check(uc_hook_add(uc_, &hook, UC_HOOK_MEM_UNMAPPED, reinterpret_cast<void*>(&Hooks::Unmapped),
                    this, 1, 0),
        "adding the unmapped hook");
  Check(
      uc_hook_add(uc_, &hook, UC_HOOK_INTR, reinterpret_cast<void*>(&Hooks::Interrupt), this, 1, 0),
      "adding the exception hook");
}

EmulatedTarget::~EmulatedTarget() {
  if (uc_ != nullptr) {
    uc_close(uc_);
  }
}

void EmulatedTarget::mapDevice(uint32_t base, uint32_t size) {
  devices_.push_back(std::make_unique<Device>(Device{this, base}));
  Device* device = devices_.back().get();
  Check(uc_mmio_map(uc_, base, size, &ReadMmio, device, &WriteMmio, device), "mapping a device");
}

uint64_t EmulatedTarget::ReadMmio(uc_struct*, uint64_t offset, unsigned size, void* context) {
  Device* device = static_cast<Device*>(context);
  return device->owner->chip_.read(device->base + static_cast<uint32_t>(offset), size);
}

void EmulatedTarget::WriteMmio(uc_struct*, uint64_t offset, unsigned size, uint64_t value,
                               void* context) {
  Device* device = static_cast<Device*>(context);
  device->owner->chip_.write(device->base + static_cast<uint32_t>(offset), size,
                             static_cast<uint32_t>(value));
}

uint32_t EmulatedTarget::call(const std::string& entryPoint, const std::vector<uint32_t>& args) {
  std::optional<elf::Symbol> symbol = image_.findSymbol(entryPoint);
  if (!symbol || symbol->type != elf::STT_FUNC) {
    throw std::runtime_error("the image has no function " + entryPoint);
  }
  if (args.size() > 4) {
    throw std::runtime_error("more than four arguments");
  }
  instructions_ = 0;
  bufferReads_.clear();
  strayWrites_.clear();
  fault_.clear();

  const std::array<int, 4> argumentRegisters = {UC_ARM_REG_R0, UC_ARM_REG_R1, UC_ARM_REG_R2,
                                                UC_ARM_REG_R3};
  for (size_t i = 0; i < argumentRegisters.size(); ++i) {
    uint32_t value = i < args.size() ? args[i] : 0xDEAD0000u + static_cast<uint32_t>(i);
    Check(uc_reg_write(uc_, argumentRegisters[i], &value), "setting an argument");
  }
  // Recognisable values in the registers the callee must keep; r9 is the static base.
  std::array<uint32_t, kCalleeSaved.size()> saved{};
  for (size_t i = 0; i < kCalleeSaved.size(); ++i) {
    saved[i] =
        kCalleeSaved[i] == UC_ARM_REG_R9 ? staticBase_ : 0xC0DE0040u + static_cast<uint32_t>(i);
    Check(uc_reg_write(uc_, kCalleeSaved[i], &saved[i]), "setting a register");
  }
  uint32_t sp = kStackTop;
  uint32_t lr = kReturnAddress | 1;
  Check(uc_reg_write(uc_, UC_ARM_REG_SP, &sp), "setting sp");
  Check(uc_reg_write(uc_, UC_ARM_REG_LR, &lr), "setting lr");

  uint32_t entry = loadAddress_ + (symbol->value & ~1u);
  uc_err err = uc_emu_start(uc_, entry | 1, kReturnAddress, 0, kInstructionLimit);
  uint32_t pc = 0;
  uc_reg_read(uc_, UC_ARM_REG_PC, &pc);
  std::string where = entryPoint + " loaded at " + Hex(loadAddress_);
  if (!fault_.empty()) {
    throw std::runtime_error(where + ": " + fault_);
  }
  if (err != UC_ERR_OK) {
    throw std::runtime_error(where + ": " + uc_strerror(err) + " at " + Hex(pc));
  }
  if (pc != kReturnAddress) {
    throw std::runtime_error(where + ": did not return within " +
                             std::to_string(kInstructionLimit) + " instructions (pc " + Hex(pc) +
                             ")");
  }
  uc_reg_read(uc_, UC_ARM_REG_SP, &sp);
  if (sp != kStackTop) {
    throw std::runtime_error(where + ": returned with sp " + Hex(sp));
  }
  for (size_t i = 0; i < kCalleeSaved.size(); ++i) {
    uint32_t now = 0;
    uc_reg_read(uc_, kCalleeSaved[i], &now);
    if (now != saved[i]) {
      throw std::runtime_error(where + ": callee-saved register r" + std::to_string(i + 4) +
                               " changed to " + Hex(now));
    }
  }
  uint32_t result = 0;
  uc_reg_read(uc_, UC_ARM_REG_R0, &result);
  return result;
}

uint32_t EmulatedTarget::putBuffer(const std::vector<uint8_t>& data, uint32_t offset) {
  if (offset > kBufferSize || data.size() > kBufferSize - offset) {
    throw std::runtime_error("data does not fit the buffer");
  }
  Check(uc_mem_write(uc_, kBufferBase + offset, data.data(), data.size()), "filling the buffer");
  return kBufferBase + offset;
}

std::vector<uint8_t> EmulatedTarget::readMemory(uint32_t address, uint32_t size) const {
  std::vector<uint8_t> bytes(size);
  Check(uc_mem_read(uc_, address, bytes.data(), size), "reading memory");
  return bytes;
}

}  // namespace target

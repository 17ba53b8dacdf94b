#include "tests/flashalgo/EmulatedChipApi.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/flashalgo/ElfFile.h"
#include "tests/flashalgo/EmulatedCore.h"
#include "tests/flashalgo/StackBudget.h"

struct Qx48Chip {
  target::EmulatedCore core;
  std::string error;
};

struct Qx48Image {
  explicit Qx48Image(const std::string& path) : file(path) {}
  elf::File file;
};

namespace {

const chip::Operation kOperationKinds[] = {chip::Operation::PageErase, chip::Operation::MassErase,
                                           chip::Operation::OptionErase, chip::Operation::Program,
                                           chip::Operation::OptionProgram};
constexpr unsigned kOperationKindCount = sizeof kOperationKinds / sizeof kOperationKinds[0];

void CopyError(const char* text, char* error, size_t size) {
  if (error != nullptr && size > 0) {
    std::snprintf(error, size, "%s", text);
  }
}

// Runs an operation on the chip; an exception becomes -1 and the chip's error text.
template <typename Operation>
int Guarded(Qx48Chip* chip, Operation operation) {
  try {
    chip->error.clear();
    operation();
    return 0;
  } catch (const std::exception& e) {
    chip->error = e.what();
    return -1;
  }
}

bool ValidSelector(unsigned selector) {
  return selector < target::kCoreRegisterCount;
}

}  // namespace

extern "C" {

uint32_t qx48_stack_budget(void) {
  return kStackBudget;
}

Qx48Chip* qx48_chip_new(char* error, size_t size) {
  try {
    return new Qx48Chip();
  } catch (const std::exception& e) {
    CopyError(e.what(), error, size);
    return nullptr;
  }
}

void qx48_chip_free(Qx48Chip* chip) {
  delete chip;
}

const char* qx48_chip_error(const Qx48Chip* chip) {
  return chip->error.c_str();
}

int qx48_chip_read(Qx48Chip* chip, uint32_t address, uint8_t* out, uint32_t size) {
  return Guarded(chip, [&] {
    std::vector<uint8_t> bytes = chip->core.readMemory(address, size);
    std::copy(bytes.begin(), bytes.end(), out);
  });
}

int qx48_chip_write(Qx48Chip* chip, uint32_t address, const uint8_t* data, uint32_t size) {
  return Guarded(chip,
                 [&] { chip->core.writeMemory(address, std::vector<uint8_t>(data, data + size)); });
}

int qx48_chip_register(Qx48Chip* chip, unsigned selector, uint32_t* value) {
  if (!ValidSelector(selector)) {
    chip->error = "no core register " + std::to_string(selector);
    return -1;
  }
  return Guarded(chip,
                 [&] { *value = chip->core.reg(static_cast<target::CoreRegister>(selector)); });
}

int qx48_chip_set_register(Qx48Chip* chip, unsigned selector, uint32_t value) {
  if (!ValidSelector(selector)) {
    chip->error = "no core register " + std::to_string(selector);
    return -1;
  }
  return Guarded(chip,
                 [&] { chip->core.setReg(static_cast<target::CoreRegister>(selector), value); });
}

int qx48_chip_run(Qx48Chip* chip) {
  target::RunEnd end = target::RunEnd::Fault;
  if (Guarded(chip, [&] { end = chip->core.run(target::kCallInstructionLimit); }) != 0) {
    return -1;
  }
  switch (end) {
    case target::RunEnd::Breakpoint:
      return 0;
    case target::RunEnd::Fault:
      chip->error = chip->core.fault();
      return 1;
    case target::RunEnd::InstructionLimit:
      chip->error = "still running after " + std::to_string(target::kCallInstructionLimit) +
                    " instructions";
      return 2;
  }
  return -1;
}

uint32_t qx48_chip_lowest_sp(const Qx48Chip* chip) {
  return chip->core.lowestStackPointer();
}

void qx48_chip_set_busy_polls(Qx48Chip* chip, unsigned polls) {
  chip->core.chip().setBusyPolls(polls);
}

void qx48_chip_set_option_byte_register(Qx48Chip* chip, uint32_t obr) {
  chip->core.chip().setOptionByteRegister(obr);
}

void qx48_chip_fail_operation_of_kind(Qx48Chip* chip, unsigned kind, unsigned ordinal,
                                      uint32_t sr_bits) {
  if (kind < kOperationKindCount) {
    chip->core.chip().failOperationOfKind(kOperationKinds[kind], ordinal, sr_bits);
  }
}

unsigned qx48_chip_operations_of_kind(const Qx48Chip* chip, unsigned kind) {
  unsigned count = 0;
  for (const chip::StartedOperation& op :
       chip->core.chip().operations()) {
    count += kind < kOperationKindCount && op.kind == kOperationKinds[kind] ? 1 : 0;
  }
  return count;
}

uint32_t qx48_chip_control(const Qx48Chip* chip) {
  return chip->core.chip().control();
}

void qx48_chip_fill_flash(Qx48Chip* chip, uint8_t value) {
  std::vector<uint8_t>& flash = chip->core.chip().mainFlash();
  std::fill(flash.begin(), flash.end(), value);
}

Qx48Image* qx48_image_open(const char* path, char* error, size_t size) {
  try {
    return new Qx48Image(path);
  } catch (const std::exception& e) {
    CopyError(e.what(), error, size);
    return nullptr;
  }
}

void qx48_image_free(Qx48Image* image) {
  delete image;
}

int qx48_image_section(const Qx48Image* image, const char* name, uint32_t* address,
                       uint32_t* size) {
  const elf::Section* section = image->file.findSection(name);
  if (section == nullptr) {
    return -1;
  }
  *address = section->addr;
  *size = section->size;
  return 0;
}

int qx48_image_section_bytes(const Qx48Image* image, const char* name, uint8_t* out,
                             uint32_t size) {
  const elf::Section* section = image->file.findSection(name);
  if (section == nullptr) {
    return -1;
  }
  std::vector<uint8_t> bytes = image->file.sectionBytes(*section);
  if (bytes.size() > size) {
    return -1;
  }
  std::copy(bytes.begin(), bytes.end(), out);
  return 0;
}

int qx48_image_symbol(const Qx48Image* image, const char* name, uint32_t* value) {
  try {
    std::optional<elf::Symbol> symbol = image->file.findSymbol(name);
    if (!symbol) {
      return -1;
    }
    *value = symbol->value;
    return 0;
  } catch (const std::exception&) {
    return -1;  // several symbols of that name
  }
}

}  // extern "C"

// Figures of the built image, printed rather than asserted: the size of its code, the instructions
// the emulated Cortex-M0 executes per programmed halfword and per erased sector with the
// controller never busy (so no busy poll is counted) and per extra busy poll, and the stack each
// entry point uses. On a real chip the flash's own busy time dominates; these count the image's
// own work around it.
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/flashalgo/EmulatedTarget.h"
#include "tests/flashalgo/FlashImage.h"
#include "tests/flashalgo/StackBudget.h"

namespace {

struct Measured {
  uint64_t instructions;
  uint32_t stack;
};

// One call on a chip fresh from Init, with the controller busy for `polls` polls per wait.
Measured Measure(const elf::File& image, const std::string& entryPoint,
                 const std::vector<uint32_t>& args, unsigned polls) {
  target::EmulatedTarget target(image, target::kRamBase);
  target.chip().setOptionByteRegister(0x04);
  if (target.call("Init", {chip::kMainFlashBase, 8000000, 2}) != 0) {
    throw std::runtime_error("Init failed");
  }
  std::vector<uint8_t> page(chip::kPageSize);
  for (size_t i = 0; i < page.size(); ++i) {
    page[i] = static_cast<uint8_t>(i * 7);
  }
  target.putBuffer(page);
  target.chip().setBusyPolls(polls);
  if (target.call(entryPoint, args) != 0 && entryPoint != "BlankCheck") {
    throw std::runtime_error(entryPoint + " failed");
  }
  return {target.instructionsExecuted(), target.stackUsed()};
}

}  // namespace

int main() {
  try {
    const elf::File& image = FlashImage();
    for (const char* name : {"PrgCode", "PrgData", "DevDscr"}) {
      const elf::Section* section = image.findSection(name);
      std::printf("%-8s %5u bytes at 0x%04X\n", name, section ? section->size : 0,
                  section ? section->addr : 0);
    }
    const std::vector<uint32_t> page = {chip::kMainFlashBase, chip::kPageSize, target::kBufferBase};
    const std::vector<uint32_t> sector = {chip::kMainFlashBase + chip::kPageSize};
    const unsigned halfwords = chip::kPageSize / 2;
    const unsigned polls = 4;
    uint64_t idle = Measure(image, "ProgramPage", page, 0).instructions;
    uint64_t busy = Measure(image, "ProgramPage", page, polls).instructions;
    std::printf("ProgramPage of %u bytes, controller never busy: %llu instructions, %.2f per "
                "halfword\n",
                chip::kPageSize, static_cast<unsigned long long>(idle),
                static_cast<double>(idle) / halfwords);
    std::printf("each busy poll adds %.2f instructions\n",
                static_cast<double>(busy - idle) / (halfwords * polls));
    std::printf("EraseSector, controller never busy: %llu instructions per sector\n",
                static_cast<unsigned long long>(Measure(image, "EraseSector", sector, 0).instructions));

    struct Call {
      const char* entryPoint;
      std::vector<uint32_t> args;
    };
    const Call calls[] = {
        {"Init", {chip::kMainFlashBase, 8000000, 1}},
        {"UnInit", {1}},
        {"EraseSector", sector},
        {"EraseChip", {}},
        {"BlankCheck", {chip::kMainFlashBase, chip::kPageSize, 0xFF}},
        {"ProgramPage", page},
    };
    std::printf("deepest stack of each entry point (budget %u bytes):\n", kStackBudget);
    for (const Call& c : calls) {
      std::printf("  %-12s %2u bytes\n", c.entryPoint, Measure(image, c.entryPoint, c.args, 1).stack);
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}

// Figures of the built image, printed rather than asserted: the size of its code and the
// instructions the emulated Cortex-M0 executes per programmed halfword, with the controller never
// busy (so no busy poll is counted) and per extra busy poll.
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <vector>

#include "tests/flashalgo/EmulatedTarget.h"
#include "tests/flashalgo/FlashImage.h"

namespace {

// Instructions of one full-page ProgramPage with the controller busy for `polls` polls per wait.
uint64_t ProgramPageInstructions(const elf::File& image, unsigned polls) {
  target::EmulatedTarget target(image, target::kRamBase);
  target.chip().setOptionByteRegister(0x04);
  if (target.call("Init", {chip::kMainFlashBase, 8000000, 2}) != 0) {
    throw std::runtime_error("Init failed");
  }
  std::vector<uint8_t> page(chip::kPageSize);
  for (size_t i = 0; i < page.size(); ++i) {
    page[i] = static_cast<uint8_t>(i * 7);
  }
  uint32_t buf = target.putBuffer(page);
  target.chip().setBusyPolls(polls);
  if (target.call("ProgramPage", {chip::kMainFlashBase, chip::kPageSize, buf}) != 0) {
    throw std::runtime_error("ProgramPage failed");
  }
  return target.instructionsExecuted();
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
    const unsigned halfwords = chip::kPageSize / 2;
    const unsigned polls = 4;
    uint64_t idle = ProgramPageInstructions(image, 0);
    uint64_t busy = ProgramPageInstructions(image, polls);
    std::printf(
        "ProgramPage of %u bytes, controller never busy: %llu instructions, %.2f per "
        "halfword\n",
        chip::kPageSize, static_cast<unsigned long long>(idle),
        static_cast<double>(idle) / halfwords);
    std::printf("each busy poll adds %.2f instructions\n",
                static_cast<double>(busy - idle) / (halfwords * polls));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}

// The built QX48Flash.FLM under test, read once per test program. Its path comes from the build
// (QX48_FLASH_IMAGE); a missing or unreadable image throws with the path in the message.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "tests/flashalgo/ElfFile.h"

inline const char* FlashImagePath() {
  return QX48_FLASH_IMAGE_PATH;
}

inline const elf::File& FlashImage() {
  static std::unique_ptr<elf::File> image;
  if (!image) {
    try {
      image = std::make_unique<elf::File>(std::string(FlashImagePath()));
    } catch (const std::runtime_error& e) {
      throw std::runtime_error(std::string(e.what()) +
                               " (build the flash preset first, and pass its "
                               "flashalgo/QX48Flash.FLM as QX48_FLASH_IMAGE to this build)");
    }
  }
  return *image;
}

#include "tests/flashalgo/ChipModel.h"

#include <algorithm>
#include <cstdio>

namespace chip {

namespace {

const char* RegisterName(uint32_t address) {
  switch (address) {
    case reg::ACR:
      return "ACR";
    case reg::KEYR:
      return "KEYR";
    case reg::OPTKEYR:
      return "OPTKEYR";
    case reg::SR:
      return "SR";
    case reg::CR:
      return "CR";
    case reg::AR:
      return "AR";
    case reg::OBR:
      return "OBR";
    case reg::WRPR:
      return "WRPR";
    case reg::KR:
      return "IWDG_KR";
    case reg::PR:
      return "IWDG_PR";
    case reg::RLR:
      return "IWDG_RLR";
    case reg::IWDG_SR:
      return "IWDG_SR";
    default:
      return nullptr;
  }
}

bool InMain(uint32_t address) {
  return address >= kMainFlashBase && address - kMainFlashBase < kMainFlashSize;
}

bool InOptionBlock(uint32_t address) {
  return address >= kOptionBlock && address - kOptionBlock < kOptionBlockSize;
}

bool InPage(uint32_t address, uint32_t base) {
  return address >= base && address - base < 0x1000;
}

// The bits of CR that software sets and clears freely; LOCK and OPTWRE have rules of their own.
constexpr uint32_t kPlainControlBits = PG | PER | MER | OPTPG | OPTER | STRT | 0x1E00;
constexpr uint32_t kErrorBits = PGERR | WRPRTERR;

}  // namespace

std::string Describe(const Access& access) {
  char text[80];
  const char* name = RegisterName(access.address);
  if (name != nullptr) {
    std::snprintf(text, sizeof text, "%c%u %s 0x%08X", access.write ? 'W' : 'R', access.size * 8u,
                  name, access.value);
  } else {
    std::snprintf(text, sizeof text, "%c%u 0x%08X 0x%08X", access.write ? 'W' : 'R',
                  access.size * 8u, access.address, access.value);
  }
  return text;
}

ChipModel::ChipModel() : mainFlash_(kMainFlashSize, 0xFF), optionBytes_(kOptionBlockSize, 0xFF) {}

void ChipModel::clearTrace() {
  trace_.clear();
  operations_.clear();
  kindCounts_.clear();
}

uint8_t* ChipModel::byteAt(uint32_t address) {
  if (InMain(address)) {
    return &mainFlash_[address - kMainFlashBase];
  }
  if (InOptionBlock(address)) {
    return &optionBytes_[address - kOptionBlock];
  }
  return nullptr;
}

uint16_t ChipModel::halfwordAt(uint32_t address) const {
  const std::vector<uint8_t>& memory = InMain(address) ? mainFlash_ : optionBytes_;
  uint32_t at = address - (InMain(address) ? kMainFlashBase : kOptionBlock);
  return static_cast<uint16_t>(memory.at(at) | memory.at(at + 1) << 8);
}

uint32_t ChipModel::read(uint32_t address, unsigned size) {
  uint32_t value = 0;
  if (InPage(address, reg::FLASH_BASE)) {
    value = readController(address - reg::FLASH_BASE);
  } else if (InPage(address, reg::IWDG_BASE)) {
    value = readWatchdog(address - reg::IWDG_BASE);
  } else {
    for (unsigned i = 0; i < size; ++i) {
      uint8_t* byte = byteAt(address + i);
      value |= static_cast<uint32_t>(byte != nullptr ? *byte : 0) << (8 * i);
    }
  }
  trace_.push_back({address, static_cast<uint8_t>(size), false, value});
  return value;
}

void ChipModel::write(uint32_t address, unsigned size, uint32_t value) {
  trace_.push_back({address, static_cast<uint8_t>(size), true, value});
  if (InPage(address, reg::FLASH_BASE)) {
    writeController(address - reg::FLASH_BASE, value);
  } else if (InPage(address, reg::IWDG_BASE)) {
    writeWatchdog(address - reg::IWDG_BASE, value);
  } else if (InMain(address)) {
    programHalfword(Operation::Program, address, size, value);
  } else if (InOptionBlock(address)) {
    programHalfword(Operation::OptionProgram, address, size, value);
  }
}

uint32_t ChipModel::readController(uint32_t offset) {
  switch (offset) {
    case 0x00:
      return acr_;
    case 0x0C:
      if (pending_) {
        if (pollsLeft_ > 0) {
          --pollsLeft_;
          return sr_ | BSY;
        }
        complete();
      }
      return sr_;
    case 0x10:
      return cr_;
    case 0x14:
      return ar_;
    case 0x1C:
      return obr_;
    default:
      return 0;
  }
}

void ChipModel::writeController(uint32_t offset, uint32_t value) {
  switch (offset) {
    case 0x00:
      acr_ = value;
      break;
    case 0x04:
      // KEY1 then KEY2 unlocks; anything else starts the sequence over.
      if (keyStep_ == 0 && value == KEY1) {
        keyStep_ = 1;
      } else {
        if (keyStep_ == 1 && value == KEY2) {
          cr_ &= ~LOCK;
        }
        keyStep_ = 0;
      }
      break;
    case 0x08:
      if (optKeyStep_ == 0 && value == KEY1) {
        optKeyStep_ = 1;
      } else {
        if (optKeyStep_ == 1 && value == KEY2) {
          cr_ |= OPTWRE;
        }
        optKeyStep_ = 0;
      }
      break;
    case 0x0C:
      sr_ &= ~(value & (kErrorBits | EOP));
      break;
    case 0x10: {
      // Software can always clear OPTWRE, but only the option key sequence sets it; a locked
      // controller ignores every other bit, and only a reset or the key sequence unlocks it.
      uint32_t optwre = cr_ & value & OPTWRE;
      if ((cr_ & LOCK) != 0) {
        cr_ = (cr_ & ~OPTWRE) | optwre;
        break;
      }
      bool starting = (value & STRT) != 0 && (cr_ & STRT) == 0;
      cr_ = (value & (kPlainControlBits | LOCK)) | optwre;
      if (starting && !pending_) {
        if ((cr_ & PER) != 0) {
          start(Operation::PageErase, ar_, 0);
        } else if ((cr_ & MER) != 0) {
          start(Operation::MassErase, ar_, 0);
        } else if ((cr_ & OPTER) != 0 && (cr_ & OPTWRE) != 0) {
          start(Operation::OptionErase, ar_, 0);
        }
      }
      break;
    }
    case 0x14:
      ar_ = value;
      break;
    default:
      break;
  }
}

uint32_t ChipModel::readWatchdog(uint32_t offset) const {
  switch (offset) {
    case 0x04:
      return pr_;
    case 0x08:
      return rlr_;
    default:
      return 0;
  }
}

void ChipModel::writeWatchdog(uint32_t offset, uint32_t value) {
  switch (offset) {
    case 0x00:
      if (value == WDG_RELOAD) {
        ++reloads_;
      }
      watchdogAccess_ = value == WDG_ACCESS;
      break;
    case 0x04:
      if (watchdogAccess_) {
        pr_ = value & 7;
      }
      break;
    case 0x08:
      if (watchdogAccess_) {
        rlr_ = value & 0xFFF;
      }
      break;
    default:
      break;
  }
}

void ChipModel::programHalfword(Operation kind, uint32_t address, unsigned size, uint32_t value) {
  // Only a halfword store while the matching programming bit is set programs; the option block
  // needs OPTWRE as well. Anything else leaves the memory as it is (the trace still shows it).
  bool enabled = kind == Operation::Program ? (cr_ & (PG | LOCK)) == PG
                                            : (cr_ & (OPTPG | OPTWRE | LOCK)) == (OPTPG | OPTWRE);
  if (enabled && size == 2 && (address & 1) == 0 && !pending_) {
    start(kind, address, static_cast<uint16_t>(value));
  }
}

void ChipModel::start(Operation kind, uint32_t address, uint16_t value) {
  operations_.push_back({kind, address, value});
  current_ = operations_.back();
  currentOrdinal_ = static_cast<unsigned>(operations_.size());
  currentKindOrdinal_ = ++kindCounts_[kind];
  pending_ = true;
  pollsLeft_ = busyPolls_;
}

void ChipModel::complete() {
  pending_ = false;
  cr_ &= ~STRT;
  sr_ |= EOP;
  auto failure = failures_.find(currentOrdinal_);
  auto kindFailure = kindFailures_.find({current_.kind, currentKindOrdinal_});
  if (failure != failures_.end() || kindFailure != kindFailures_.end()) {
    sr_ |= failure != failures_.end() ? failure->second : kindFailure->second;
    return;
  }
  switch (current_.kind) {
    case Operation::PageErase:
      if (InMain(current_.address)) {
        uint32_t page = (current_.address - kMainFlashBase) & ~(kPageSize - 1);
        std::fill(mainFlash_.begin() + page, mainFlash_.begin() + page + kPageSize, 0xFF);
      }
      break;
    case Operation::MassErase:
      std::fill(mainFlash_.begin(), mainFlash_.end(), 0xFF);
      break;
    case Operation::OptionErase:
      std::fill(optionBytes_.begin(), optionBytes_.end(), 0xFF);
      break;
    case Operation::Program:
    case Operation::OptionProgram: {
      // Flash cells only go from 1 to 0 by programming; a halfword that is not erased can only
      // be programmed to 0, otherwise the controller refuses with PGERR.
      uint8_t* low = byteAt(current_.address);
      uint16_t old = static_cast<uint16_t>(low[0] | low[1] << 8);
      if (old != 0xFFFF && current_.value != 0) {
        sr_ |= PGERR;
        break;
      }
      low[0] = static_cast<uint8_t>(current_.value);
      low[1] = static_cast<uint8_t>(current_.value >> 8);
      break;
    }
  }
}

}  // namespace chip

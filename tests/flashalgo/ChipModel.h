// A model of the target's flash controller, independent watchdog, main flash and option block, as
// the flash algorithm meets them through their memory-mapped registers. Every access is recorded in
// order; the test chooses how long the controller stays busy and which operations end with an
// error flag.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace chip {

// Absolute addresses of the registers and memories.
namespace reg {
constexpr uint32_t FLASH_BASE = 0x40022000;
constexpr uint32_t ACR = FLASH_BASE + 0x00;
constexpr uint32_t KEYR = FLASH_BASE + 0x04;
constexpr uint32_t OPTKEYR = FLASH_BASE + 0x08;
constexpr uint32_t SR = FLASH_BASE + 0x0C;
constexpr uint32_t CR = FLASH_BASE + 0x10;
constexpr uint32_t AR = FLASH_BASE + 0x14;
constexpr uint32_t OBR = FLASH_BASE + 0x1C;
constexpr uint32_t WRPR = FLASH_BASE + 0x20;
constexpr uint32_t IWDG_BASE = 0x40003000;
constexpr uint32_t KR = IWDG_BASE + 0x00;
constexpr uint32_t PR = IWDG_BASE + 0x04;
constexpr uint32_t RLR = IWDG_BASE + 0x08;
constexpr uint32_t IWDG_SR = IWDG_BASE + 0x0C;
}  // namespace reg

constexpr uint32_t kMainFlashBase = 0x08000000;
constexpr uint32_t kMainFlashSize = 0x80000;
constexpr uint32_t kPageSize = 0x400;
constexpr uint32_t kOptionPageBase = 0x1FFFF000;  // the 4 KiB page the option block lies in
constexpr uint32_t kOptionBlock = 0x1FFFF800;
constexpr uint32_t kOptionBlockSize = 16;

// Bits of CR and SR, and the keys.
constexpr uint32_t PG = 0x01, PER = 0x02, MER = 0x04, OPTPG = 0x10, OPTER = 0x20, STRT = 0x40,
                   LOCK = 0x80, OPTWRE = 0x100;
constexpr uint32_t BSY = 0x01, PGERR = 0x04, WRPRTERR = 0x10, EOP = 0x20;
constexpr uint32_t KEY1 = 0x3C5A9E17, KEY2 = 0x7B21D4F0;
constexpr uint32_t WDG_ACCESS = 0x9C3E, WDG_RELOAD = 0xAAAA;

struct Access {
  uint32_t address = 0;
  uint8_t size = 0;  // bytes
  bool write = false;
  uint32_t value = 0;  // what was written, or what the model answered

  bool operator==(const Access& other) const {
    return address == other.address && size == other.size && write == other.write &&
           value == other.value;
  }
  bool operator!=(const Access& other) const { return !(*this == other); }
};

// "W32 CR 0x00000102", "R32 SR 0x00000001", "W16 0x08000400 0x1234".
std::string Describe(const Access& access);

enum class Operation { PageErase, MassErase, OptionErase, Program, OptionProgram };

struct StartedOperation {
  Operation kind;
  uint32_t address;  // AR for erases, the target address for programming
  uint16_t value;    // the halfword programmed
};

class ChipModel {
 public:
  ChipModel();

  // What the core sees.
  uint32_t read(uint32_t address, unsigned size);
  void write(uint32_t address, unsigned size, uint32_t value);

  // The test's controls. An operation stays busy for busyPolls reads of SR; the next read finds
  // it done (EOP set). failOperation(n, bits): the n-th operation started since clearTrace (1 is
  // the first) ends with those SR bits set instead of taking effect.
  void setBusyPolls(unsigned polls) { busyPolls_ = polls; }
  void failOperation(unsigned ordinal, uint32_t srBits) { failures_[ordinal] = srBits; }
  // The same for the n-th operation of one kind (1 is the first): a loader's own sequence decides
  // how many operations of other kinds come between.
  void failOperationOfKind(Operation kind, unsigned ordinal, uint32_t srBits) {
    kindFailures_[{kind, ordinal}] = srBits;
  }
  void setOptionByteRegister(uint32_t obr) { obr_ = obr; }
  void setStatus(uint32_t sr) { sr_ = sr; }
  void setControl(uint32_t cr) { cr_ = cr; }
  // Forgets the recorded accesses and operations (not the registers or memories).
  void clearTrace();

  const std::vector<Access>& trace() const { return trace_; }
  const std::vector<StartedOperation>& operations() const { return operations_; }
  uint32_t control() const { return cr_; }
  uint32_t status() const { return sr_; }
  uint32_t address() const { return ar_; }
  uint32_t accessControl() const { return acr_; }
  bool busy() const { return pending_; }
  uint32_t watchdogPrescaler() const { return pr_; }
  uint32_t watchdogReload() const { return rlr_; }
  unsigned watchdogReloads() const { return reloads_; }

  std::vector<uint8_t>& mainFlash() { return mainFlash_; }
  std::vector<uint8_t>& optionBytes() { return optionBytes_; }
  const std::vector<uint8_t>& mainFlash() const { return mainFlash_; }
  const std::vector<uint8_t>& optionBytes() const { return optionBytes_; }
  uint16_t halfwordAt(uint32_t address) const;

 private:
  uint32_t readController(uint32_t offset);
  void writeController(uint32_t offset, uint32_t value);
  uint32_t readWatchdog(uint32_t offset) const;
  void writeWatchdog(uint32_t offset, uint32_t value);
  void programHalfword(Operation kind, uint32_t address, unsigned size, uint32_t value);
  void start(Operation kind, uint32_t address, uint16_t value);
  void complete();
  uint8_t* byteAt(uint32_t address);

  std::vector<Access> trace_;
  std::vector<StartedOperation> operations_;
  std::map<unsigned, uint32_t> failures_;
  std::map<std::pair<Operation, unsigned>, uint32_t> kindFailures_;
  std::map<Operation, unsigned> kindCounts_;  // operations of each kind since clearTrace
  unsigned busyPolls_ = 0;

  uint32_t acr_ = 0;
  uint32_t sr_ = 0;
  uint32_t cr_ = LOCK;  // locked after reset
  uint32_t ar_ = 0;
  uint32_t obr_ = 0;
  unsigned keyStep_ = 0;
  unsigned optKeyStep_ = 0;

  bool pending_ = false;
  unsigned pollsLeft_ = 0;
  StartedOperation current_{};
  unsigned currentOrdinal_ = 0;
  unsigned currentKindOrdinal_ = 0;

  bool watchdogAccess_ = false;
  uint32_t pr_ = 0;
  uint32_t rlr_ = 0xFFF;
  unsigned reloads_ = 0;

  std::vector<uint8_t> mainFlash_;
  std::vector<uint8_t> optionBytes_;
};

}  // namespace chip

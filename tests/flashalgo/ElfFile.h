// A reader of 32-bit little-endian ELF files, just enough to see an image as a flash tool sees it:
// the header, the section and program headers, the symbol table and the Arm build attributes.
// Every offset read from the file is checked against the file's size; a bad one throws.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace elf {

struct Header {
  uint8_t fileClass = 0;     // e_ident[EI_CLASS]: 1 for 32-bit
  uint8_t dataEncoding = 0;  // e_ident[EI_DATA]: 1 for little-endian
  uint8_t identVersion = 0;  // e_ident[EI_VERSION]
  uint16_t type = 0;
  uint16_t machine = 0;
  uint32_t version = 0;
  uint32_t entry = 0;
  uint32_t phoff = 0;
  uint32_t shoff = 0;
  uint32_t flags = 0;
  uint16_t ehsize = 0;
  uint16_t phentsize = 0;
  uint16_t phnum = 0;
  uint16_t shentsize = 0;
  uint16_t shnum = 0;
  uint16_t shstrndx = 0;
};

struct Section {
  std::string name;
  uint32_t type = 0;
  uint32_t flags = 0;
  uint32_t addr = 0;
  uint32_t offset = 0;
  uint32_t size = 0;
  uint32_t link = 0;
  uint32_t info = 0;
  uint32_t addralign = 0;
  uint32_t entsize = 0;
};

struct Segment {
  uint32_t type = 0;
  uint32_t offset = 0;
  uint32_t vaddr = 0;
  uint32_t paddr = 0;
  uint32_t filesz = 0;
  uint32_t memsz = 0;
  uint32_t flags = 0;
  uint32_t align = 0;
};

struct Symbol {
  std::string name;
  uint32_t value = 0;
  uint32_t size = 0;
  uint8_t binding = 0;     // STB_*
  uint8_t type = 0;        // STT_*
  uint8_t visibility = 0;  // STV_*
  uint16_t sectionIndex = 0;
};

// Constants of the ELF and Arm ELF documents that the tests name.
constexpr uint16_t ET_EXEC = 2;
constexpr uint16_t EM_ARM = 40;
constexpr uint32_t SHT_PROGBITS = 1;
constexpr uint32_t SHT_SYMTAB = 2;
constexpr uint32_t SHT_NOBITS = 8;
constexpr uint32_t SHT_ARM_ATTRIBUTES = 0x70000003;
constexpr uint32_t SHF_WRITE = 1;
constexpr uint32_t SHF_ALLOC = 2;
constexpr uint32_t SHF_EXECINSTR = 4;
constexpr uint32_t PT_LOAD = 1;
constexpr uint32_t PF_X = 1;
constexpr uint32_t PF_W = 2;
constexpr uint32_t PF_R = 4;
constexpr uint8_t STB_LOCAL = 0;
constexpr uint8_t STB_GLOBAL = 1;
constexpr uint8_t STT_OBJECT = 1;
constexpr uint8_t STT_FUNC = 2;
constexpr uint8_t STV_HIDDEN = 2;

class File {
 public:
  // Reads and parses the file; throws std::runtime_error with the path when it cannot.
  explicit File(const std::string& path);
  // Parses bytes already in memory.
  explicit File(std::vector<uint8_t> bytes);

  const Header& header() const { return header_; }
  const std::vector<Section>& sections() const { return sections_; }
  const std::vector<Segment>& segments() const { return segments_; }
  const std::vector<Symbol>& symbols() const { return symbols_; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

  const Section* findSection(const std::string& name) const;
  // The one symbol of that name, or nothing; several of one name throw.
  std::optional<Symbol> findSymbol(const std::string& name) const;
  // The file bytes of a section (empty for NOBITS).
  std::vector<uint8_t> sectionBytes(const Section& section) const;
  std::vector<uint8_t> segmentBytes(const Segment& segment) const;

  // The public "aeabi" attributes of the file scope, tag to value (numbers only; text tags are
  // skipped). Empty when the file has no .ARM.attributes section.
  std::map<uint32_t, uint32_t> armAttributes() const;

 private:
  void parse();
  uint8_t u8(uint32_t offset) const;
  uint16_t u16(uint32_t offset) const;
  uint32_t u32(uint32_t offset) const;
  std::string stringAt(const Section& table, uint32_t offset) const;
  void requireRange(uint64_t offset, uint64_t size, const char* what) const;

  std::vector<uint8_t> bytes_;
  Header header_;
  std::vector<Section> sections_;
  std::vector<Segment> segments_;
  std::vector<Symbol> symbols_;
};

}  // namespace elf

#include "tests/flashalgo/ElfFile.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace elf {

namespace {

constexpr uint32_t kIdentSize = 16;
constexpr uint32_t kHeaderSize = 52;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kProgramHeaderSize = 32;
constexpr uint32_t kSymbolSize = 16;

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot open " + path);
  }
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ULEB128 as the attributes section stores its tags and numbers.
uint32_t ReadUleb(const std::vector<uint8_t>& data, size_t& pos, size_t end) {
  uint32_t value = 0;
  for (unsigned shift = 0; pos < end; shift += 7) {
    uint8_t byte = data[pos++];
    if (shift < 32) {
      value |= static_cast<uint32_t>(byte & 0x7F) << shift;
    }
    if ((byte & 0x80) == 0) {
      return value;
    }
  }
  throw std::runtime_error("attribute number runs past its subsection");
}

void SkipText(const std::vector<uint8_t>& data, size_t& pos, size_t end) {
  while (pos < end && data[pos] != 0) {
    ++pos;
  }
  if (pos == end) {
    throw std::runtime_error("attribute text runs past its subsection");
  }
  ++pos;
}

}  // namespace

File::File(const std::string& path) : bytes_(ReadWholeFile(path)) {
  try {
    parse();
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(path + ": " + e.what());
  }
}

File::File(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
  parse();
}

void File::requireRange(uint64_t offset, uint64_t size, const char* what) const {
  if (offset > bytes_.size() || size > bytes_.size() - offset) {
    throw std::runtime_error(std::string(what) + " lies outside the file");
  }
}

uint8_t File::u8(uint32_t offset) const {
  requireRange(offset, 1, "a byte");
  return bytes_[offset];
}

uint16_t File::u16(uint32_t offset) const {
  requireRange(offset, 2, "a halfword");
  return static_cast<uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
}

uint32_t File::u32(uint32_t offset) const {
  requireRange(offset, 4, "a word");
  return static_cast<uint32_t>(bytes_[offset]) | static_cast<uint32_t>(bytes_[offset + 1]) << 8 |
         static_cast<uint32_t>(bytes_[offset + 2]) << 16 |
         static_cast<uint32_t>(bytes_[offset + 3]) << 24;
}

std::string File::stringAt(const Section& table, uint32_t offset) const {
  if (offset >= table.size) {
    throw std::runtime_error("a name lies outside its string table");
  }
  std::string text;
  for (uint32_t i = table.offset + offset; i < table.offset + table.size; ++i) {
    uint8_t c = u8(i);
    if (c == 0) {
      return text;
    }
    text += static_cast<char>(c);
  }
  throw std::runtime_error("a name runs past the end of its string table");
}

void File::parse() {
  requireRange(0, kHeaderSize, "the ELF header");
  if (u8(0) != 0x7F || u8(1) != 'E' || u8(2) != 'L' || u8(3) != 'F') {
    throw std::runtime_error("not an ELF file");
  }
  header_.fileClass = u8(4);
  header_.dataEncoding = u8(5);
  header_.identVersion = u8(6);
  if (header_.fileClass != 1 || header_.dataEncoding != 1) {
    throw std::runtime_error("not a 32-bit little-endian ELF file");
  }
  header_.type = u16(kIdentSize);
  header_.machine = u16(18);
  header_.version = u32(20);
  header_.entry = u32(24);
  header_.phoff = u32(28);
  header_.shoff = u32(32);
  header_.flags = u32(36);
  header_.ehsize = u16(40);
  header_.phentsize = u16(42);
  header_.phnum = u16(44);
  header_.shentsize = u16(46);
  header_.shnum = u16(48);
  header_.shstrndx = u16(50);

  if (header_.shnum != 0 && header_.shentsize != kSectionHeaderSize) {
    throw std::runtime_error("unexpected section header size");
  }
  if (header_.phnum != 0 && header_.phentsize != kProgramHeaderSize) {
    throw std::runtime_error("unexpected program header size");
  }
  requireRange(header_.shoff, uint64_t{header_.shnum} * kSectionHeaderSize, "the section headers");
  requireRange(header_.phoff, uint64_t{header_.phnum} * kProgramHeaderSize, "the program headers");

  std::vector<uint32_t> nameOffsets;
  for (uint32_t i = 0; i < header_.shnum; ++i) {
    uint32_t at = header_.shoff + i * kSectionHeaderSize;
    Section s;
    nameOffsets.push_back(u32(at));
    s.type = u32(at + 4);
    s.flags = u32(at + 8);
    s.addr = u32(at + 12);
    s.offset = u32(at + 16);
    s.size = u32(at + 20);
    s.link = u32(at + 24);
    s.info = u32(at + 28);
    s.addralign = u32(at + 32);
    s.entsize = u32(at + 36);
    if (s.type != SHT_NOBITS && s.type != 0) {
      requireRange(s.offset, s.size, "a section's contents");
    }
    sections_.push_back(s);
  }
  if (header_.shstrndx >= sections_.size()) {
    throw std::runtime_error("no section name table");
  }
  for (size_t i = 0; i < sections_.size(); ++i) {
    sections_[i].name = stringAt(sections_[header_.shstrndx], nameOffsets[i]);
  }

  for (uint32_t i = 0; i < header_.phnum; ++i) {
    uint32_t at = header_.phoff + i * kProgramHeaderSize;
    Segment p;
    p.type = u32(at);
    p.offset = u32(at + 4);
    p.vaddr = u32(at + 8);
    p.paddr = u32(at + 12);
    p.filesz = u32(at + 16);
    p.memsz = u32(at + 20);
    p.flags = u32(at + 24);
    p.align = u32(at + 28);
    requireRange(p.offset, p.filesz, "a segment's contents");
    segments_.push_back(p);
  }

  for (const Section& table : sections_) {
    if (table.type != SHT_SYMTAB) {
      continue;
    }
    if (table.entsize != kSymbolSize || table.link >= sections_.size()) {
      throw std::runtime_error("malformed symbol table");
    }
    const Section& names = sections_[table.link];
    for (uint32_t at = table.offset; at + kSymbolSize <= table.offset + table.size;
         at += kSymbolSize) {
      Symbol sym;
      sym.name = stringAt(names, u32(at));
      sym.value = u32(at + 4);
      sym.size = u32(at + 8);
      uint8_t info = u8(at + 12);
      sym.binding = static_cast<uint8_t>(info >> 4);
      sym.type = static_cast<uint8_t>(info & 0x0F);
      sym.visibility = static_cast<uint8_t>(u8(at + 13) & 0x03);
      sym.sectionIndex = u16(at + 14);
      symbols_.push_back(sym);
    }
  }
}

const Section* File::findSection(const std::string& name) const {
  for (const Section& s : sections_) {
    if (s.name == name) {
      return &s;
    }
  }
  return nullptr;
}

std::optional<Symbol> File::findSymbol(const std::string& name) const {
  std::optional<Symbol> found;
  for (const Symbol& sym : symbols_) {
    if (sym.name == name) {
      if (found) {
        throw std::runtime_error("symbol " + name + " is defined more than once");
      }
      found = sym;
    }
  }
  return found;
}

std::vector<uint8_t> File::sectionBytes(const Section& section) const {
  if (section.type == SHT_NOBITS) {
    return {};
  }
  return std::vector<uint8_t>(bytes_.begin() + section.offset,
                              bytes_.begin() + section.offset + section.size);
}

std::vector<uint8_t> File::segmentBytes(const Segment& segment) const {
  return std::vector<uint8_t>(bytes_.begin() + segment.offset,
                              bytes_.begin() + segment.offset + segment.filesz);
}

std::map<uint32_t, uint32_t> File::armAttributes() const {
  std::map<uint32_t, uint32_t> result;
  const Section* section = nullptr;
  for (const Section& s : sections_) {
    if (s.type == SHT_ARM_ATTRIBUTES) {
      section = &s;
    }
  }
  if (section == nullptr) {
    return result;
  }
  const std::vector<uint8_t> data = sectionBytes(*section);
  if (data.empty() || data[0] != 'A') {
    throw std::runtime_error("unknown attributes format");
  }
  // 'A', then vendor subsections: length, vendor name, then tagged scopes of which only the
  // file scope (tag 1) of the "aeabi" vendor is read.
  size_t pos = 1;
  while (pos + 4 <= data.size()) {
    uint32_t length = u32(section->offset + static_cast<uint32_t>(pos));
    if (length < 4 || length > data.size() - pos) {
      throw std::runtime_error("attribute subsection overruns its section");
    }
    size_t end = pos + length;
    size_t p = pos + 4;
    std::string vendor;
    while (p < end && data[p] != 0) {
      vendor += static_cast<char>(data[p++]);
    }
    ++p;
    while (vendor == "aeabi" && p + 5 <= end) {
      uint8_t scope = data[p];
      uint32_t scopeLength = u32(section->offset + static_cast<uint32_t>(p + 1));
      if (scopeLength < 5 || scopeLength > end - p) {
        throw std::runtime_error("attribute scope overruns its subsection");
      }
      size_t scopeEnd = p + scopeLength;
      size_t q = p + 5;
      while (scope == 1 && q < scopeEnd) {
        uint32_t tag = ReadUleb(data, q, scopeEnd);
        // Tags 4, 5 and 67, and odd tags above 32, carry text; 32 carries a number and text.
        if (tag == 4 || tag == 5 || tag == 67 || (tag > 32 && (tag & 1) != 0)) {
          SkipText(data, q, scopeEnd);
        } else if (tag == 32) {
          ReadUleb(data, q, scopeEnd);
          SkipText(data, q, scopeEnd);
        } else {
          result[tag] = ReadUleb(data, q, scopeEnd);
        }
      }
      p = scopeEnd;
    }
    pos = end;
  }
  return result;
}

}  // namespace elf

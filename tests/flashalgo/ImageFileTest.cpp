// The built QX48Flash.FLM as a flash tool reads it: the ELF header, the sections and segments,
// the symbols the tool looks up, the build attributes that say Armv6-M Thumb, ROPI and RWPI, and
// every field of the FlashDevice descriptor.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/flashalgo/ElfFile.h"
#include "tests/flashalgo/FlashImage.h"

namespace {

// The size of PrgCode in the image this one replaces; ours is not to be larger.
constexpr uint32_t kReplacedCodeSize = 516;
constexpr uint32_t kDescriptorSize = 4256;

class ImageFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    try {
      image_ = &FlashImage();
    } catch (const std::exception& e) {
      FAIL() << e.what();
    }
    code_ = image_->findSection("PrgCode");
    data_ = image_->findSection("PrgData");
    descriptor_ = image_->findSection("DevDscr");
    ASSERT_NE(code_, nullptr);
    ASSERT_NE(data_, nullptr);
    ASSERT_NE(descriptor_, nullptr);
  }

  size_t sectionIndex(const elf::Section* section) const {
    return static_cast<size_t>(section - image_->sections().data());
  }

  uint32_t descriptorWord(uint32_t offset, unsigned width) const {
    std::vector<uint8_t> bytes = image_->sectionBytes(*descriptor_);
    uint32_t value = 0;
    for (unsigned i = 0; i < width; ++i) {
      value |= static_cast<uint32_t>(bytes.at(offset + i)) << (8 * i);
    }
    return value;
  }

  const elf::File* image_ = nullptr;
  const elf::Section* code_ = nullptr;
  const elf::Section* data_ = nullptr;
  const elf::Section* descriptor_ = nullptr;
};

TEST_F(ImageFileTest, HeaderIsAnArmEabi5SoftFloatExecutableStartingAtZero) {
  const elf::Header& h = image_->header();
  struct Field {
    const char* name;
    uint32_t actual;
    uint32_t expected;
  };
  const Field fields[] = {
      {"class (32-bit)", h.fileClass, 1},
      {"data (little-endian)", h.dataEncoding, 1},
      {"ident version", h.identVersion, 1},
      {"type", h.type, elf::ET_EXEC},
      {"machine", h.machine, elf::EM_ARM},
      {"version", h.version, 1},
      {"entry", h.entry, 0},
      {"flags (EABI 5, soft float)", h.flags, 0x05000200},
      {"header size", h.ehsize, 52},
  };
  for (const Field& f : fields) {
    EXPECT_EQ(f.actual, f.expected) << f.name;
  }
}

TEST_F(ImageFileTest, SectionsFollowEachOtherFromAddressZero) {
  std::vector<const elf::Section*> allocated;
  for (const elf::Section& s : image_->sections()) {
    if ((s.flags & elf::SHF_ALLOC) != 0) {
      allocated.push_back(&s);
    }
  }
  std::sort(allocated.begin(), allocated.end(),
            [](const elf::Section* a, const elf::Section* b) { return a->addr < b->addr; });
  std::vector<std::string> names;
  for (const elf::Section* s : allocated) {
    names.push_back(s->name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"PrgCode", "PrgData", "DevDscr"}));

  struct Expected {
    const elf::Section* section;
    uint32_t addr;
    uint32_t size;
    uint32_t flags;
  };
  const Expected expected[] = {
      {code_, 0, code_->size, elf::SHF_ALLOC | elf::SHF_EXECINSTR},
      {data_, code_->size, 4, elf::SHF_ALLOC | elf::SHF_WRITE},
      {descriptor_, code_->size + 4, kDescriptorSize, elf::SHF_ALLOC},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.section->name);
    EXPECT_EQ(e.section->type, elf::SHT_PROGBITS);
    EXPECT_EQ(e.section->addr, e.addr);
    EXPECT_EQ(e.section->size, e.size);
    EXPECT_EQ(e.section->flags, e.flags);
  }
  std::vector<uint8_t> word = image_->sectionBytes(*data_);
  EXPECT_EQ(word, (std::vector<uint8_t>{0, 0, 0, 0})) << "PrgData is one zero word";
}

TEST_F(ImageFileTest, CodeIsNoLargerThanTheImageItReplaces) {
  RecordProperty("PrgCodeBytes", static_cast<int>(code_->size));
  EXPECT_GT(code_->size, 0u);
  EXPECT_LE(code_->size, kReplacedCodeSize);
  EXPECT_EQ(code_->size % 4, 0u) << "PrgData must start word-aligned right after the code";
}

TEST_F(ImageFileTest, TwoLoadableSegmentsHoldTheCodeWithItsDataAndTheDescriptor) {
  const std::vector<elf::Segment>& segments = image_->segments();
  ASSERT_EQ(segments.size(), 2u);
  struct Expected {
    uint32_t vaddr;
    uint32_t size;
    uint32_t flags;
    std::vector<const elf::Section*> sections;
  };
  const Expected expected[] = {
      {0, code_->size + data_->size, elf::PF_R | elf::PF_W | elf::PF_X, {code_, data_}},
      {descriptor_->addr, kDescriptorSize, elf::PF_R, {descriptor_}},
  };
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const elf::Segment& p = segments[i];
    EXPECT_EQ(p.type, elf::PT_LOAD);
    EXPECT_EQ(p.vaddr, expected[i].vaddr);
    EXPECT_EQ(p.paddr, expected[i].vaddr);
    EXPECT_EQ(p.filesz, expected[i].size);
    EXPECT_EQ(p.memsz, p.filesz) << "everything loads from the file; nothing is zero-filled";
    EXPECT_EQ(p.flags, expected[i].flags);
    std::vector<uint8_t> contents;
    for (const elf::Section* s : expected[i].sections) {
      std::vector<uint8_t> bytes = image_->sectionBytes(*s);
      contents.insert(contents.end(), bytes.begin(), bytes.end());
    }
    EXPECT_TRUE(image_->segmentBytes(p) == contents) << "the segment holds its sections' bytes";
  }
}

TEST_F(ImageFileTest, EntryPointsRoutinesAndDescriptorAreGlobalHiddenSymbols) {
  const char* const functions[] = {"Init",
                                   "UnInit",
                                   "EraseChip",
                                   "EraseSector",
                                   "BlankCheck",
                                   "ProgramPage",
                                   "FLASH_Unlock",
                                   "FLASH_EraseAllPages",
                                   "FLASH_EraseOptionBlock",
                                   "EraseBlock1ffff800write6C93"};
  std::vector<std::string> exported;
  for (const char* name : functions) {
    SCOPED_TRACE(name);
    std::optional<elf::Symbol> sym = image_->findSymbol(name);
    ASSERT_TRUE(sym.has_value());
    EXPECT_EQ(sym->type, elf::STT_FUNC);
    EXPECT_EQ(sym->binding, elf::STB_GLOBAL);
    EXPECT_EQ(sym->visibility, elf::STV_HIDDEN);
    EXPECT_EQ(sym->sectionIndex, sectionIndex(code_));
    EXPECT_EQ(sym->value & 1, 1u) << "a Thumb function's address is odd";
    EXPECT_GT(sym->size, 0u);
    EXPECT_LE((sym->value & ~1u) + sym->size, code_->addr + code_->size);
    exported.push_back(name);
  }

  std::optional<elf::Symbol> device = image_->findSymbol("FlashDevice");
  ASSERT_TRUE(device.has_value());
  EXPECT_EQ(device->type, elf::STT_OBJECT);
  EXPECT_EQ(device->binding, elf::STB_GLOBAL);
  EXPECT_EQ(device->visibility, elf::STV_HIDDEN);
  EXPECT_EQ(device->sectionIndex, sectionIndex(descriptor_));
  EXPECT_EQ(device->value, descriptor_->addr) << "FlashDevice starts DevDscr";
  EXPECT_EQ(device->value, data_->addr + 4) << "4 bytes after the static base";
  EXPECT_EQ(device->size, kDescriptorSize);
  exported.push_back("FlashDevice");

  EXPECT_FALSE(image_->findSymbol("Verify").has_value()) << "the image has no verify entry point";
  for (const elf::Symbol& sym : image_->symbols()) {
    if (sym.binding != elf::STB_LOCAL) {
      EXPECT_NE(std::find(exported.begin(), exported.end(), sym.name), exported.end())
          << "unexpected global symbol " << sym.name;
    }
  }
}

TEST_F(ImageFileTest, BuildAttributesSayArmv6MThumbRopiAndRwpi) {
  std::map<uint32_t, uint32_t> attributes = image_->armAttributes();
  struct Attribute {
    const char* name;
    uint32_t tag;
    uint32_t value;
  };
  const Attribute expected[] = {
      {"Tag_CPU_arch: v6S-M", 6, 12},
      {"Tag_CPU_arch_profile: microcontroller", 7, 'M'},
      {"Tag_ARM_ISA_use: none", 8, 0},
      {"Tag_THUMB_ISA_use: 16-bit Thumb", 9, 1},
      {"Tag_ABI_PCS_R9_use: static base", 14, 1},
      {"Tag_ABI_PCS_RW_data: SB-relative (RWPI)", 15, 2},
      {"Tag_ABI_PCS_RO_data: PC-relative (ROPI)", 16, 1},
  };
  for (const Attribute& a : expected) {
    auto found = attributes.find(a.tag);
    ASSERT_NE(found, attributes.end()) << a.name;
    EXPECT_EQ(found->second, a.value) << a.name;
  }
}

// Mapping symbols mark where code ($t, Thumb) and constants ($d) lie. In Thumb code an Armv6-M
// core knows only 16-bit instructions and, among the 32-bit ones, BL (and a few system
// instructions the image has no use for).
TEST_F(ImageFileTest, CodeIsThumbOfTheCortexM0Only) {
  std::vector<elf::Symbol> marks;
  for (const elf::Symbol& sym : image_->symbols()) {
    if (sym.sectionIndex == sectionIndex(code_) && sym.name.size() >= 2 && sym.name[0] == '$') {
      EXPECT_TRUE(sym.name.compare(0, 2, "$t") == 0 || sym.name.compare(0, 2, "$d") == 0)
          << "mapping symbol " << sym.name << " (Arm code?)";
      marks.push_back(sym);
    }
  }
  ASSERT_FALSE(marks.empty());
  std::sort(marks.begin(), marks.end(),
            [](const elf::Symbol& a, const elf::Symbol& b) { return a.value < b.value; });
  EXPECT_EQ(marks.front().value, 0u);
  EXPECT_EQ(marks.front().name.compare(0, 2, "$t"), 0) << "the code starts with instructions";

  std::vector<uint8_t> code = image_->sectionBytes(*code_);
  size_t instructions = 0;
  for (size_t m = 0; m < marks.size(); ++m) {
    if (marks[m].name.compare(0, 2, "$t") != 0) {
      continue;
    }
    uint32_t end = m + 1 < marks.size() ? marks[m + 1].value : code_->size;
    for (uint32_t at = marks[m].value; at + 2 <= end;) {
      uint16_t first = static_cast<uint16_t>(code[at] | code[at + 1] << 8);
      uint16_t top = first & 0xF800;
      if (top == 0xE800 || top == 0xF000 || top == 0xF800) {
        ASSERT_LE(at + 4, end) << "a 32-bit instruction cut at 0x" << std::hex << at;
        uint16_t second = static_cast<uint16_t>(code[at + 2] | code[at + 3] << 8);
        EXPECT_TRUE(top == 0xF000 && (second & 0xD000) == 0xD000)
            << "32-bit instruction other than BL at 0x" << std::hex << at << ": " << first << " "
            << second;
        at += 4;
      } else {
        at += 2;
      }
      ++instructions;
    }
  }
  EXPECT_GT(instructions, 50u);
}

TEST_F(ImageFileTest, DescriptorFieldsHoldTheDevicesValues) {
  struct Field {
    const char* name;
    uint32_t offset;
    unsigned width;
    uint32_t value;
  };
  const Field fields[] = {
      {"Vers (FLASH_DRV_VERS)", 0, 2, 0x0101},
      {"DevType (ONCHIP)", 130, 2, 1},
      {"DevAdr", 132, 4, 0x08000000},
      {"szDev (512 KiB)", 136, 4, 0x00080000},
      {"szPage", 140, 4, 0x400},
      {"Res", 144, 4, 0},
      {"valEmpty", 148, 1, 0xFF},
      {"alignment after valEmpty", 149, 3, 0},
      {"toProg (ms)", 152, 4, 100},
      {"toErase (ms)", 156, 4, 6000},
      {"sectors[0].szSector", 160, 4, 0x400},
      {"sectors[0].AddrSector", 164, 4, 0},
      {"sectors[1].szSector (SECTOR_END)", 168, 4, 0xFFFFFFFF},
      {"sectors[1].AddrSector (SECTOR_END)", 172, 4, 0xFFFFFFFF},
  };
  for (const Field& f : fields) {
    EXPECT_EQ(descriptorWord(f.offset, f.width), f.value) << f.name;
  }

  std::vector<uint8_t> bytes = image_->sectionBytes(*descriptor_);
  ASSERT_EQ(bytes.size(), kDescriptorSize);
  const char name[] = "QX48H410xKx 512KB Flash";
  std::vector<uint8_t> devName(128, 0);
  std::memcpy(devName.data(), name, sizeof name - 1);
  EXPECT_TRUE(std::equal(devName.begin(), devName.end(), bytes.begin() + 2))
      << "DevName is the name, then NUL bytes up to byte 128";

  // Entries 2 to 511 of the sector list.
  EXPECT_TRUE(std::all_of(bytes.begin() + 176, bytes.end(), [](uint8_t b) { return b == 0; }))
      << "the sector list is zero after SECTOR_END";
}

// Reading the sector list as a tool does: runs up to SECTOR_END, each lasting to the next run or
// the end of the device.
TEST_F(ImageFileTest, SectorListDescribesOneRunOfKibiByteSectorsOverTheWholeFlash) {
  const uint32_t devAdr = descriptorWord(132, 4);
  const uint32_t szDev = descriptorWord(136, 4);
  struct Run {
    uint32_t size;
    uint32_t start;
  };
  std::vector<Run> runs;
  for (uint32_t entry = 0; entry < 512; ++entry) {
    Run run{descriptorWord(160 + 8 * entry, 4), descriptorWord(164 + 8 * entry, 4)};
    if (run.size == 0xFFFFFFFF && run.start == 0xFFFFFFFF) {
      break;
    }
    runs.push_back(run);
  }
  ASSERT_EQ(runs.size(), 1u);
  std::vector<uint32_t> sectorStarts;
  for (size_t i = 0; i < runs.size(); ++i) {
    uint32_t end = i + 1 < runs.size() ? runs[i + 1].start : szDev;
    ASSERT_GT(runs[i].size, 0u);
    for (uint32_t at = runs[i].start; at < end; at += runs[i].size) {
      sectorStarts.push_back(devAdr + at);
    }
  }
  EXPECT_EQ(sectorStarts.size(), 512u);
  EXPECT_EQ(sectorStarts.front(), 0x08000000u);
  EXPECT_EQ(sectorStarts.back() + runs.back().size, 0x08080000u);
}

}  // namespace

#include "bench/GeneratedPatch.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <set>

#include "tests/support/TestFiles.h"

namespace {

const char kVendor[] = "QuorVantel";
const char* const kFamilies[] = {"QX48F0", "QX48F1", "QX48F3", "QX48F4", "QX48G0",
                                 "QX48G4", "QX48H4", "QX48H7", "QX48L0", "QX48L4"};
const char* const kSeriesNumbers[] = {"10", "30", "50", "70", "80", "90"};
const char kPinLetters[] = "CRVZQA";
const char kFlashLetters[] = "68BCEGKI";
constexpr size_t kPinKinds = sizeof kPinLetters - 1;
constexpr size_t kChipNames = kPinKinds * (sizeof kFlashLetters - 1);

// One kind of file: the top folder it goes below, how its name is made, and its natural size.
struct FileKind {
  const char* top;
  const char* prefix;  // before the chip or series name
  const char* suffix;
  size_t smallest;
  size_t largest;
  bool binary;
};
const FileKind kSeriesFiles[] = {
    {"debugger", "", ".svd", 60000, 300000, false},
    {"debugger", "", ".ddf", 10000, 60000, false},
    {"flashloader", "Flash", ".out", 8000, 40000, true},
};
const FileKind kChipFiles[] = {
    {"devices", "", ".i79", 2000, 12000, false},
    {"devices", "", ".menu", 200, 600, false},
    {"flashloader", "Flash", ".board", 300, 1000, false},
    {"flashloader", "Flash", ".flash", 600, 2000, false},
};

// Each file's bytes are a run from one of two pools, starting at an offset of its own. A pool is
// stored twice over, so that a run of up to kPoolSize bytes from any offset is contiguous.
constexpr size_t kPoolSize = 64 * 1024;
constexpr uint64_t kSeed = 0x51A48B3E4C0FFEEULL;

// xorshift64*: small, and the same sequence from every compiler and library.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1DULL;
  }
  // Uniform in [0, 1).
  double Unit() { return double(Next() >> 11) / double(1ULL << 53); }

 private:
  uint64_t state_;
};

// Between the kind's smallest and largest size, evenly spread on a logarithmic scale.
size_t NaturalSize(const FileKind& kind, Random& random) {
  const double low = std::log(double(kind.smallest));
  const double high = std::log(double(kind.largest));
  return size_t(std::exp(low + (high - low) * random.Unit()));
}

void Add(std::vector<PlannedFile>* plan, size_t files, const FileKind& kind,
         const std::string& family, const std::string& series, const std::string& name,
         Random& random) {
  if (plan->size() >= files) return;
  plan->push_back({std::string(kind.top) + "\\" + kVendor + "\\" + family + "\\" + series + "\\" +
                       kind.prefix + name + kind.suffix,
                   NaturalSize(kind, random), kind.binary});
}

// The chip names of a series: a pin letter and a flash letter, then a number once those run out.
std::string ChipName(const std::string& series, size_t chip) {
  std::string name = series;
  name += kPinLetters[chip % kPinKinds];
  name += kFlashLetters[(chip % kChipNames) / kPinKinds];
  if (chip >= kChipNames) name += std::to_string(chip / kChipNames);
  return name;
}

// Scales the natural sizes so that they add up to bytes exactly; the rounding remainder (less
// than one byte a file) goes one byte at a time to the first files.
void ScaleTo(std::vector<PlannedFile>* plan, uint64_t bytes) {
  uint64_t natural = 0;
  for (const PlannedFile& file : *plan) natural += file.size;
  if (natural == 0) return;
  uint64_t total = 0;
  for (PlannedFile& file : *plan) {
    const uint64_t scaled = uint64_t(file.size) * bytes / natural;
    file.size = scaled > 0 ? size_t(scaled) : 1;
    total += file.size;
  }
  for (size_t i = 0; total < bytes && i < plan->size(); ++i, ++total) ++(*plan)[i].size;
}

std::string Pool(bool binary, Random& random) {
  std::string pool;
  if (binary) {
    while (pool.size() < kPoolSize) pool += char(random.Next() >> 56);
  } else {
    // Lines in the manner of a debugger file's register list, CRLF as the real files have.
    char line[96];
    while (pool.size() < kPoolSize) {
      const unsigned reg = unsigned(random.Next() >> 52);
      snprintf(line, sizeof line, "sfr = \"QX48_R%03X\", \"Memory\", 0x%08X, 4, base=16\r\n", reg,
               0x40000000u + reg * 4u);
      pool += line;
    }
  }
  pool.resize(kPoolSize);
  return pool + pool;
}

bool WriteRun(const std::string& path, const std::string& pool, size_t offset, size_t size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  for (size_t left = size; ok && left > 0;) {
    const DWORD chunk = DWORD(left < kPoolSize ? left : kPoolSize);
    DWORD written = 0;
    ok = WriteFile(file, pool.data() + offset, chunk, &written, nullptr) && written == chunk;
    left -= chunk;
  }
  return CloseHandle(file) && ok;
}

// The families of a patch of files files: the ten named ones for up to kFilesPerTenFamilies
// files, and ten more for each further share (QX48F0 of the second ten is QX48F0B1), so that a
// larger patch has more series of the same size rather than fuller folders.
constexpr size_t kFilesPerTenFamilies = 3000;
std::vector<std::string> FamiliesFor(size_t files) {
  std::vector<std::string> families;
  const size_t tens = files <= kFilesPerTenFamilies ? 1
                                                    : (files + kFilesPerTenFamilies - 1) /
                                                          kFilesPerTenFamilies;
  for (size_t ten = 0; ten < tens; ++ten) {
    for (const char* family : kFamilies) {
      families.push_back(ten == 0 ? std::string(family)
                                  : std::string(family) + "B" + std::to_string(ten));
    }
  }
  return families;
}

}  // namespace

std::vector<PlannedFile> PlanGeneratedPatch(size_t files, uint64_t bytes) {
  Random random(kSeed);
  std::vector<PlannedFile> plan;
  const std::vector<std::string> families = FamiliesFor(files);
  // The series files first, then one chip of every series in turn: however many files are asked
  // for, every series folder gets its share.
  for (const std::string& family : families) {
    for (const char* number : kSeriesNumbers) {
      const std::string series = family + std::string(number);
      for (const FileKind& kind : kSeriesFiles) {
        Add(&plan, files, kind, family, series, series, random);
      }
    }
  }
  for (size_t chip = 0; plan.size() < files; ++chip) {
    for (const std::string& family : families) {
      for (const char* number : kSeriesNumbers) {
        const std::string series = family + std::string(number);
        for (const FileKind& kind : kChipFiles) {
          Add(&plan, files, kind, family, series, ChipName(series, chip), random);
        }
      }
    }
  }
  ScaleTo(&plan, bytes);
  return plan;
}

size_t PlannedFolderCount(const std::vector<PlannedFile>& plan) {
  std::set<std::string> folders;
  for (const PlannedFile& file : plan) {
    for (size_t cut = file.path.find('\\'); cut != std::string::npos;
         cut = file.path.find('\\', cut + 1)) {
      folders.insert(file.path.substr(0, cut));
    }
  }
  return folders.size();
}

bool WriteGeneratedPatch(const std::string& folder, const std::vector<PlannedFile>& plan,
                         std::string* fault) {
  Random random(kSeed + 1);
  const std::string text = Pool(false, random);
  const std::string binary = Pool(true, random);
  std::set<std::string> made;
  for (const PlannedFile& file : plan) {
    const std::string path = folder + "\\" + file.path;
    const std::string parent = path.substr(0, path.find_last_of('\\'));
    if (made.insert(parent).second && !MakeFolders(parent)) {
      *fault = "could not make the folder " + parent;
      return false;
    }
    const size_t offset = size_t(random.Next() % kPoolSize);
    if (!WriteRun(path, file.binary ? binary : text, offset, file.size)) {
      *fault = "could not write " + path + " (error " + std::to_string(GetLastError()) + ")";
      return false;
    }
  }
  return true;
}

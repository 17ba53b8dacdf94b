// Figures, not a test: how long loading takes, and (with glibc) how much memory the document
// holds, for the sizes that once froze the dialog and for the largest files of each shape that
// the bounds let through.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "record/RecordDocument.h"

namespace {

namespace fs = std::filesystem;

// Short distinct names: a, b, ..., z, ba, bb, ...
std::string Name(long i) {
  std::string name;
  do {
    name += static_cast<char>('a' + i % 26);
    i /= 26;
  } while (i > 0);
  return name;
}

size_t HeapInUse() {
#ifdef __GLIBC__
  return mallinfo2().uordblks;
#else
  return 0;
#endif
}

void Measure(const fs::path& folder, const char* what, const std::string& bytes,
             uintmax_t sparseLength = 0) {
  const fs::path path = folder / "bench.Version";
  FILE* out = fopen(path.string().c_str(), "wb");
  if (out == nullptr || fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) {
    fprintf(stderr, "cannot write %s\n", path.string().c_str());
    if (out != nullptr) fclose(out);
    return;
  }
  fclose(out);
  if (sparseLength > 0) fs::resize_file(path, sparseLength);

  const size_t heapBefore = HeapInUse();
  const auto start = std::chrono::steady_clock::now();
  CRecordDocument* document = new CRecordDocument;
  document->Load(path.string().c_str());
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double megabytes = static_cast<double>(HeapInUse() - heapBefore) / (1 << 20);
  printf("%-44s %10ju bytes  %8.1f ms  result %d  %7ld sections  %6.1f MB held\n", what,
         static_cast<uintmax_t>(fs::file_size(path)), seconds * 1000,
         static_cast<int>(document->GetLoadResult()),
         static_cast<long>(document->GetSectionCount()), megabytes);
  delete document;
}

}  // namespace

int main() {
  std::error_code error;
  const fs::path folder = fs::temp_directory_path() / "qx48-record-benchmark";
  fs::create_directories(folder, error);
  const size_t most = static_cast<size_t>(kMaxRecordFileSize);
  printf(
      "result: %d complete, %d too large, %d too many lines, %d too many entries, %d names alike\n",
      CRecordDocument::loadComplete, CRecordDocument::loadTooLarge,
      CRecordDocument::loadTooManyLines, CRecordDocument::loadTooManyEntries,
      CRecordDocument::loadTooManyLikeNames);

  std::string file;
  for (int i = 0; i < 80000; ++i) file += "[Section" + std::to_string(i) + "]\n";
  Measure(folder, "80,000 sections", file);
  file = "[S]\n";
  for (int i = 0; i < 80000; ++i) {
    file += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  }
  Measure(folder, "80,000 keys", file);
  Measure(folder, "400 MB, one line (refused by its length)", "x", 400u << 20);

  file.clear();
  for (long i = 0; file.size() < most - 16; ++i) file += "[" + Name(i) + "]\n";
  Measure(folder, "8 MB of sections (cut by the lines)", file);
  file = "[S]\n";
  for (long i = 0; file.size() < most - 16; ++i) file += Name(i) + "=\n";
  Measure(folder, "8 MB of keys (cut by the entries)", file);
  file = "[S]\n";
  while (file.size() < most - 16) file += "A=1\n";
  Measure(folder, "8 MB of one key, repeated (cut by the lines)", file);
  file = "[S]\n";
  while (file.size() < most - 4100) file += "A=" + std::string(4000, ',') + "\n";
  Measure(folder, "8 MB of one key of 4001 elements, repeated", file);
  file = "[S]\n";
  while (file.size() < most - 4100) file += "A=" + std::string(4000, 'x') + "\n";
  Measure(folder, "8 MB of one key of 4000 characters, repeated", file);

  // Key names of four bytes other than ASCII ones: the lookups tell them apart only by comparing.
  const auto alike = [](int keys) {
    std::string alikeFile = "[S]\n";
    for (int i = 0; i < keys; ++i) {
      for (int shift = 12; shift >= 0; shift -= 4) {
        alikeFile += static_cast<char>(0xB0 + ((i >> shift) & 15));
      }
      alikeFile += "=\n";
    }
    return alikeFile;
  };
  Measure(folder, "640 keys alike (just within the comparisons)", alike(640));
  Measure(folder, "65,536 keys alike (cut by the comparisons)", alike(65536));

  fs::remove_all(folder, error);
  return 0;
}

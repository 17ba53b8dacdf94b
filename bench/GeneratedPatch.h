#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A made-up patch tree of the size and shape of a full device-support release, for timing
// installs. devices, debugger and flashloader each hold a QuorVantel vendor folder with a folder
// per family and one per series below that. Every series has a register description (.svd), a
// debugger file (.ddf) and a flash loader image (.out); every chip a description (.i79), a menu,
// a board and a flash file. Sizes spread over three orders of magnitude, as in a real release.
// The same arguments give the same tree, byte for byte, every time.

struct PlannedFile {
  std::string path;  // relative to the patch folder, with backslashes
  size_t size;
  bool binary;  // a flash loader image rather than text
};

// Exactly `files` files holding `bytes` bytes in all (each at least one byte). Up to 3,000 files
// lie in 60 series; each further 3,000 bring 60 series more, so folders stay the same size.
std::vector<PlannedFile> PlanGeneratedPatch(size_t files, uint64_t bytes);

// The number of distinct folders the plan's files lie in, at every depth.
size_t PlannedFolderCount(const std::vector<PlannedFile>& plan);

// Writes the planned files below folder, making the folders; false, with what failed in *fault,
// at the first failure.
bool WriteGeneratedPatch(const std::string& folder, const std::vector<PlannedFile>& plan,
                         std::string* fault);

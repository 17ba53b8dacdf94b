#pragma once
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

// A folder of its own under the system temp folder for one test, removed with what it holds.
class TempFolder {
 public:
  TempFolder() {
    namespace fs = std::filesystem;
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 1000; ++attempt) {
      const fs::path candidate =
          base / ("qx48-test-" + std::to_string(Seed()) + "-" + std::to_string(attempt));
      std::error_code error;
      if (fs::create_directory(candidate, error)) {
        path_ = candidate;
        return;
      }
    }
    ADD_FAILURE() << "no temp folder could be made under " << base.string();
  }
  ~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string Path() const { return path_.string(); }
  std::string PathOf(const std::string& name) const { return (path_ / name).string(); }

  // Writes bytes exactly as given (no line-end translation) and returns the file's path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string file = PathOf(name);
    FILE* stream = fopen(file.c_str(), "wb");
    EXPECT_NE(stream, nullptr) << file;
    if (stream != nullptr) {
      EXPECT_EQ(fwrite(bytes.data(), 1, bytes.size(), stream), bytes.size());
      fclose(stream);
    }
    return file;
  }

 private:
  static unsigned long Seed() {
    static const unsigned long seed =
        static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count());
    return seed;
  }

  std::filesystem::path path_;
};

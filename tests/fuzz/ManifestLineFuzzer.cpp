// Any bytes as one line of the patch manifest. Checks that the parser never reads past the line,
// and that a line it accepts has a digest of 64 lower-case hex digits, a size within bounds, and a
// path that stays below the patch folder: relative, no empty, "." or ".." component, no drive or
// stream.
#include <cstdint>
#include <cstring>
#include <vector>

#include <string>

#include "install/ManifestLine.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exactly the line on the heap, unterminated, as the manifest reader hands it over.
  std::vector<char> line(data, data + size);
  ManifestEntry entry;
  if (!ParseManifestLine(line.data(), size, &entry)) return 0;
  FUZZ_CHECK(strlen(entry.sha256) == 64);
  for (const char* c = entry.sha256; *c != '\0'; ++c) {
    FUZZ_CHECK((*c >= '0' && *c <= '9') || (*c >= 'a' && *c <= 'f'));
  }
  FUZZ_CHECK(entry.size <= kManifestMaxFileSize);
  const std::string path = entry.path;
  FUZZ_CHECK(!path.empty() && path.find(':') == std::string::npos);
  for (size_t start = 0, end;; start = end + 1) {
    end = path.find('\\', start);
    const std::string component = path.substr(start, end - start);
    FUZZ_CHECK(!component.empty() && component != "." && component != "..");
    if (end == std::string::npos) break;
  }
  return 0;
}

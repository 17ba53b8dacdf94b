// Any bytes as a folder and an entry name, as the folder-tree copy joins a listing's names to its
// folders: input byte 0 chooses the caller's length bound, the rest up to the first zero byte is
// the folder and the rest after it the name. Checks that a join is exactly folder, one backslash
// and name, or nothing when it would be too long, never writing past MAX_PATH; that a name passed
// as safe holds nothing Windows would read as another place; and that joining a safe name never
// leaves the folder.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "install/EntryNames.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

bool IsDeviceName(const std::string& name) {
  size_t base = name.find('.');
  if (base == std::string::npos) base = name.size();
  while (base > 0 && name[base - 1] == ' ') --base;
  std::string upper = name.substr(0, base);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (upper == device) return true;
  }
  return upper.size() == 4 &&
         (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) && upper[3] >= '0' &&
         upper[3] <= '9';
}

// What a safe name must not hold (the host has no double-byte code page, so every byte counts).
bool NamesAnotherPlace(const std::string& name) {
  if (name.empty() || name.back() == '.' || name.back() == ' ') return true;
  for (unsigned char c : name) {
    if (c < 0x20 || strchr("\\/:*?\"<>|", c) != nullptr) return true;
  }
  return IsDeviceName(name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t maxLength = data[0] < 200 ? data[0] * 2u : MAX_PATH - 1 + (data[0] - 200u);
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t zero = rest.find('\0');
  const std::string folder = rest.substr(0, zero);
  const std::string tail = zero == std::string::npos ? "" : rest.substr(zero + 1);
  const std::string name = tail.substr(0, tail.find('\0'));

  FUZZ_CHECK((IsReservedDeviceName(name.c_str()) != FALSE) == IsDeviceName(name));
  const bool safe = IsSafeEntryName(name.c_str()) != FALSE;
  FUZZ_CHECK(safe == !NamesAnotherPlace(name));

  // Exactly MAX_PATH bytes on the heap, as the copy's buffers hold.
  std::vector<char> item(MAX_PATH, '#');
  const bool joined = JoinItemPath(item.data(), folder.c_str(), name.c_str(), maxLength) != FALSE;
  const bool separator = folder.empty() || folder.back() != '\\';
  const std::string expected = folder + (separator ? "\\" : "") + name;
  FUZZ_CHECK(joined == (expected.size() <= maxLength && expected.size() < MAX_PATH));
  FUZZ_CHECK(std::string(item.data()) == (joined ? expected : std::string()));
  if (joined && safe) {
    // The name is the whole last part of the path: no way up or across.
    const std::string joinedPath(item.data());
    FUZZ_CHECK(joinedPath.compare(0, folder.size(), folder) == 0);
    FUZZ_CHECK(joinedPath.substr(joinedPath.rfind('\\') + 1) == name);
    FUZZ_CHECK(name != "." && name != "..");
  }
  return 0;
}

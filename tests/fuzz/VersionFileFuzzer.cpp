// Any bytes as a version file: loaded as the dialog loads one, then read as the version stamp
// reads it. Checks what loading promises for every input (a result, well-formed names and
// values, each name found at its own place whatever its letter case, loading twice the same as
// once) and that the stamp's label and date are what the document's accessors give.
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "record/RecordDocument.h"
#include "record/VersionStamp.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/record/RecordDump.h"

namespace {

// The loader reads files only: each input goes to one file of this process's own.
const std::string& InputPath() {
  static const std::string path = [] {
    const char* folder = getenv("TMPDIR");
    return std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/qx48-fuzz-" +
           std::to_string(getpid()) + ".Version";
  }();
  return path;
}

void WriteInput(const uint8_t* data, size_t size) {
  FILE* file = fopen(InputPath().c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  FUZZ_CHECK(fwrite(data, 1, size, file) == size);
  FUZZ_CHECK(fclose(file) == 0);
}

std::string AsciiUpper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string FlipAsciiCase(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

// What the stamp should show for key of section Install: its first element, cut to the stamp's
// scratch buffer, without one pair of enclosing quotes, cut to the field.
std::string ExpectedStampText(const CRecordDocument& document, const char* key) {
  const CRecordSection* install = document.GetSection(document.FindSection("Install"));
  if (install == nullptr) return "";
  const CRecordValue* value = install->GetValue(install->FindKey(key));
  if (value == nullptr) return "";
  char element[kRecordTextSize];
  if (!value->GetElement(0, element)) return "";
  std::string text = std::string(element).substr(0, 255);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    text = text.substr(1, text.size() - 2);
  }
  return text.substr(0, kStampTextSize - 1);
}

void CheckNames(const CRecordDocument& document) {
  std::map<std::string, int> sections;  // ASCII-folded name: the host's _stricmp and _mbsicmp
  for (int s = 0; s < document.GetSectionCount(); ++s) {
    char name[kRecordTextSize];
    FUZZ_CHECK(document.GetSectionName(s, name) == 1);
    FUZZ_CHECK(sections.emplace(AsciiUpper(name), s).second);  // loading makes no second one
    FUZZ_CHECK(document.FindSection(name) == s);
    FUZZ_CHECK(document.FindSection(FlipAsciiCase(name).c_str()) == s);
    const CRecordSection* section = document.GetSection(s);
    FUZZ_CHECK(section != nullptr);
    std::map<std::string, int> keys;
    for (int k = 0; k < section->GetKeyCount(); ++k) {
      const CString key = section->GetKeyName(k);
      FUZZ_CHECK(!key.IsEmpty() && key.GetLength() < kRecordTextSize);
      FUZZ_CHECK(strpbrk(key, " \t\r\n\v\f=") == nullptr);
      FUZZ_CHECK(keys.emplace(AsciiUpper(static_cast<LPCTSTR>(key)), k).second);
      FUZZ_CHECK(section->FindKey(key) == k);
      FUZZ_CHECK(section->FindKey(FlipAsciiCase(static_cast<LPCTSTR>(key)).c_str()) == k);
      const CRecordValue* value = section->GetValue(k);
      FUZZ_CHECK(value != nullptr && value->GetElementCount() >= 1);
      for (int e = 0; e < value->GetElementCount(); ++e) {
        char element[kRecordTextSize];
        FUZZ_CHECK(value->GetElement(e, element) == 1);
      }
    }
  }
}

void CheckStamp(CRecordDocument& document) {
  VersionStamp stamp;
  memset(&stamp, 0x5A, sizeof stamp);
  FUZZ_CHECK(ReadInstallSection(&document, &stamp) == 1);
  FUZZ_CHECK(memchr(stamp.label, '\0', sizeof stamp.label) != nullptr);
  FUZZ_CHECK(memchr(stamp.date, '\0', sizeof stamp.date) != nullptr);
  if (document.IsLoadCut()) {
    FUZZ_CHECK(strcmp(stamp.label, kUnknownVersionLabel) == 0 && stamp.date[0] == '\0');
    return;
  }
  FUZZ_CHECK(ExpectedStampText(document, "Version") == stamp.label);
  FUZZ_CHECK(ExpectedStampText(document, "Date") == stamp.date);
  const int state = VersionState(stamp.label, 1);
  FUZZ_CHECK(state == 1 || state == 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteInput(data, size);
  CRecordDocument document;
  document.Load(InputPath().c_str());
  const CRecordDocument::LoadResult result = document.GetLoadResult();
  // The file is there and memory is plenty: only a bound may cut the load.
  FUZZ_CHECK(result == CRecordDocument::loadComplete || result == CRecordDocument::loadTooLarge ||
             result == CRecordDocument::loadTooManyLines ||
             result == CRecordDocument::loadTooManyEntries ||
             result == CRecordDocument::loadTooManyLikeNames);
  CheckNames(document);
  CheckStamp(document);
  if (result == CRecordDocument::loadComplete) {
    // Every line of a second load repeats a section or key already there, in the same order.
    const std::string once = Dump(document);
    document.Load(InputPath().c_str());
    FUZZ_CHECK(document.GetLoadResult() == CRecordDocument::loadComplete);
    FUZZ_CHECK(Dump(document) == once);
  }
  return 0;
}

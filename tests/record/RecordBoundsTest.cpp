// The bounds of loading: file size, lines and entries, each at and just past its value, and what
// the version stamp makes of a load that was cut.
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "record/RecordDocument.h"
#include "record/VersionStamp.h"
#include "tests/classlib/CStringPrinter.h"
#include "tests/classlib/TempFolder.h"
#include "tests/record/RecordDump.h"

namespace {

const char kInstall[] = "[Install]\nVersion=\"V2.0\"\nDate=\"2019-12-20\"\n";

// Lines of 4000 characters without a separator: ignored by the loader, they make a file long
// without making it many lines.
std::string Filler(size_t bytes) {
  const std::string line = std::string(3999, 'f') + "\n";
  std::string filler;
  while (filler.size() + line.size() <= bytes) filler += line;
  return filler + std::string(bytes - filler.size(), '\n');
}

// Exactly n entries (n > 2): the section S, and keys of up to 2000 elements each.
std::string Entries(INT_PTR n) {
  std::string file = "[S]\n";
  INT_PTR left = n - 1;
  for (int key = 0; left > 0; ++key) {
    INT_PTR elements = left - 1 < 2000 ? left - 1 : 2000;
    if (left - (elements + 1) == 1) --elements;  // a key needs two entries: leave it two
    file += "k" + std::to_string(key) + "=" + std::string(static_cast<size_t>(elements - 1), ',') +
            "\n";
    left -= elements + 1;
  }
  return file;
}

struct BoundCase {
  const char* name;
  std::function<std::string()> bytes;  // made when the case runs: some are megabytes
  CRecordDocument::LoadResult result;
  const char* label;  // of the version stamp read from the file
};

TEST(RecordBounds, AtEachBoundTheFileLoadsJustPastItTheLoadIsCut) {
  const size_t size = static_cast<size_t>(kMaxRecordFileSize);
  const BoundCase cases[] = {
      {"a real version file", [] { return std::string(kInstall); }, CRecordDocument::loadComplete,
       "V2.0"},
      {"size at the bound", [&] { return kInstall + Filler(size - strlen(kInstall)); },
       CRecordDocument::loadComplete, "V2.0"},
      {"one byte over the size", [&] { return kInstall + Filler(size + 1 - strlen(kInstall)); },
       CRecordDocument::loadTooLarge, kUnknownVersionLabel},
      {"lines at the bound",
       [] { return kInstall + std::string(static_cast<size_t>(kMaxRecordLines - 3), '\n'); },
       CRecordDocument::loadComplete, "V2.0"},
      {"one line over",
       [] { return kInstall + std::string(static_cast<size_t>(kMaxRecordLines - 2), '\n'); },
       CRecordDocument::loadTooManyLines, kUnknownVersionLabel},
      {"last line over, without a line end",
       [] { return kInstall + std::string(static_cast<size_t>(kMaxRecordLines - 3), '\n') + "x"; },
       CRecordDocument::loadTooManyLines, kUnknownVersionLabel},
      // kInstall holds five entries: its section, two keys and their elements.
      {"entries at the bound", [] { return kInstall + Entries(kMaxRecordEntries - 5); },
       CRecordDocument::loadComplete, "V2.0"},
      {"one key over", [] { return kInstall + Entries(kMaxRecordEntries - 5) + "z=\n"; },
       CRecordDocument::loadTooManyEntries, kUnknownVersionLabel},
      {"a repeated key gives its entries back",
       [] {
         std::string file = kInstall;
         for (int i = 0; i < 200; ++i) file += "A=" + std::string(1999, ',') + "\nA=\n";
         return file;
       },
       CRecordDocument::loadComplete, "V2.0"},
  };
  TempFolder folder;
  for (const BoundCase& c : cases) {
    const std::string path = folder.Write("bound.Version", c.bytes());
    CRecordDocument document;
    document.Load(path.c_str());
    EXPECT_EQ(document.GetLoadResult(), c.result) << c.name;
    EXPECT_EQ(document.IsLoadCut() != FALSE, c.result != CRecordDocument::loadComplete) << c.name;
    VersionStamp stamp;
    memset(&stamp, 0x5A, sizeof stamp);
    ReadVersionFile(path.c_str(), &stamp);
    EXPECT_STREQ(stamp.label, c.label) << c.name;
    EXPECT_EQ(stamp.state, c.label == std::string("V2.0") ? 2 : 1) << c.name;
    EXPECT_STREQ(stamp.date, c.label == std::string("V2.0") ? "2019-12-20" : "") << c.name;
  }
}

// The case: 400 MB in one line once ended the program out of memory. Made as a file of
// that length without writing it (the file system keeps it sparse), it is refused by its length
// before a byte of it is read.
TEST(RecordBounds, A400MegabyteFileIsNotRead) {
  TempFolder folder;
  const std::string path = folder.Write("huge.Version", kInstall);
  std::filesystem::resize_file(path, 400u << 20);
  Visit visit;
  EXPECT_EQ(ReadRecordFile(path.c_str(), DumpVisitor, &visit), 1);
  EXPECT_EQ(visit.calls, 1);
  EXPECT_EQ(visit.dump, "");  // not even the header at its start
  CRecordDocument document;
  document.Load(path.c_str());
  EXPECT_EQ(document.GetLoadResult(), CRecordDocument::loadTooLarge);
  EXPECT_EQ(document.GetSectionCount(), 0);
}

// What a cut load leaves is never taken for the file: the stamp says Unknown even when the start
// of the file named a version.
TEST(RecordBounds, ACutDocumentGivesTheUnknownLabelWhateverItHolds) {
  CRecordDocument document;
  VersionStamp stamp;
  memset(&stamp, 0x5A, sizeof stamp);
  TempFolder folder;
  const std::string lines(static_cast<size_t>(kMaxRecordLines), '\n');
  const std::string path = folder.Write("cut.Version", kInstall + lines);
  document.Load(path.c_str());
  ASSERT_EQ(document.GetLoadResult(), CRecordDocument::loadTooManyLines);
  ASSERT_GE(document.FindSection("Install"), 0);  // loaded before the cut
  EXPECT_EQ(ReadInstallSection(&document, &stamp), 1);
  EXPECT_STREQ(stamp.label, kUnknownVersionLabel);
  EXPECT_STREQ(stamp.date, "");
}

// A file that cannot be opened is no cut: it reads as empty, as it always did.
TEST(RecordBounds, UnreadableFilesAreNotCut) {
  TempFolder folder;
  const struct {
    std::string path;
    CRecordDocument::LoadResult result;
  } cases[] = {
      {folder.Write("fine.Version", kInstall), CRecordDocument::loadComplete},
      {folder.PathOf("missing.Version"), CRecordDocument::loadUnreadable},
      {folder.Path(), CRecordDocument::loadUnreadable},
      {"", CRecordDocument::loadUnreadable},
  };
  for (const auto& c : cases) {
    CRecordDocument document;
    document.Load(c.path.c_str());
    EXPECT_EQ(document.GetLoadResult(), c.result) << c.path;
    EXPECT_FALSE(document.IsLoadCut()) << c.path;
  }
}

std::string Numbered(const char* before, const char* after, int count) {
  std::string file;
  for (int i = 0; i < count; ++i) file += before + std::to_string(i) + after;
  return file;
}

// The sizes that once took 12 and 25 seconds: every name is found where it is, the first of a
// repeated name wins and a repeated key takes the later value, as in a small file.
TEST(RecordBounds, EightyThousandSectionsOrKeysLoadWhole) {
  constexpr int kCount = 80000;
  TempFolder folder;
  {
    const std::string file = Numbered("[Section", "]\n", kCount) + "[section7]\nA=1\n" + kInstall;
    CRecordDocument document;
    document.Load(folder.Write("sections.Version", file).c_str());
    ASSERT_EQ(document.GetLoadResult(), CRecordDocument::loadComplete);
    ASSERT_EQ(document.GetSectionCount(), kCount + 1);
    for (int i = 0; i < kCount; i += 997) {
      EXPECT_EQ(document.FindSection(("SECTION" + std::to_string(i)).c_str()), i);
    }
    EXPECT_EQ(document.FindSection("Section79999"), kCount - 1);
    EXPECT_EQ(document.FindSection("Section80000"), -1);
    EXPECT_EQ(document.GetSection(7)->GetKeyCount(), 1);  // the repeated header added to it
    EXPECT_EQ(document.FindSection("install"), kCount);
  }
  {
    const std::string file = "[S]\n" + Numbered("Key", "=a,b\n", kCount) + "KEY5=c\n" + kInstall;
    CRecordDocument document;
    document.Load(folder.Write("keys.Version", file).c_str());
    ASSERT_EQ(document.GetLoadResult(), CRecordDocument::loadComplete);
    ASSERT_EQ(document.GetSectionCount(), 2);
    const CRecordSection* section = document.GetSection(0);
    ASSERT_EQ(section->GetKeyCount(), kCount);
    for (int i = 0; i < kCount; i += 997) {
      EXPECT_EQ(section->FindKey(("key" + std::to_string(i)).c_str()), i);
    }
    EXPECT_EQ(section->FindKey("Key79999"), kCount - 1);
    EXPECT_EQ(section->FindKey("Key80000"), -1);
    EXPECT_EQ(section->GetKeyName(5), "KEY5");
    EXPECT_EQ(section->GetValue(5)->GetElementCount(), 1);
  }
}

// Key names of four bytes from 0xB0 to 0xBF: one character each or two double-byte ones,
// whatever the code page, and never ASCII, so that every one of them looks alike to the lookups.
std::string NameAlike(int i) {
  std::string name;
  for (int shift = 12; shift >= 0; shift -= 4)
    name += static_cast<char>(0xB0 + ((i >> shift) & 15));
  return name;
}

// Names that look alike to the lookups are still told apart by the comparison itself; past a
// bound on what that costs, the load is cut instead of taking time in their number squared.
TEST(RecordBounds, NamesAlikeAreToldApartAndTheirCostIsBounded) {
  const struct {
    const char* what;
    int keys;
    bool asHeaders;
    CRecordDocument::LoadResult result;
  } cases[] = {
      {"300 keys alike", 300, false, CRecordDocument::loadComplete},
      {"300 sections alike", 300, true, CRecordDocument::loadComplete},
      {"2,000 keys alike", 2000, false, CRecordDocument::loadTooManyLikeNames},
      {"2,000 sections alike", 2000, true, CRecordDocument::loadTooManyLikeNames},
  };
  TempFolder folder;
  for (const auto& c : cases) {
    std::string file = c.asHeaders ? "" : "[S]\n";
    for (int i = 0; i < c.keys; ++i) {
      file +=
          c.asHeaders ? "[" + NameAlike(i) + "]\n" : NameAlike(i) + "=" + std::to_string(i) + "\n";
    }
    file += c.asHeaders ? "[" + NameAlike(7) + "]\n" : NameAlike(7) + "=again\n";
    file += kInstall;
    const std::string path = folder.Write("alike.Version", file);
    CRecordDocument document;
    document.Load(path.c_str());
    EXPECT_EQ(document.GetLoadResult(), c.result) << c.what;
    VersionStamp stamp;
    ReadVersionFile(path.c_str(), &stamp);
    EXPECT_STREQ(stamp.label, c.result == CRecordDocument::loadComplete ? "V2.0" : "Unknown")
        << c.what;
    if (c.result != CRecordDocument::loadComplete) continue;
    if (c.asHeaders) {
      ASSERT_EQ(document.GetSectionCount(), c.keys + 1) << c.what;  // and Install
      for (int i = 0; i < c.keys; ++i) {
        ASSERT_EQ(document.FindSection(NameAlike(i).c_str()), i) << c.what;
      }
    } else {
      const CRecordSection* section = document.GetSection(0);
      ASSERT_EQ(section->GetKeyCount(), c.keys) << c.what;
      for (int i = 0; i < c.keys; ++i) ASSERT_EQ(section->FindKey(NameAlike(i).c_str()), i);
      char element[16];
      ASSERT_EQ(section->GetValue(7)->GetElement(0, element), 1);
      EXPECT_STREQ(element, "again");
    }
  }
}

// Names handed to the document directly rather than loaded: the lookups still give the first
// equal name however the names were added or renamed.
TEST(RecordBounds, LookupsGiveTheFirstEqualNameAfterRenames) {
  CRecordDocument document;
  EXPECT_EQ(document.AddSection("Same"), 0);
  EXPECT_EQ(document.AddSection("SAME"), 1);
  EXPECT_EQ(document.AddSection("other"), 2);
  EXPECT_EQ(document.FindSection("same"), 0);
  CRecordSection* section = document.GetSection(0);
  section->SetFromLine(0, "A=1");
  section->SetFromLine(3, "a=4");  // keys 1 and 2 appear with empty names
  EXPECT_EQ(section->FindKey("a"), 0);
  EXPECT_EQ(section->FindKey(""), 1);
  section->SetFromLine(0, "B=1");  // key 0 renamed: a is now only key 3
  EXPECT_EQ(section->FindKey("A"), 3);
  EXPECT_EQ(section->FindKey("b"), 0);
  section->SetFromLine(1, "b=2");
  EXPECT_EQ(section->FindKey("B"), 0);
  section->SetFromLine(0, "C=1");
  EXPECT_EQ(section->FindKey("B"), 1);
  EXPECT_EQ(section->FindKey(""), 2);
  EXPECT_EQ(section->FindKey(nullptr), -1);
  EXPECT_EQ(document.FindSection(nullptr), -1);
}

}  // namespace

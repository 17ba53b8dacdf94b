#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <mbctype.h>
#endif

#include "record/RecordDocument.h"
#include "tests/record/RecordDump.h"

namespace {

std::vector<std::string> Pieces(const char* text, const char* separator) {
  CStringArray pieces;
  pieces.Add("left from before");
  SplitList(text, separator, pieces);
  std::vector<std::string> out;
  for (int i = 0; i < pieces.GetSize(); ++i) out.emplace_back(static_cast<LPCTSTR>(pieces[i]));
  return out;
}

struct SplitCase {
  const char* text;
  const char* separator;
  std::vector<std::string> pieces;
};

TEST(SplitList, PiecesBetweenSeparatorsTrimmed) {
  const SplitCase cases[] = {
      {"a, b ,c", ",", {"a", "b", "c"}},
      {"a,,b", ",", {"a", "", "b"}},
      {"a,", ",", {"a", ""}},
      {",a", ",", {"", "a"}},
      {",", ",", {"", ""}},
      {"", ",", {""}},
      {"   ", ",", {""}},
      {" x  y ,\tz\v", ",", {"x  y", "z"}},
      {"\"x,y\"", ",", {"\"x", "y\""}},
      {"one", ",", {"one"}},
      {"a;b,c", ";", {"a", "b,c"}},
      {"a::b:c", "::", {"a", "b:c"}},
      {"a::", "::", {"a", ""}},
      {" whole , text ", "", {"whole , text"}},
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(Pieces(c.text, c.separator), c.pieces) << '"' << c.text << '"';
  }
}

TEST(EscapeCode, PercentAndSignedDecimalOfAtLeastTwoDigits) {
  const struct {
    char ch;
    const char* code;
  } cases[] = {{',', "%44"}, {'\r', "%13"}, {'\n', "%10"},   {'\x01', "%01"},
               {'%', "%37"}, {'z', "%122"}, {'\xff', "%-1"}, {'\x80', "%-128"}};
  for (const auto& c : cases) EXPECT_STREQ(EscapeCode(c.ch), c.code) << int(c.ch);
}

struct ParseCase {
  const char* line;
  int result;
  const char* key;  // the key name when result is 1
};

TEST(ParseKey, FirstWordBeforeTheFirstSeparator) {
  const ParseCase cases[] = {
      {"Version=1.0", 1, "Version"},
      {"  Version  = \"V2.0\"", 1, "Version"},
      {"\tDate\t=x", 1, "Date"},
      {"my key=1", 1, "my"},
      {"; Version=1", 1, ";"},
      {"a=b=c", 1, "a"},
      {"k=", 1, "k"},
      {"[Install]x=1", 1, "[Install]x"},
      {"no separator here", 0, nullptr},
      {"", 0, nullptr},
      {"=value", 0, nullptr},
      {" \t =value", 0, nullptr},
  };
  CRecordSection section;
  for (const ParseCase& c : cases) {
    char key[kRecordTextSize];
    strcpy(key, "untouched");
    EXPECT_EQ(section.ParseKey(c.line, key), c.result) << '"' << c.line << '"';
    EXPECT_STREQ(key, c.result ? c.key : "untouched") << '"' << c.line << '"';
  }
}

TEST(ParseKey, NamesUpTo4095Characters) {
  CRecordSection section;
  char key[kRecordTextSize];
  const std::string longest(kRecordTextSize - 1, 'k');
  ASSERT_EQ(section.ParseKey((longest + "=1").c_str(), key), 1);
  EXPECT_EQ(std::string(key), longest);
  strcpy(key, "untouched");
  EXPECT_EQ(section.ParseKey((longest + "k=1").c_str(), key), 0);
  EXPECT_STREQ(key, "untouched");
  // Only the first word counts, however long the text before the separator.
  EXPECT_EQ(section.ParseKey(("short " + std::string(100000, 'x') + "=1").c_str(), key), 1);
  EXPECT_STREQ(key, "short");
}

std::string Section(const std::vector<std::pair<int, std::string>>& lines) {
  CRecordDocument document;
  CRecordSection* section = document.GetSection(document.AddSection("S"));
  for (const auto& line : lines)
    EXPECT_EQ(section->SetFromLine(line.first, line.second.c_str()), 1);
  return Dump(document);
}

TEST(SetFromLine, ValueTextDecodedAfterSplitting) {
  const struct {
    const char* line;
    const char* dump;
  } cases[] = {
      {"A=1.0", "A=[1.0]"},
      {"A=a, b ,c", "A=[a][b][c]"},
      {"A=a,,b", "A=[a][][b]"},
      {"A=a,", "A=[a][]"},
      {"A=", "A=[]"},
      {"A=   ", "A=[]"},
      {"A=x%44y", "A=[x,y]"},
      {"A=one%13%10two", "A=[one\\r\\ntwo]"},
      {"A=%44,%44", "A=[,][,]"},
      {"A=%4", "A=[%4]"},
      {"A=%%44", "A=[%,]"},
      {"A=%1310", "A=[\\r10]"},
      {"A=%4413", "A=[,13]"},
      {"A=%37", "A=[%37]"},
      {"A=b=c", "A=[b=c]"},
      {"A = \"V2.0\"", "A=[\"V2.0\"]"},
      {"A=\"x, y\"", "A=[\"x][y\"]"},
      {"A=\t\v\f x \f\v\t\r\n", "A=[x]"},
      {"A= x  y ,z", "A=[x  y][z]"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Section({{0, c.line}}), std::string("[S]\n") + c.dump + "\n") << c.line;
  }
}

TEST(SetFromLine, ExistingIndexReplacesNameAndWholeList) {
  EXPECT_EQ(Section({{0, "Version=1,2,3"}, {1, "Date=d"}, {0, "VERSION=4"}}),
            "[S]\nVERSION=[4]\nDate=[d]\n");
}

TEST(SetFromLine, IndexBeyondTheKeysAppendsEmptyKeys) {
  EXPECT_EQ(Section({{0, "A=1"}, {3, "D=4"}}), "[S]\nA=[1]\n=\n=\nD=[4]\n");
}

TEST(SetFromLine, RefusedLinesChangeNothing) {
  CRecordSection section;
  ASSERT_EQ(section.SetFromLine(0, "A=1"), 1);
  EXPECT_EQ(section.SetFromLine(0, "no separator"), 0);
  EXPECT_EQ(section.SetFromLine(1, " =x"), 0);
  EXPECT_EQ(section.SetFromLine(-1, "B=2"), 0);
  EXPECT_EQ(section.SetFromLine(0, ("A=" + std::string(kRecordTextSize, 'v')).c_str()), 0);
  ASSERT_EQ(section.GetKeyCount(), 1);
  char element[8] = {};
  EXPECT_EQ(section.GetValue(0)->GetElement(0, element), 1);
  EXPECT_STREQ(element, "1");
  // A value text of 4095 characters is the longest kept.
  EXPECT_EQ(section.SetFromLine(0, ("A=" + std::string(kRecordTextSize - 1, 'v')).c_str()), 1);
  EXPECT_EQ(section.GetValue(0)->GetElement(0, element), 0);  // too long for 8 bytes
  std::vector<char> large(kRecordTextSize);
  EXPECT_EQ(section.GetValue(0)->GetElement(0, large.data(), large.size()), 1);
  EXPECT_EQ(strlen(large.data()), static_cast<size_t>(kRecordTextSize - 1));
}

TEST(Lookups, SectionsIgnoreAsciiCaseKeysIgnoreCase) {
  CRecordDocument document;
  EXPECT_EQ(document.FindSection("Install"), -1);
  EXPECT_EQ(document.AddSection("Information"), 0);
  EXPECT_EQ(document.AddSection("Install"), 1);
  EXPECT_EQ(document.FindSection("INSTALL"), 1);
  EXPECT_EQ(document.FindSection("install"), 1);
  EXPECT_EQ(document.FindSection("Instal"), -1);
  EXPECT_EQ(document.FindSection(" Install "), -1);
  CRecordSection* section = document.GetSection(1);
  EXPECT_EQ(section->FindKey("date"), -1);  // no keys at all
  section->SetFromLine(0, "Version=\"V2.0\"");
  section->SetFromLine(1, "Date=\"2019-12-20\"");
  EXPECT_EQ(section->FindKey("date"), 1);
  EXPECT_EQ(section->FindKey("VERSION"), 0);
  EXPECT_EQ(section->FindKey("Dates"), -1);
  EXPECT_EQ(document.GetSection(2), nullptr);
  EXPECT_EQ(section->GetValue(2), nullptr);
}

#ifdef _WIN32
// Under a double-byte code page a trail byte may look like an ASCII letter; _mbsicmp compares
// the whole character, so two different characters whose trail bytes differ only in ASCII case
// stay different, where an ASCII comparison would call them equal.
TEST(Lookups, KeysCompareWholeMultibyteCharacters) {
  if (_setmbcp(932) != 0) GTEST_SKIP() << "code page 932 is not available";
  CRecordSection section;
  section.SetFromLine(0, "\x83\x41=katakana a");
  EXPECT_EQ(section.FindKey("\x83\x41"), 0);
  EXPECT_EQ(section.FindKey("\x83\x61"), -1);
  EXPECT_EQ(_stricmp("\x83\x41", "\x83\x61"), 0);  // what an ASCII comparison would say
  _setmbcp(_MB_CP_ANSI);
}
#endif

TEST(GetElement, CopiesWholeOrNotAtAll) {
  CRecordValue value;
  EXPECT_EQ(value.SetElement(2, "abc"), 1);
  ASSERT_EQ(value.GetElementCount(), 3);
  char buffer[8];
  memset(buffer, '#', sizeof(buffer));
  EXPECT_EQ(value.GetElement(0, buffer), 1);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(buffer[1], '#');  // one byte written: the terminator

  // index equal to the count, negative index, too small a buffer: the buffer stays as it was
  const struct {
    int index;
    size_t size;
  } refused[] = {{3, 8}, {-1, 8}, {2, 3}, {2, 0}};
  for (const auto& r : refused) {
    memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(value.GetElement(r.index, buffer, r.size), 0) << r.index << " " << r.size;
    for (char c : buffer) EXPECT_EQ(c, '#');
  }
  EXPECT_EQ(value.GetElement(2, buffer, 4), 1);  // exactly fits with its terminator
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(value.GetElement(2, nullptr, 100), 0);
  EXPECT_EQ(value.SetElement(-1, "x"), 0);
}

TEST(GetSectionName, CopiesWholeOrNotAtAll) {
  CRecordDocument document;
  document.AddSection("Install");
  char name[kRecordTextSize];
  strcpy(name, "untouched");
  EXPECT_EQ(document.GetSectionName(1, name), 0);
  EXPECT_STREQ(name, "untouched");
  EXPECT_EQ(document.GetSectionName(0, name), 1);
  EXPECT_STREQ(name, "Install");
  char small[7] = "xxxxxx";
  EXPECT_EQ(document.GetSectionName(0, small), 0);
  EXPECT_STREQ(small, "xxxxxx");
}

}  // namespace

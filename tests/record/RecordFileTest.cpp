#include <string>

#include <gtest/gtest.h>

#include "record/RecordDocument.h"
#include "tests/classlib/CStringPrinter.h"
#include "tests/classlib/TempFolder.h"
#include "tests/record/RecordDump.h"

namespace {

std::string LoadDump(const std::string& bytes) {
  TempFolder folder;
  const std::string path = folder.Write("Qorvantel.Version", bytes);
  CRecordDocument document;
  document.Load(path.c_str());
  return Dump(document);
}

std::string Element(const CRecordDocument& document, const char* section, const char* key,
                    int index) {
  const CRecordSection* found = document.GetSection(document.FindSection(section));
  if (found == nullptr) return "<no section>";
  const CRecordValue* value = found->GetValue(found->FindKey(key));
  if (value == nullptr) return "<no key>";
  char element[256];
  if (!value->GetElement(index, element)) return "<no element>";
  return element;
}

TEST(RecordFileExample, LoadsAsTwoSectionsElementByElement) {
  TempFolder folder;
  const std::string path = folder.Write("Qorvantel.Version",
                                        "[Information]\r\n"
                                        "Version=1.0\r\n"
                                        "Execution=\"QX48_EWARM_pack\"\r\n"
                                        "Company=\"QuorVantel\"\r\n"
                                        "\r\n"
                                        "[Install]\r\n"
                                        "Version=\"V2.0\"\r\n"
                                        "Date=\"2019-12-20\"\r\n");
  CRecordDocument document;
  document.Load(path.c_str());
  ASSERT_EQ(document.GetSectionCount(), 2);
  char name[kRecordTextSize];
  ASSERT_TRUE(document.GetSectionName(0, name));
  EXPECT_STREQ(name, "Information");
  ASSERT_TRUE(document.GetSectionName(1, name));
  EXPECT_STREQ(name, "Install");

  const CRecordSection* information = document.GetSection(0);
  ASSERT_EQ(information->GetKeyCount(), 3);
  EXPECT_EQ(information->GetKeyName(0), "Version");
  EXPECT_EQ(information->GetKeyName(1), "Execution");
  EXPECT_EQ(information->GetKeyName(2), "Company");
  for (int k = 0; k < 3; ++k) EXPECT_EQ(information->GetValue(k)->GetElementCount(), 1);
  EXPECT_EQ(Element(document, "Information", "Version", 0), "1.0");
  EXPECT_EQ(Element(document, "Information", "Execution", 0), "\"QX48_EWARM_pack\"");
  EXPECT_EQ(Element(document, "Information", "Company", 0), "\"QuorVantel\"");

  const CRecordSection* install = document.GetSection(1);
  ASSERT_EQ(install->GetKeyCount(), 2);
  EXPECT_EQ(install->GetKeyName(0), "Version");
  EXPECT_EQ(install->GetKeyName(1), "Date");
  EXPECT_EQ(install->GetValue(0)->GetElementCount(), 1);
  EXPECT_EQ(install->GetValue(1)->GetElementCount(), 1);
  EXPECT_EQ(Element(document, "Install", "Version", 0), "\"V2.0\"");
  EXPECT_EQ(Element(document, "Install", "Date", 0), "\"2019-12-20\"");
  EXPECT_EQ(Element(document, "Install", "Date", 1), "<no element>");
}

struct FileCase {
  const char* name;
  std::string bytes;
  std::string dump;
};

TEST(RecordFileLines, HeadersKeysAndLineEnds) {
  const FileCase cases[] = {
      {"empty file", "", ""},
      {"CR LF", "[S]\r\nA=1\r\nB=2\r\n", "[S]\nA=[1]\nB=[2]\n"},
      {"LF alone", "[S]\nA=1\nB=2\n", "[S]\nA=[1]\nB=[2]\n"},
      {"last line without line end", "[S]\r\nA=1\r\nB=2", "[S]\nA=[1]\nB=[2]\n"},
      {"mixed line ends", "[S]\nA=1\r\nB=2\n", "[S]\nA=[1]\nB=[2]\n"},
      {"blank lines", "\r\n[S]\r\n\r\n\r\nA=1\r\n\r\n", "[S]\nA=[1]\n"},
      {"header without keys", "[Empty]\r\n[S]\r\nA=1", "[Empty]\n[S]\nA=[1]\n"},
      {"header at the end", "[S]\nA=1\n[Last]", "[S]\nA=[1]\n[Last]\n"},
      {"indented headers are no headers", "[S]\nA=1\n [T]\nB=2\n\t[U]\nC=3\n",
       "[S]\nA=[1]\nB=[2]\nC=[3]\n"},
      {"open mark alone and empty name", "[S]\nA=1\n[\n[]\nB=2\n", "[S]\nA=[1]\nB=[2]\n"},
      {"empty name then a key is a key line", "[S]\n[]x=1\n", "[S]\n[]x=[1]\n"},
      {"text after the close mark ignored", "[Install]Version=2\nDate=3\n",
       "[Install]\nDate=[3]\n"},
      {"header without close mark", "[Install\nA=1\n", "[Install]\nA=[1]\n"},
      {"spaces inside the marks belong to the name", "[ Install ]\nA=1\n[Install]\nB=2\n",
       "[ Install ]\nA=[1]\n[Install]\nB=[2]\n"},
      {"name ends at the first close mark", "[a]b]\nA=1\n", "[a]\nA=[1]\n"},
      {"repeated header adds to the first, keeps its name",
       "[Install]\nA=1\n[Other]\nB=2\n[INSTALL]\nC=3\n",
       "[Install]\nA=[1]\nC=[3]\n[Other]\nB=[2]\n"},
      {"repeated key: later line wins at the first position, with its name",
       "[S]\nVersion=1\nOther=x\nVERSION=2\n", "[S]\nVERSION=[2]\nOther=[x]\n"},
      {"repeated key across headers", "[S]\nA=1,2\n[T]\nZ=0\n[s]\na=3\n",
       "[S]\na=[3]\n[T]\nZ=[0]\n"},
      {"same key in two sections", "[S]\nA=1\n[T]\nA=2\n", "[S]\nA=[1]\n[T]\nA=[2]\n"},
      {"spaces around the separator", "[S]\nVersion = \"V2.0\"\n", "[S]\nVersion=[\"V2.0\"]\n"},
      {"quotes do not group", "[S]\nA=\"x,y\"\n", "[S]\nA=[\"x][y\"]\n"},
      {"no comments", "[S]\n; Version=1\n# B=2\n", "[S]\n;=[1]\n#=[2]\n"},
      {"first word only", "[S]\nmy key=1\n", "[S]\nmy=[1]\n"},
      {"lines without separator ignored", "[S]\njust text\nA=1\n", "[S]\nA=[1]\n"},
      {"white space only key name ignored", "[S]\n =1\n=2\n\t=3\nA=4\n", "[S]\nA=[4]\n"},
      {"escapes", "[S]\nA=x%44y\nB=one%13%10two\n", "[S]\nA=[x,y]\nB=[one\\r\\ntwo]\n"},
      {"lone CR stays in the line", "[S]\r\nA=1\rB=2\r\n", "[S]\nA=[1\\rB=2]\n"},
      {"lone CR after a header", "[S]\rA=1\nB=2\n", "[S]\nB=[2]\n"},
      {"byte order mark: no header, keys before any header",
       "\xEF\xBB\xBF[Install]\r\nVersion=\"V2.0\"\r\n", "[]\nVersion=[\"V2.0\"]\n"},
      {"other character before the open mark", "x[Install]\nA=1\n", "[]\nA=[1]\n"},
      {"keys before the first header", "A=1\n[S]\nB=2\n", "[]\nA=[1]\n[S]\nB=[2]\n"},
      {"other lines before the first header make no section", "\n\ntext\n[S]\nB=2\n",
       "[S]\nB=[2]\n"},
      {"ANSI bytes in names", "[\xC4\xD6]\n\xE4=\xFF\n", "[\xC4\xD6]\n\xE4=[\xFF]\n"},
  };
  for (const FileCase& c : cases) EXPECT_EQ(LoadDump(c.bytes), c.dump) << c.name;
}

TEST(RecordFileLines, LineFeedsOnlyLoadLikeCrLf) {
  const std::string crlf = "[Information]\r\nVersion=1.0\r\n\r\n[Install]\r\nVersion=\"V2.0\"\r\n";
  std::string lf = crlf;
  for (size_t at = lf.find('\r'); at != std::string::npos; at = lf.find('\r')) lf.erase(at, 1);
  EXPECT_EQ(LoadDump(lf), LoadDump(crlf));
  EXPECT_EQ(LoadDump(lf), "[Information]\nVersion=[1.0]\n[Install]\nVersion=[\"V2.0\"]\n");
}

TEST(RecordFileLoad, SecondLoadAddsToTheDocument) {
  TempFolder folder;
  const std::string first = folder.Write("a.Version", "[S]\nA=1\nB=2\n");
  const std::string second = folder.Write("b.Version", "[T]\nC=3\n[s]\nb=4\nD=5\n");
  CRecordDocument document;
  document.Load(first.c_str());
  document.Load(second.c_str());
  EXPECT_EQ(Dump(document), "[S]\nA=[1]\nb=[4]\nD=[5]\n[T]\nC=[3]\n");
}

TEST(ReadRecordFile, VisitorSeesTheLoadedDocumentAndGivesTheResult) {
  TempFolder folder;
  const std::string path = folder.Write("Qorvantel.Version", "[Install]\r\nVersion=V2.0\r\n");
  Visit visit;
  visit.result = 7;
  EXPECT_EQ(ReadRecordFile(path.c_str(), DumpVisitor, &visit), 7);
  EXPECT_EQ(visit.calls, 1);
  EXPECT_EQ(visit.dump, "[Install]\nVersion=[V2.0]\n");
}

TEST(ReadRecordFile, MissingPathGivesZeroWithoutVisiting) {
  TempFolder folder;
  Visit visit;
  EXPECT_EQ(ReadRecordFile(folder.PathOf("none.Version").c_str(), DumpVisitor, &visit), 0);
  EXPECT_EQ(ReadRecordFile("", DumpVisitor, &visit), 0);
  EXPECT_EQ(ReadRecordFile(nullptr, DumpVisitor, &visit), 0);
  EXPECT_EQ(visit.calls, 0);
}

}  // namespace

#include <climits>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "classlib/afx.h"
#include "tests/classlib/CStringPrinter.h"

namespace {

CString FormatThroughV(const char* format, ...) QX48_PRINTF_FORMAT(1, 2);
CString FormatThroughV(const char* format, ...) {
  va_list args;
  va_start(args, format);
  CString text;
  text.FormatV(format, args);
  va_end(args);
  return text;
}

TEST(CStringFormat, PrintfConversions) {
  EXPECT_STREQ(FormatThroughV("%d|%5.2f|%s|%c|%x|%%", -42, 3.14159, "ab", 'Z', 255),
               "-42| 3.14|ab|Z|ff|%");
  EXPECT_STREQ(FormatThroughV("[%-5s][%5s][%05d]", "ab", "cd", 42), "[ab   ][   cd][00042]");
  EXPECT_STREQ(FormatThroughV("%.3f sec", 1.2345), "1.234 sec");
  EXPECT_STREQ(FormatThroughV("%lld %zu", 1234567890123LL, static_cast<size_t>(7)),
               "1234567890123 7");
  EXPECT_STREQ(FormatThroughV("Copy %s to %s", "C:\\a b\\x.h", "D:\\y"),
               "Copy C:\\a b\\x.h to D:\\y");
}

// Lengths around the growth steps of the buffer catch an off-by-one in the sizing.
TEST(CStringFormat, ResultsOfEveryLengthArriveWhole) {
  for (int length : {0, 1, 14, 15, 16, 22, 23, 255, 256, 1023, 1024, 4095, 4096, 100000}) {
    const std::string expected(static_cast<size_t>(length), 'q');
    const CString text = FormatThroughV("%s", expected.c_str());
    EXPECT_EQ(text.GetLength(), length);
    EXPECT_EQ(std::string(text), expected);
    EXPECT_EQ(text.IsEmpty() != FALSE, length == 0);
  }
  const CString padded = FormatThroughV("%*d", 50000, 7);
  ASSERT_EQ(padded.GetLength(), 50000);
  EXPECT_EQ(padded[49999], '7');
  EXPECT_EQ(padded[0], ' ');
}

TEST(CStringFormat, ArgumentMayBeTheStringItself) {
  CString text("abc");
  text.Format("%s-%s", static_cast<LPCTSTR>(text), static_cast<LPCTSTR>(text));
  EXPECT_STREQ(text, "abc-abc");
  CString longer(std::string(3000, 'x').c_str());
  longer.Format("<%s>", static_cast<LPCTSTR>(longer));
  EXPECT_EQ(longer.GetLength(), 3002);
  EXPECT_EQ(longer.Left(2), "<x");
}

TEST(CStringFormat, ReplacesEarlierText) {
  CString text("a long earlier text");
  text.Format("%d", 5);
  EXPECT_STREQ(text, "5");
}

struct TrimCase {
  const char* input;
  const char* left;
  const char* right;
};

TEST(CStringTrim, RemovesTheSixWhiteSpaceCharactersOnly) {
  const TrimCase cases[] = {
      {"", "", ""},
      {"abc", "abc", "abc"},
      {" \t\r\n\v\f", "", ""},
      {" \t\r\n\v\fa b\f\v\n\r\t ", "a b\f\v\n\r\t ", " \t\r\n\v\fa b"},
      {"  inner  space  ", "inner  space  ", "  inner  space"},
      // Not white space for the trims: a control character, a no-break space and NEL of the
      // ANSI code page.
      {"\x01x\x01", "\x01x\x01", "\x01x\x01"},
      {"\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0"},
      {"\x85x\x85", "\x85x\x85", "\x85x\x85"},
  };
  for (const TrimCase& c : cases) {
    CString left(c.input);
    left.TrimLeft();
    EXPECT_STREQ(left, c.left) << '"' << c.input << '"';
    CString right(c.input);
    right.TrimRight();
    EXPECT_STREQ(right, c.right) << '"' << c.input << '"';
    EXPECT_EQ(left.GetLength(), static_cast<int>(strlen(c.left)));
  }
}

struct ReplaceCase {
  const char* input;
  const char* oldText;
  const char* newText;
  const char* result;
  int count;
};

TEST(CStringReplace, EveryOccurrenceLeftToRight) {
  const ReplaceCase cases[] = {
      {"x%44y", "%44", ",", "x,y", 1},
      {"%44a%44%44", "%44", ",", ",a,,", 3},
      {"aaa", "aa", "b", "ba", 1},
      {"abc", "x", "y", "abc", 0},
      {"", "a", "b", "", 0},
      {"abc", "", "y", "abc", 0},
      {"one%13%10two", "%13", "\r", "one\r%10two", 1},
      {"%1313", "%13", "\r", "\r13", 1},
      {"a.b.c", ".", "", "abc", 2},
      {"ab", "b", "0123456789012345678901234567890123456789",
       "a0123456789012345678901234567890123456789", 1},
      // Replaced text is not scanned again.
      {"aXa", "a", "aa", "aaXaa", 2},
  };
  for (const ReplaceCase& c : cases) {
    CString text(c.input);
    EXPECT_EQ(text.Replace(c.oldText, c.newText), c.count) << c.input;
    EXPECT_STREQ(text, c.result) << c.input;
    EXPECT_EQ(text.GetLength(), static_cast<int>(strlen(c.result)));
  }
}

TEST(CStringParts, FindLeftMidClampToTheText) {
  const CString text("abcabc");
  EXPECT_EQ(text.Find('c'), 2);
  EXPECT_EQ(text.Find('c', 3), 5);
  EXPECT_EQ(text.Find('c', 6), -1);
  EXPECT_EQ(text.ReverseFind('a'), 3);

  EXPECT_EQ(text.Left(2), "ab");
  EXPECT_EQ(text.Left(-1), "");
  EXPECT_EQ(text.Left(99), "abcabc");
  EXPECT_EQ(text.Mid(4), "bc");
  EXPECT_EQ(text.Mid(2, 3), "cab");
  EXPECT_EQ(text.Mid(5, 99), "c");
  EXPECT_EQ(text.Mid(6), "");
  EXPECT_EQ(text.Mid(99, 2), "");
  EXPECT_EQ(text.Mid(-2, 2), "ab");
}

TEST(CStringBuild, AppendingAndConcatenation) {
  CString text("ab");
  text += text;
  EXPECT_STREQ(text, "abab");
  text += "c";
  text += static_cast<LPCTSTR>(text) + 3;  // a pointer into the string's own text
  EXPECT_STREQ(text, "ababcbc");
  EXPECT_EQ(CString("x") + "y" + "z", "xyz");
  CString grown;
  for (int i = 0; i < 10000; ++i) {
    const char letter = static_cast<char>('a' + i % 26);
    grown.Append(&letter, 1);
  }
  EXPECT_EQ(grown.GetLength(), 10000);
  EXPECT_EQ(grown[9999], 'a' + 9999 % 26);
  grown.Empty();
  EXPECT_TRUE(grown.IsEmpty());
  EXPECT_STREQ(grown, "");
  EXPECT_STREQ(CString(nullptr), "");
  EXPECT_STREQ(CString("abcdef", 3), "abc");
}

TEST(CStringBuffer, DirectWritingThenRelease) {
  CString text("old");
  char* buffer = text.GetBuffer(10);
  strcpy(buffer, "hello");
  text.ReleaseBuffer();
  EXPECT_EQ(text.GetLength(), 5);
  EXPECT_STREQ(text, "hello");
  text.GetBuffer(0);
  text.ReleaseBuffer(3);
  EXPECT_STREQ(text, "hel");
  memset(text.GetBufferSetLength(4), 'z', 4);
  EXPECT_STREQ(text, "zzzz");
}

TEST(CStringLimits, IndexOutsideRaisesAndHugeBufferRaisesMemory) {
  CString text("ab");
  try {
    (void)text[2];
    ADD_FAILURE() << "no exception";
  } catch (CInvalidArgException* e) {
    e->Delete();
  }
  try {
    text.GetBuffer(INT_MAX);
    ADD_FAILURE() << "no exception";
  } catch (CMemoryException* e) {
    e->Delete();  // the shared object: deleting it must not free it
    e->Delete();
  }
  EXPECT_STREQ(text, "ab");
}

}  // namespace

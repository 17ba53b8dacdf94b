// Column widths from the program's profile: records written into listview_tests.INI in the
// prefix's Windows folder, read back by the list as the main dialog sets it up.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ListTestDialog.h"
#include "WindowTestSupport.h"

namespace {

// The profile's text for a binary value: per byte 'A' + low nibble, then 'A' + high nibble.
std::string Encode(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (uint8_t b : bytes) {
    text += char('A' + (b & 0x0F));
    text += char('A' + (b >> 4));
  }
  return text;
}

std::vector<uint8_t> Record(const std::vector<int32_t>& values) {
  std::vector<uint8_t> bytes;
  for (int32_t v : values) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(uint8_t(uint32_t(v) >> shift));
  }
  return bytes;
}

class ColumnWidths : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = WindowsFolderFile(AfxGetApp()->m_pszProfileName);
    Forget();
  }
  void TearDown() override { Forget(); }

  // Drops the file and whatever the profile functions still hold of it.
  void Forget() {
    DeleteFileA(path_.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, AfxGetApp()->m_pszProfileName);
  }
  void WriteProfile(const std::string& lines) {
    Forget();
    ASSERT_TRUE(WriteTextFile(path_, lines)) << path_;
  }

  // The list set up as the main dialog does it, column widths restored; returns the widths.
  std::vector<int> WidthsAfterRestore(int* nameWidth) {
    CListTestDlg dialog;
    EXPECT_TRUE(dialog.CreateHidden());
    *nameWidth = dialog.SetUpLikeTheMainDialog();
    const std::vector<int> widths = HeaderWidths(dialog.m_list);
    EXPECT_EQ(::ColumnWidths(dialog.m_list, 3), widths);
    ::DestroyWindow(dialog.m_hWnd);
    return widths;
  }

  std::string path_;
};

TEST_F(ColumnWidths, WithoutARecordTheDescriptionsWidthsStay) {
  int name = 0;
  std::vector<int> widths = WidthsAfterRestore(&name);
  EXPECT_EQ(widths, (std::vector<int>{40, name, 90}));
  WriteProfile("[ListCtrls]\r\n1020=" + Encode(Record({3, 10, 20, 30})) +
               "\r\n[Other]\r\n1019=" + Encode(Record({3, 10, 20, 30})) + "\r\n");
  widths = WidthsAfterRestore(&name);
  EXPECT_EQ(widths, (std::vector<int>{40, name, 90}));
}

TEST_F(ColumnWidths, AWholeRecordForThreeColumnsIsApplied) {
  WriteProfile("[ListCtrls]\r\n1019=" + Encode(Record({3, 30, 200, 70})) + "\r\n");
  int name = 0;
  EXPECT_EQ(WidthsAfterRestore(&name), (std::vector<int>{30, 200, 70}));
}

TEST_F(ColumnWidths, ARecordHoldsWidthsAt96DpiScaledToTheListsScale) {
  WriteProfile("[ListCtrls]\r\n1019=" + Encode(Record({3, 30, 200, 70})) + "\r\n");
  const struct {
    UINT dpi;
    std::vector<int> widths;
  } cases[] = {
      {96, {30, 200, 70}}, {120, {38, 250, 88}}, {144, {45, 300, 105}}, {192, {60, 400, 140}}};
  for (const auto& c : cases) {
    CListTestDlg dialog;
    ASSERT_TRUE(dialog.CreateHidden());
    dialog.m_list.LayOutForDpi(c.dpi);  // the list on a monitor of that scale
    dialog.SetUpLikeTheMainDialog();
    EXPECT_EQ(HeaderWidths(dialog.m_list), c.widths) << c.dpi << " DPI";
    ::DestroyWindow(dialog.m_hWnd);
  }
}

TEST_F(ColumnWidths, AnyOtherRecordIsIgnoredAsAWhole) {
  struct Case {
    const char* what;
    std::string value;
  };
  std::vector<uint8_t> fifteen = Record({3, 60, 200});
  fifteen.insert(fifteen.end(), {70, 0, 0});
  const Case cases[] = {
      {"made for two columns", Encode(Record({2, 60, 200}))},
      {"count 3 but only two widths", Encode(Record({3, 60, 200}))},
      {"count 3, a width cut short", Encode(fifteen)},
      {"count 3 and a width too many", Encode(Record({3, 60, 200, 70, 5}))},
      {"no bytes", ""},
      {"count 0", Encode(Record({0}))},
      {"count -1", Encode(Record({-1}))},
      {"a huge count", Encode(Record({0x7FFFFFFF, 60}))},
      {"three bytes", Encode({3, 0, 0})},
      {"not the profile's encoding", "hello"},
  };
  for (const Case& c : cases) {
    WriteProfile("[ListCtrls]\r\n1019=" + c.value + "\r\n");
    int name = 0;
    const std::vector<int> widths = WidthsAfterRestore(&name);
    EXPECT_EQ(widths, (std::vector<int>{40, name, 90})) << c.what;
  }
}

TEST_F(ColumnWidths, ARecordFitsTheLayoutItWasMadeFor) {
  WriteProfile("[ListCtrls]\r\n1019=" + Encode(Record({2, 60, 200})) + "\r\n");
  CListTestDlg dialog;
  ASSERT_TRUE(dialog.CreateHidden());
  static const BYTE kinds[] = {1, 0};
  ASSERT_TRUE(dialog.m_list.SetupColumns(",40;Local install,300", kinds));
  dialog.m_list.RestoreColumnWidths();
  EXPECT_EQ(HeaderWidths(dialog.m_list), (std::vector<int>{60, 200}));
  EXPECT_EQ(::ColumnWidths(dialog.m_list, 2), (std::vector<int>{60, 200}));
  ::DestroyWindow(dialog.m_hWnd);
}

}  // namespace

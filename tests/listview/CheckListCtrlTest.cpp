// The check-box list control's own logic in a real (hidden) dialog: column descriptions, text
// shortening with a real font, rows and their records, the cell rectangle, attaching.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ListTestDialog.h"
#include "ListTestProgram.h"
#include "WindowTestSupport.h"

// Rectangles compare by their four edges.
inline bool operator==(const RECT& a, const RECT& b) {
  return ::EqualRect(&a, &b) != FALSE;
}

namespace {

std::unique_ptr<CListTestDlg> HiddenDialog() {
  auto dialog = std::make_unique<CListTestDlg>();
  if (!dialog->CreateHidden()) return nullptr;
  return dialog;
}

struct Column {
  std::string title;
  int width;
  bool operator==(const Column& other) const {
    return title == other.title && width == other.width;
  }
};

void PrintTo(const Column& column, std::ostream* out) {
  *out << "\"" << column.title << "\"," << column.width;
}

std::vector<Column> ListColumns(const CListCtrl& list) {
  std::vector<Column> columns;
  for (int i = 0;; ++i) {
    char title[256] = "";
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.pszText = title;
    column.cchTextMax = sizeof title;
    if (!list.SendMessage(LVM_GETCOLUMNA, static_cast<WPARAM>(i),
                          reinterpret_cast<LPARAM>(&column))) {
      break;
    }
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
    columns.push_back({title, column.cx});
  }
  return columns;
}

// ---- Column descriptions ----

TEST(ColumnDescription, EntriesBecomeColumns) {
  static const BYTE threeKinds[] = {1, 0, 2};
  struct Case {
    const char* description;
    const BYTE* kinds;
    std::vector<Column> columns;
    std::vector<BYTE> kindsAfter;
  };
  const Case cases[] = {
      {"", nullptr, {}, {}},
      {"no comma at all; none", nullptr, {}, {}},
      {",40;Local install,300", nullptr, {{"", 40}, {"Local install", 300}}, {0, 0}},
      {"Name,100", nullptr, {{"Name", 100}}, {0}},
      {"Name,100;", nullptr, {{"Name", 100}}, {0}},
      {"A;B,50", nullptr, {{"A;B", 50}}, {0}},
      {"Name,wide", nullptr, {{"Name", 0}}, {0}},
      {"Name, 25;Other,+7px", nullptr, {{"Name", 25}, {"Other", 7}}, {0, 0}},
      {"a,1;b,2;c", nullptr, {{"a", 1}, {"b", 2}}, {0, 0}},
      {"a,1;;b,2", nullptr, {{"a", 1}, {";b", 2}}, {0, 0}},
      {"a,b,30", nullptr, {{"a", 0}}, {0}},
      {",40;Local install,300;Installed patch,90",
       threeKinds,
       {{"", 40}, {"Local install", 300}, {"Installed patch", 90}},
       {1, 0, 2}},
  };
  for (const Case& c : cases) {
    auto dialog = HiddenDialog();
    ASSERT_NE(dialog, nullptr);
    CCheckListCtrl& list = dialog->m_list;
    EXPECT_TRUE(list.SetupColumns(c.description, c.kinds)) << c.description;
    EXPECT_EQ(ListColumns(list), c.columns) << c.description;
    EXPECT_EQ(list.GetColumnCount(), static_cast<int>(c.columns.size())) << c.description;
    std::vector<BYTE> kinds;
    for (int i = 0; i < list.GetColumnCount(); ++i) kinds.push_back(list.GetColumnKind(i));
    EXPECT_EQ(kinds, c.kindsAfter) << c.description;
    ::DestroyWindow(dialog->m_hWnd);
  }
}

TEST(ColumnDescription, EveryHeaderItemBecomesOwnerDrawn) {
  auto dialog = HiddenDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(dialog->m_list.SetupColumns(",40;Local install,300;Installed patch,90", nullptr));
  HWND header = reinterpret_cast<HWND>(dialog->m_list.SendMessage(LVM_GETHEADER));
  ASSERT_EQ(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 3);
  for (int i = 0; i < 3; ++i) {
    HDITEMA item = {};
    item.mask = HDI_FORMAT;
    ASSERT_TRUE(::SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item)));
    EXPECT_NE(item.fmt & HDF_OWNERDRAW, 0) << "item " << i;
  }
  ::DestroyWindow(dialog->m_hWnd);
}

std::string ManyColumns(int count) {
  std::string description;
  for (int i = 0; i < count; ++i) description += "c" + std::to_string(i) + ",10;";
  return description;
}

TEST(ColumnDescription, AtMost128Columns) {
  auto dialog = HiddenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(dialog->m_list.SetupColumns(ManyColumns(129).c_str(), nullptr));
  EXPECT_EQ(dialog->m_list.GetColumnCount(), 0);
  EXPECT_TRUE(ListColumns(dialog->m_list).empty());
  ::DestroyWindow(dialog->m_hWnd);

  dialog = HiddenDialog();
  ASSERT_NE(dialog, nullptr);
  std::vector<BYTE> kinds(128, 1);
  EXPECT_TRUE(dialog->m_list.SetupColumns(ManyColumns(128).c_str(), kinds.data()));
  EXPECT_EQ(dialog->m_list.GetColumnCount(), 128);
  EXPECT_EQ(ListColumns(dialog->m_list).size(), 128u);
  EXPECT_EQ(dialog->m_list.GetColumnKind(127), 1);
  EXPECT_EQ(dialog->m_list.GetColumnKind(128), 0);  // beyond the columns: a text column
  // A further column would be the 129th.
  EXPECT_FALSE(dialog->m_list.SetupColumns("one more,10", nullptr));
  EXPECT_EQ(dialog->m_list.GetColumnCount(), 128);
  ::DestroyWindow(dialog->m_hWnd);
}

// ---- Text shortening, measured with the list's own font ----

class FitText : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_ = HiddenDialog();
    ASSERT_NE(dialog_, nullptr);
    dc_ = std::make_unique<CTestClientDC>(dialog_->m_list.m_hWnd);
    HFONT font = reinterpret_cast<HFONT>(dialog_->m_list.SendMessage(WM_GETFONT));
    ASSERT_NE(font, nullptr);
    previousFont_ = dc_->SelectObject(font);
  }
  void TearDown() override {
    dc_->SelectObject(previousFont_);
    dc_.reset();
    ::DestroyWindow(dialog_->m_hWnd);
  }
  int Extent(const std::string& text) const {
    return dc_->GetTextExtent(text.c_str(), static_cast<int>(text.size())).cx;
  }
  std::string Fit(const std::string& text, int width) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    CCheckListCtrl::FitTextToWidth(dc_.get(), buffer.data(), width);
    return buffer.data();
  }

  std::unique_ptr<CListTestDlg> dialog_;
  std::unique_ptr<CTestClientDC> dc_;
  HGDIOBJ previousFont_ = nullptr;
};

TEST_F(FitText, CutsToTheLongestPrefixThatFitsWithOneFullStop) {
  struct Case {
    const char* text;
    const char* measured;  // the width is this text's width plus 5 plus slack
    int slack;
    const char* expected;
  };
  const Case cases[] = {
      {"Workbench", "Workbench", 1, "Workbench"},  // fits: width + 5 below the cell's
      {"Workbench", "Workbench", 0, "Workben."},   // width + 5 equal to the cell's: too wide
      {"Workbench", "Workben.", 1, "Workben."},
      {"Workbench", "Workben.", 0, "Workbe."},
      {"Workbench", "Wo.", 1, "Wo."},
      {"Workbench", "W.", 0, "W."},  // two characters left: the last is replaced, no further
      {"a&b", "a&b", 1, "a&b"},      // measured as it stands, not as a prefix mark
      {"IAR Embedded Workbench IDE - ARM 9.30.1", "IAR Embedded.", 1, "IAR Embedded."},
  };
  for (const Case& c : cases) {
    const int width = Extent(c.measured) + 5 + c.slack;
    EXPECT_EQ(Fit(c.text, width), c.expected) << c.text << " in " << width;
  }
}

TEST_F(FitText, ShortTextsInACellWithNoRoom) {
  struct Case {
    const char* text;
    int width;
    const char* expected;
  };
  const Case cases[] = {
      {"ab", 1, "a."},   {"a", 1, "."},   {"", 1, ""}, {"abc", 1, "a."},
      {"ab", -20, "a."}, {"..", 0, ".."}, {"", 5, ""}, {"", 6, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Fit(c.text, c.width), c.expected) << "\"" << c.text << "\" in " << c.width;
  }
}

TEST_F(FitText, ALongTextEndsJustShortOfTheEdge) {
  const std::string text(1023, 'x');
  const DWORD start = GetTickCount();
  const std::string fitted = Fit(text, 100);
  printf("1023 characters fitted into 100 pixels in %lu ms\n", GetTickCount() - start);
  ASSERT_GE(fitted.size(), 2u);
  EXPECT_EQ(fitted.back(), '.');
  EXPECT_EQ(fitted.substr(0, fitted.size() - 1), std::string(fitted.size() - 1, 'x'));
  EXPECT_LT(Extent(fitted) + 5, 100);
  // One character more would not have fitted.
  EXPECT_GE(Extent(std::string(fitted.size(), 'x') + ".") + 5, 100);
}

// ---- Rows and their records ----

class Rows : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_ = HiddenDialog();
    ASSERT_NE(dialog_, nullptr);
    dialog_->SetUpLikeTheMainDialog();
  }
  void TearDown() override {
    if (dialog_->m_hWnd != nullptr) ::DestroyWindow(dialog_->m_hWnd);
  }
  CCheckListCtrl& List() { return dialog_->m_list; }
  UINT ItemState(int row, UINT mask) {
    return static_cast<UINT>(List().SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(row), mask));
  }
  std::unique_ptr<CListTestDlg> dialog_;
};

TEST_F(Rows, AddRowPlacesTheRowAndKeepsOneTextPerColumn) {
  EXPECT_EQ(List().AddRow(-1, "1", "second", "V1.0"), 0);
  EXPECT_EQ(List().AddRow(0, "0", "first", "None"), 0);
  EXPECT_EQ(List().AddRow(-1, "1", "third", "V2.0", "ignored", "also ignored"), 2);
  EXPECT_EQ(List().AddRow(-1, "0", nullptr, ""), 3);
  EXPECT_EQ(List().GetItemCount(), 4);
  EXPECT_EQ(RowTexts(List(), 0, 4), (std::vector<std::string>{"0", "first", "None", ""}));
  EXPECT_EQ(RowTexts(List(), 1, 3), (std::vector<std::string>{"1", "second", "V1.0"}));
  EXPECT_EQ(RowTexts(List(), 2, 4), (std::vector<std::string>{"1", "third", "V2.0", ""}));
  EXPECT_EQ(RowTexts(List(), 3, 3), (std::vector<std::string>{"0", "", ""}));
  // A row index past the end is the end.
  EXPECT_EQ(List().AddRow(100, "0", "last", ""), 4);
}

TEST_F(Rows, SetCellTextOnlyForCellsThatExist) {
  List().AddRow(-1, "1", "name", "V1.0");
  List().AddRow(-1, "0", "other", "");
  struct Case {
    int row, column;
    BOOL result;
  };
  const Case cases[] = {{0, 0, TRUE},   {0, 2, TRUE},  {1, 1, TRUE},   {0, 3, FALSE},
                        {0, -1, FALSE}, {2, 0, FALSE}, {99, 1, FALSE}, {-1, 0, FALSE}};
  for (const Case& c : cases) {
    const std::vector<std::string> before0 = RowTexts(List(), 0, 3);
    const std::vector<std::string> before1 = RowTexts(List(), 1, 3);
    const std::string text = "cell " + std::to_string(c.row) + "," + std::to_string(c.column);
    EXPECT_EQ(List().SetCellText(c.row, c.column, text.c_str()), c.result)
        << c.row << "," << c.column;
    if (c.result) {
      EXPECT_EQ(std::string(List().GetItemText(c.row, c.column)), text);
    } else {
      EXPECT_EQ(RowTexts(List(), 0, 3), before0) << c.row << "," << c.column;
      EXPECT_EQ(RowTexts(List(), 1, 3), before1) << c.row << "," << c.column;
    }
  }
}

TEST_F(Rows, SelectRowSelectsAndFocusesOneRow) {
  for (int i = 0; i < 3; ++i) List().AddRow(-1, "0", "row", "");
  EXPECT_EQ(List().GetSelectedRow(), -1);
  EXPECT_TRUE(List().SelectRow(1));
  EXPECT_EQ(List().GetSelectedRow(), 1);
  EXPECT_EQ(ItemState(1, LVIS_SELECTED | LVIS_FOCUSED), UINT(LVIS_SELECTED | LVIS_FOCUSED));
  EXPECT_TRUE(List().SelectRow(2));
  EXPECT_EQ(List().GetSelectedRow(), 2);
  EXPECT_EQ(ItemState(1, LVIS_SELECTED), 0u);  // single selection
  EXPECT_FALSE(List().SelectRow(7));
  EXPECT_EQ(List().GetSelectedRow(), 2);
}

TEST_F(Rows, DeleteRowGivesBackEverythingTheRowTook) {
  const long baseline = LiveHeapBlocks();
  List().AddRow(-1, "1", "first installation", "V1.0");
  List().AddRow(-1, "0", "second installation", "None");
  List().AddRow(-1, "1", "third installation", "V2.0");
  EXPECT_GT(LiveHeapBlocks(), baseline);
  EXPECT_TRUE(List().SetCellText(1, 2, "V3.0"));  // replacing a copy frees the old one
  EXPECT_FALSE(List().DeleteRow(3));
  EXPECT_FALSE(List().DeleteRow(-1));
  EXPECT_TRUE(List().DeleteRow(1));
  EXPECT_EQ(RowTexts(List(), 1, 3), (std::vector<std::string>{"1", "third installation", "V2.0"}));
  EXPECT_TRUE(List().DeleteRow(0));
  EXPECT_TRUE(List().DeleteRow(0));
  EXPECT_EQ(List().GetItemCount(), 0);
  EXPECT_EQ(LiveHeapBlocks(), baseline);
}

TEST_F(Rows, DestroyingTheWindowGivesBackEveryRow) {
  const long baseline = LiveHeapBlocks();
  for (int i = 0; i < 20; ++i) List().AddRow(-1, "1", "an installation", "V1.0");
  EXPECT_GT(LiveHeapBlocks(), baseline);
  ::DestroyWindow(dialog_->m_hWnd);
  EXPECT_EQ(dialog_->m_list.m_hWnd, nullptr);
  EXPECT_EQ(LiveHeapBlocks(), baseline);
}

TEST_F(Rows, TheCheckCellEndsWhereTheNextColumnBegins) {
  List().AddRow(-1, "1", "name", "V1.0");
  CRect check, name, version, row;
  ASSERT_TRUE(List().GetCellRect(0, 0, LVIR_BOUNDS, check));
  ASSERT_TRUE(List().GetCellRect(0, 1, LVIR_BOUNDS, name));
  ASSERT_TRUE(List().GetCellRect(0, 2, LVIR_BOUNDS, version));
  ASSERT_TRUE(List().GetItemRect(0, &row, LVIR_BOUNDS));
  EXPECT_EQ(check.left, row.left);
  EXPECT_EQ(check.right, name.left);
  EXPECT_EQ(check.Width(), 40);
  EXPECT_EQ(name.right, version.left);
  EXPECT_EQ(check.top, row.top);
  EXPECT_EQ(check.bottom, row.bottom);
  EXPECT_FALSE(List().GetCellRect(5, 0, LVIR_BOUNDS, check));
  EXPECT_FALSE(List().GetCellRect(5, 1, LVIR_BOUNDS, check));
}

TEST(CellRect, WithOneColumnTheCheckCellIsTheWholeRow) {
  auto dialog = HiddenDialog();
  ASSERT_NE(dialog, nullptr);
  static const BYTE kinds[] = {1};
  ASSERT_TRUE(dialog->m_list.SetupColumns("Only,60", kinds));
  dialog->m_list.AddRow(-1, "1");
  CRect cell, row;
  ASSERT_TRUE(dialog->m_list.GetCellRect(0, 0, LVIR_BOUNDS, cell));
  ASSERT_TRUE(dialog->m_list.GetItemRect(0, &row, LVIR_BOUNDS));
  EXPECT_EQ(cell, row);
  ::DestroyWindow(dialog->m_hWnd);
}

// ---- Attaching ----

TEST(Attach, AddsGridLinesAndFullRowSelectAndBindsTheHeader) {
  auto dialog = HiddenDialog();
  ASSERT_NE(dialog, nullptr);
  const DWORD style = dialog->m_list.GetExtendedStyle();
  EXPECT_EQ(style & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT),
            DWORD(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT));
  HWND header = reinterpret_cast<HWND>(dialog->m_list.SendMessage(LVM_GETHEADER));
  CWnd* bound = CWnd::FromHandlePermanent(header);
  ASSERT_NE(bound, nullptr);
  EXPECT_NE(dynamic_cast<CCheckListHeaderCtrl*>(bound), nullptr);

  // An extended style the list already has stays.
  HWND plain = ::GetDlgItem(dialog->m_hWnd, IDC_TEST_PLAIN_LIST);
  ::SendMessageA(plain, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES);
  {
    CCheckListCtrl second;
    ASSERT_TRUE(second.SubclassWindow(plain));
    EXPECT_EQ(
        second.GetExtendedStyle() & (LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT),
        DWORD(LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT));
    second.UnsubclassWindow();
  }
  EXPECT_TRUE(::IsWindow(plain));
  ::DestroyWindow(dialog->m_hWnd);
}

}  // namespace

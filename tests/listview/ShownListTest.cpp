// The check-box list on the screen: what its cells and header show (pixels read back from the
// window), a drag on the header's dividers, clicks on its column headers, files dropped on it.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ListTestDialog.h"
#include "WindowTestSupport.h"

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kRed = RGB(255, 0, 0);   // test image 0
const COLORREF kBlue = RGB(0, 0, 255);  // test image 1

// Records the WM_NOTIFY codes sent to one window, as the window's procedure receives them.
class NotifyRecorder {
 public:
  explicit NotifyRecorder(HWND target) : target_(target) {
    active_ = this;
    hook_ = SetWindowsHookExA(WH_CALLWNDPROC, &NotifyRecorder::Hook, nullptr, GetCurrentThreadId());
  }
  ~NotifyRecorder() {
    UnhookWindowsHookEx(hook_);
    active_ = nullptr;
  }
  int Count(UINT code) const {
    return static_cast<int>(std::count(codes_.begin(), codes_.end(), code));
  }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && active_ != nullptr && sent->hwnd == active_->target_ &&
        sent->message == WM_NOTIFY) {
      active_->codes_.push_back(reinterpret_cast<const NMHDR*>(sent->lParam)->code);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static NotifyRecorder* active_;
  HWND target_;
  HHOOK hook_;
  std::vector<UINT> codes_;
};

NotifyRecorder* NotifyRecorder::active_ = nullptr;

// A shown dialog shared by the tests of this file: Wine waits 2 s for a shown window to go
// when it is destroyed (no window manager answers), so it is made and destroyed only once.
class ShownList : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dialog_ = new CListTestDlg;
    ASSERT_TRUE(dialog_->CreateHidden());
    dialog_->SetUpLikeTheMainDialog();
    ::ShowWindow(dialog_->m_hWnd, SW_SHOW);
    PumpMessages(100);
  }
  static void TearDownTestSuite() {
    ::DestroyWindow(dialog_->m_hWnd);
    delete dialog_;
    dialog_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(dialog_, nullptr);
    while (List().GetItemCount() > 0) List().DeleteRow(0);
    dialog_->dropped.clear();
    dialog_->columnClicks = 0;
    dialog_->plainColumnClicks = 0;
  }
  static CCheckListCtrl& List() { return dialog_->m_list; }
  static HWND Header() { return reinterpret_cast<HWND>(List().SendMessage(LVM_GETHEADER)); }
  static void Deselect() { List().SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED); }

  // The 13 x 13 square where a check cell's image goes.
  static RECT ImageSquare(int row) {
    CRect cell;
    EXPECT_TRUE(List().GetCellRect(row, 0, LVIR_BOUNDS, cell));
    const int left = cell.left + (cell.Width() - 13) / 2;
    const int top = cell.top + (cell.Height() - 13) / 2;
    return RECT{left, top, left + 13, top + 13};
  }
  // A text cell without its border lines (grid and focus frame).
  static RECT Inside(int row, int column) {
    CRect cell;
    EXPECT_TRUE(List().GetCellRect(row, column, LVIR_BOUNDS, cell));
    return RECT{cell.left + 2, cell.top + 2, cell.right - 2, cell.bottom - 2};
  }

  static CListTestDlg* dialog_;
};

CListTestDlg* ShownList::dialog_ = nullptr;

// ---- Cell numbers: which image a check cell shows ----

TEST_F(ShownList, CheckCellsShowTheImageTheirNumberNames) {
  struct Case {
    const char* text;
    COLORREF shown;  // red: image 0, blue: image 1, white: no image
  };
  const Case cases[] = {
      {"1", kBlue},
      {"0", kRed},
      {"", kRed},
      {"x", kRed},
      {" 1", kBlue},
      {"\t1", kBlue},
      {"+1", kBlue},
      {"01", kBlue},
      {"1x", kBlue},
      {"1.9", kBlue},
      {"-1", kWhite},
      {"2", kWhite},
      {"-0", kRed},
      {"99999999999", kWhite},
      {"-99999999999", kWhite},
      {"x1", kRed},
  };
  const int perScreen = 6;
  for (size_t first = 0; first < std::size(cases); first += perScreen) {
    while (List().GetItemCount() > 0) List().DeleteRow(0);
    const size_t end = std::min(std::size(cases), first + perScreen);
    for (size_t i = first; i < end; ++i) List().AddRow(-1, cases[i].text, "name", "");
    Deselect();
    WindowPixels pixels;
    ASSERT_TRUE(pixels.Capture(List().m_hWnd));
    for (size_t i = first; i < end; ++i) {
      const int row = static_cast<int>(i - first);
      const RECT square = ImageSquare(row);
      const COLORREF centre = pixels.At(square.left + 6, square.top + 6);
      EXPECT_TRUE(CloseColor(centre, cases[i].shown))
          << "\"" << cases[i].text << "\" shows " << ColorText(centre);
      // The whole square, and nothing outside it.
      EXPECT_EQ(pixels.Count(square, cases[i].shown), 13 * 13) << "\"" << cases[i].text << "\"";
      EXPECT_TRUE(CloseColor(pixels.At(square.left - 2, square.top + 6), kWhite))
          << "\"" << cases[i].text << "\"";
    }
  }
}

// ---- Selection colours and the frame around a selected row's image ----

TEST_F(ShownList, SelectedRowColoursFollowTheFocus) {
  List().AddRow(-1, "1", "IAR Embedded Workbench IDE - ARM 9.30.1", "V1.0");
  List().AddRow(-1, "0", "IAR Embedded Workbench IDE - ARM 9.40.1", "None");
  List().SelectRow(0);
  ::SetFocus(List().m_hWnd);
  ASSERT_EQ(GetFocus(), List().m_hWnd);
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  const COLORREF buttonFace = GetSysColor(COLOR_BTNFACE);

  WindowPixels pixels;
  ASSERT_TRUE(pixels.Capture(List().m_hWnd));
  RECT square = ImageSquare(0);
  RECT name = Inside(0, 1);
  EXPECT_TRUE(CloseColor(pixels.At(name.right - 2, name.top + 2), highlight))
      << ColorText(pixels.At(name.right - 2, name.top + 2));
  EXPECT_GT(pixels.Count(name, kWhite), 20);  // the text, white on the highlight
  EXPECT_EQ(pixels.Count(name, kBlack, 40), 0);
  EXPECT_TRUE(CloseColor(pixels.At(square.left - 3, square.top + 6), highlight));
  // The frame: top and left edges white, bottom and right edges black, the image inside.
  EXPECT_TRUE(CloseColor(pixels.At(square.left, square.top), kWhite));
  EXPECT_TRUE(CloseColor(pixels.At(square.left + 6, square.top), kWhite));
  EXPECT_TRUE(CloseColor(pixels.At(square.left, square.top + 6), kWhite));
  EXPECT_TRUE(CloseColor(pixels.At(square.right - 1, square.top + 6), kBlack));
  EXPECT_TRUE(CloseColor(pixels.At(square.left + 6, square.bottom - 1), kBlack));
  EXPECT_TRUE(CloseColor(pixels.At(square.left + 6, square.top + 6), kBlue));

  // The row that is not selected: white, black text, its image without a frame.
  RECT other = ImageSquare(1);
  RECT otherName = Inside(1, 1);
  EXPECT_TRUE(CloseColor(pixels.At(otherName.right - 2, otherName.top + 2), kWhite));
  EXPECT_GT(pixels.Count(otherName, kBlack, 60), 20);
  EXPECT_TRUE(CloseColor(pixels.At(other.left, other.top), kRed));
  EXPECT_TRUE(CloseColor(pixels.At(other.right - 1, other.bottom - 1), kRed));

  pixels.SavePng(ResultsFolder() + "listview_selected_focused.png");

  // The focus moves to a button: button-face background, black text, the frame stays.
  ::SetFocus(::GetDlgItem(dialog_->m_hWnd, IDC_TEST_BUTTON));
  ASSERT_NE(GetFocus(), List().m_hWnd);
  ASSERT_TRUE(pixels.Capture(List().m_hWnd));
  pixels.SavePng(ResultsFolder() + "listview_selected_unfocused.png");
  square = ImageSquare(0);
  name = Inside(0, 1);
  EXPECT_TRUE(CloseColor(pixels.At(name.right - 2, name.top + 2), buttonFace, 4))
      << ColorText(pixels.At(name.right - 2, name.top + 2));
  EXPECT_GT(pixels.Count(name, kBlack, 60), 20);
  EXPECT_EQ(pixels.Count(name, kWhite, 3), 0);  // button face may be close to white
  EXPECT_TRUE(CloseColor(pixels.At(square.left, square.top), kWhite));
  EXPECT_TRUE(CloseColor(pixels.At(square.right - 1, square.bottom - 1), kBlack));
  EXPECT_TRUE(CloseColor(pixels.At(square.left + 6, square.top + 6), kBlue));
}

TEST_F(ShownList, ATextTooLongForItsCellStopsBeforeTheNextColumn) {
  const std::string longName(300, 'W');
  List().AddRow(-1, "1", longName.c_str(), "V1.0");
  Deselect();
  WindowPixels pixels;
  ASSERT_TRUE(pixels.Capture(List().m_hWnd));
  const RECT name = Inside(0, 1);
  const RECT version = Inside(0, 2);
  EXPECT_GT(pixels.Count(name, kBlack, 60), 100);
  // The version cell holds only its own short text, far from its right edge.
  const RECT versionEnd = {version.left + 40, version.top, version.right, version.bottom};
  EXPECT_EQ(pixels.Count(versionEnd, kBlack, 60), 0);
}

// ---- The header draws its items itself ----

TEST_F(ShownList, HeaderItemsAreDrawnOnButtonFaceWithTheirTitles) {
  WindowPixels pixels;
  ASSERT_TRUE(pixels.Capture(Header()));
  const COLORREF buttonFace = GetSysColor(COLOR_BTNFACE);
  RECT items[3];
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(::SendMessageA(Header(), HDM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&items[i])));
  }
  // Owner-drawn items show only what DrawItem draws: the fill and the title.
  for (int i = 0; i < 3; ++i) {
    const RECT& r = items[i];
    EXPECT_TRUE(CloseColor(pixels.At(r.right - 4, r.top + 2), buttonFace, 4)) << "item " << i;
  }
  const RECT untitled = {items[0].left + 2, items[0].top + 2, items[0].right - 2,
                         items[0].bottom - 2};
  EXPECT_EQ(pixels.Count(untitled, buttonFace, 4),
            (untitled.right - untitled.left) * (untitled.bottom - untitled.top));
  EXPECT_GT(pixels.Count(items[1], kBlack, 80), 20);  // "Local install"
  EXPECT_GT(pixels.Count(items[2], kBlack, 80), 20);  // "Installed patch"
  // The title starts a quarter of the item's height in from its left edge.
  const int margin = (items[1].bottom - items[1].top) / 4;
  const RECT beforeTitle = {items[1].left, items[1].top, items[1].left + margin, items[1].bottom};
  EXPECT_EQ(pixels.Count(beforeTitle, kBlack, 80), 0);
}

// ---- Tracking the header's dividers ----

// A drag of a divider as the mouse makes it, delivered to the header window.
void DragDivider(HWND header, int item, int distance) {
  RECT rect;
  ::SendMessageA(header, HDM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&rect));
  const int x = rect.right - 1;
  const int y = (rect.top + rect.bottom) / 2;
  ::SendMessageA(header, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  ::SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  for (int step = 1; step <= 4; ++step) {
    ::SendMessageA(header, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + distance * step / 4, y));
  }
  ::SendMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(x + distance, y));
  PumpMessages(30);
}

TEST_F(ShownList, TheFirstDividerCannotBeDraggedTheOthersCan) {
  List().AddRow(-1, "1", "name", "V1.0");
  const std::vector<int> before = ColumnWidths(List(), 3);
  {
    NotifyRecorder recorder(List().m_hWnd);
    DragDivider(Header(), 0, 60);
    const int beginTracks = recorder.Count(HDN_BEGINTRACKA) + recorder.Count(HDN_BEGINTRACKW);
    printf("begin-track notifications: %d A, %d W\n", recorder.Count(HDN_BEGINTRACKA),
           recorder.Count(HDN_BEGINTRACKW));
    EXPECT_EQ(beginTracks, 1);  // the drag did reach the header's tracking
  }
  EXPECT_EQ(ColumnWidths(List(), 3), before);

  DragDivider(Header(), 1, -50);
  const std::vector<int> after = ColumnWidths(List(), 3);
  EXPECT_EQ(after[0], before[0]);
  EXPECT_EQ(after[1], before[1] - 50);
  EXPECT_EQ(after[2], before[2]);
  EXPECT_EQ(HeaderWidths(List()), after);

  List().SendMessage(LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(before[1], 0));
}

// ---- Clicks on column headers ----

void ClickHeaderItem(HWND header, int item) {
  RECT rect;
  ::SendMessageA(header, HDM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&rect));
  const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  ::SendMessageA(header, WM_MOUSEMOVE, 0, point);
  ::SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, point);
  ::SendMessageA(header, WM_LBUTTONUP, 0, point);
  PumpMessages(30);
}

TEST_F(ShownList, ColumnClicksNeverReachTheParentsMap) {
  HWND plain = ::GetDlgItem(dialog_->m_hWnd, IDC_TEST_PLAIN_LIST);
  LVCOLUMNA column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<char*>("Plain");
  column.cx = 120;
  ::SendMessageA(plain, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  HWND plainHeader = reinterpret_cast<HWND>(::SendMessageA(plain, LVM_GETHEADER, 0, 0));

  NotifyRecorder recorder(dialog_->m_hWnd);
  ClickHeaderItem(Header(), 1);
  ClickHeaderItem(Header(), 0);
  // The list view did tell the dialog window; the list's reflected entry consumed it.
  EXPECT_GE(recorder.Count(LVN_COLUMNCLICK), 2);
  EXPECT_EQ(dialog_->columnClicks, 0);
  // The same click on a list without the control reaches the dialog's map.
  ClickHeaderItem(plainHeader, 0);
  EXPECT_EQ(dialog_->plainColumnClicks, 1);
}

// ---- Files dropped on the list ----

// A drop as the shell hands it over: a DROPFILES header and a double-NUL-terminated list.
HGLOBAL MakeDrop(const std::vector<std::string>& paths, bool wide) {
  std::wstring wideList;
  std::string narrowList;
  for (const std::string& path : paths) {
    narrowList += path;
    narrowList += '\0';
    wideList += std::wstring(path.begin(), path.end());
    wideList += L'\0';
  }
  narrowList += '\0';
  wideList += L'\0';
  if (paths.empty()) {  // the list is still ended by two NULs
    narrowList += '\0';
    wideList += L'\0';
  }
  const size_t listBytes = wide ? wideList.size() * sizeof(wchar_t) : narrowList.size();
  HGLOBAL drop = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + listBytes);
  DROPFILES* files = static_cast<DROPFILES*>(GlobalLock(drop));
  files->pFiles = sizeof(DROPFILES);
  files->fWide = wide;
  memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES),
         wide ? static_cast<const void*>(wideList.data()) : narrowList.data(), listBytes);
  GlobalUnlock(drop);
  return drop;
}

TEST_F(ShownList, EachDroppedFileGoesToTheParentInDropOrder) {
  EXPECT_NE(::GetWindowLongA(List().m_hWnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
  const std::vector<std::string> paths = {"C:\\IAR\\EW 9.30", "C:\\IAR\\EW 8.50\\",
                                          "D:\\tools\\readme.txt"};
  for (bool wide : {false, true}) {
    dialog_->dropped.clear();
    HGLOBAL drop = MakeDrop(paths, wide);
    List().SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(drop));
    EXPECT_EQ(dialog_->dropped, paths) << (wide ? "wide" : "narrow");
    // DragFinish has released the drop.
    EXPECT_EQ(GlobalFlags(drop), UINT(GMEM_INVALID_HANDLE)) << (wide ? "wide" : "narrow");
  }
}

TEST_F(ShownList, ADroppedPathIsCutToThe260ByteBuffer) {
  const std::string longPath = "C:\\" + std::string(297, 'p');
  HGLOBAL drop = MakeDrop({longPath, "C:\\short"}, false);
  List().SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(drop));
  ASSERT_EQ(dialog_->dropped.size(), 2u);
  EXPECT_EQ(dialog_->dropped[0], longPath.substr(0, 259));
  EXPECT_EQ(dialog_->dropped[1], "C:\\short");
}

// Wine counts one (empty) file in an empty list; an empty path is not passed on.
TEST_F(ShownList, AnEmptyDropSendsNothing) {
  HGLOBAL drop = MakeDrop({}, false);
  List().SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(drop));
  EXPECT_TRUE(dialog_->dropped.empty());
}

// ---- A picture for a person to look at ----

TEST_F(ShownList, ScreenshotOfTheDialog) {
  List().AddRow(-1, "1", "IAR Embedded Workbench IDE - ARM 8.50.9", "V1.0");
  List().AddRow(-1, "1", "IAR Embedded Workbench IDE - ARM 9.30.1", "None");
  List().AddRow(-1, "0",
                "IAR Embedded Workbench IDE - ARM 9.40.1 with a name far too long for the column",
                "V2.0");
  List().AddRow(-1, "0", "Double click to select the install path of IAR", "");
  List().SelectRow(1);
  ::SetFocus(List().m_hWnd);
  WindowPixels pixels;
  ASSERT_TRUE(pixels.Capture(dialog_->m_hWnd));
  const std::string path = ResultsFolder() + "listview_dialog.png";
  EXPECT_TRUE(pixels.SavePng(path)) << path;
  printf("screenshot: %s\n", path.c_str());
}

}  // namespace

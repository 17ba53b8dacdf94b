#include "ListTestDialog.h"

BEGIN_MESSAGE_MAP(CListTestDlg, CDialog)
ON_MESSAGE(WM_LIST_DROPFILE, &CListTestDlg::OnListDropFile)
ON_NOTIFY(LVN_COLUMNCLICK, IDC_TEST_LIST, &CListTestDlg::OnColumnClick)
ON_NOTIFY(LVN_COLUMNCLICK, IDC_TEST_PLAIN_LIST, &CListTestDlg::OnPlainColumnClick)
END_MESSAGE_MAP()

void CListTestDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_TEST_LIST, m_list);
}

int CListTestDlg::ListWidth() const {
  CRect rect;
  m_list.GetWindowRect(&rect);
  return rect.Width();
}

int CListTestDlg::SetUpLikeTheMainDialog() {
  HINSTANCE module = ::GetModuleHandleA(nullptr);
  m_images[0].Attach(::LoadBitmapA(module, MAKEINTRESOURCEA(IDB_TEST_RED)));
  m_images[1].Attach(::LoadBitmapA(module, MAKEINTRESOURCEA(IDB_TEST_BLUE)));
  const int nameWidth = ListWidth() - 108 - 90;
  CString columns;
  columns.Format(",%d;Local install,%d;Installed patch,%d", 40, nameWidth, 90);
  static const BYTE kinds[] = {1, 0, 0};
  m_list.SetupColumns(columns, kinds);
  m_list.RestoreColumnWidths();
  m_list.m_pCellImages = m_images;
  return nameWidth;
}

LRESULT CListTestDlg::OnListDropFile(WPARAM /*wParam*/, LPARAM lParam) {
  dropped.push_back(reinterpret_cast<const char*>(lParam));
  return 0;
}

void CListTestDlg::OnColumnClick(NMHDR* /*pNMHDR*/, LRESULT* /*pResult*/) {
  ++columnClicks;
}

void CListTestDlg::OnPlainColumnClick(NMHDR* /*pNMHDR*/, LRESULT* /*pResult*/) {
  ++plainColumnClicks;
}

std::vector<std::string> RowTexts(const CListCtrl& list, int row, int columns) {
  std::vector<std::string> texts;
  for (int i = 0; i < columns; ++i) texts.push_back(std::string(list.GetItemText(row, i)));
  return texts;
}

std::vector<int> HeaderWidths(const CCheckListCtrl& list) {
  HWND header = reinterpret_cast<HWND>(list.SendMessage(LVM_GETHEADER));
  const int count = static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
  std::vector<int> widths;
  for (int i = 0; i < count; ++i) {
    HDITEMA item = {};
    item.mask = HDI_WIDTH;
    ::SendMessageA(header, HDM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    widths.push_back(item.cxy);
  }
  return widths;
}

std::vector<int> ColumnWidths(const CListCtrl& list, int columns) {
  std::vector<int> widths;
  for (int i = 0; i < columns; ++i) {
    widths.push_back(
        static_cast<int>(list.SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i))));
  }
  return widths;
}

#include "listview/CheckListCtrl.h"

#include <climits>
#include <cstdarg>
#include <cstring>

#include "listview/ColumnWidthRecord.h"
#include "listview/LeadingNumber.h"
#include "listview/SystemCheckBox.h"

namespace {

constexpr int kDropPathSize = 260;    // a dropped path, terminator included
constexpr int kMaxStateImage = 15;    // a row's state image index has four bits
const char kProfileSection[] = "ListCtrls";

}  // namespace

// ---- CCheckListCtrl ----

BEGIN_MESSAGE_MAP(CCheckListCtrl, CListCtrl)
ON_NOTIFY_REFLECT(LVN_COLUMNCLICK, &CCheckListCtrl::OnColumnClick)
ON_WM_DESTROY()
ON_NOTIFY_REFLECT(NM_CUSTOMDRAW, &CCheckListCtrl::OnCustomDraw)
ON_NOTIFY(HDN_BEGINTRACKW, 0, &CCheckListCtrl::OnBeginTrack)
ON_NOTIFY(HDN_BEGINTRACKA, 0, &CCheckListCtrl::OnBeginTrack)
ON_WM_DROPFILES()
ON_NOTIFY_REFLECT(LVN_ITEMCHANGING, &CCheckListCtrl::OnItemChanging)
ON_MESSAGE(WM_GETDLGCODE, &CCheckListCtrl::OnGetDlgCode)
ON_MESSAGE(WM_LBUTTONDOWN, &CCheckListCtrl::OnButtonDown)
ON_MESSAGE(WM_LBUTTONDBLCLK, &CCheckListCtrl::OnButtonDoubleClick)
END_MESSAGE_MAP()

CCheckListCtrl::CCheckListCtrl() : m_nColumns(0), m_columnKinds() {}

CCheckListCtrl::~CCheckListCtrl() {
  // Normally WM_DESTROY has freed the rows. A window that outlives its dialog is destroyed by
  // the base class once this part of the object is gone, so free them now, and hand the header
  // back to the list view before its object goes.
  if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) FreeAllRowRecords();
  if (m_header.m_hWnd != nullptr) m_header.UnsubclassWindow();
}

HWND CCheckListCtrl::HeaderWindow() const {
  return reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER));
}

void CCheckListCtrl::PreSubclassWindow() {
  CListCtrl::PreSubclassWindow();
  m_header.m_dpi = GetWindowDpi(m_hWnd);
  m_cellImageSize = CheckBoxSizeForDpi(m_hWnd, m_header.m_dpi);
  SetExtendedStyle(GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT |
                   LVS_EX_CHECKBOXES);
  HWND header = HeaderWindow();
  if (header != nullptr) m_header.SubclassWindow(header);
  // The check-box style brings the list view's own state images, whose size would set the row
  // height; these are the size the cells draw their images at.
  MakeStateImages();
}

void CCheckListCtrl::MakeStateImages() {
  const int size = GetCellImageSize();
  const int count = m_pCellImages.GetCount();
  HIMAGELIST images = ::ImageList_Create(size, size, ILC_COLOR32, count > 0 ? count : 1, 1);
  if (images == nullptr) return;
  HDC screen = ::GetDC(nullptr);
  HDC source = ::CreateCompatibleDC(screen);
  HDC target = ::CreateCompatibleDC(screen);
  for (int i = 0; i < count; ++i) {
    BITMAP from = {};
    CBitmap* image = m_pCellImages.Get(i);
    HBITMAP square = ::CreateCompatibleBitmap(screen, size, size);
    if (square == nullptr) continue;
    if (image != nullptr && image->GetBitmap(&from) != 0) {
      HGDIOBJ previousSource = ::SelectObject(source, image->GetSafeHandle());
      HGDIOBJ previousTarget = ::SelectObject(target, square);
      ::SetStretchBltMode(target, COLORONCOLOR);
      ::StretchBlt(target, 0, 0, size, size, source, 0, 0, from.bmWidth, from.bmHeight, SRCCOPY);
      ::SelectObject(target, previousTarget);
      ::SelectObject(source, previousSource);
    }
    ::ImageList_Add(images, square, nullptr);
    ::DeleteObject(square);
  }
  ::DeleteDC(target);
  ::DeleteDC(source);
  ::ReleaseDC(nullptr, screen);
  HIMAGELIST previous = reinterpret_cast<HIMAGELIST>(
      SendMessage(LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(images)));
  // The list view destroys the images it holds when its window goes; the ones it gives back
  // are ours to destroy.
  if (previous != nullptr) ::ImageList_Destroy(previous);
}

void CCheckListCtrl::LayOutForDpi(UINT dpi) {
  const UINT previous = m_header.m_dpi;
  if (dpi != previous && dpi != 0) {
    for (int i = 0; i < m_nColumns; ++i) {
      const int width = static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, i, 0));
      SendMessage(LVM_SETCOLUMNWIDTH, i,
                  MAKELPARAM(::MulDiv(width, static_cast<int>(dpi), static_cast<int>(previous)), 0));
    }
    m_header.m_dpi = dpi;
  }
  m_cellImageSize = CheckBoxSizeForDpi(m_hWnd, m_header.m_dpi);
  MakeStateImages();
  InvalidateRect(nullptr, TRUE);
}

void CCheckListCtrl::SetStateImageOf(int row, const char* checkText) {
  const int number = ReadLeadingNumber(checkText);
  const int index = number >= 0 && number < kMaxStateImage ? number + 1 : 0;
  m_settingStateImage = TRUE;
  SetItemState(row, INDEXTOSTATEIMAGEMASK(index), LVIS_STATEIMAGEMASK);
  m_settingStateImage = FALSE;
}

BOOL CCheckListCtrl::SetupColumns(const CString& description, const BYTE* kinds) {
  const int length = description.GetLength();

  int entries = 0;
  for (int p = 0;;) {
    const int comma = description.Find(',', p);
    if (comma < 0) break;
    ++entries;
    const int semicolon = description.Find(';', comma + 1);
    if (semicolon < 0) break;
    p = semicolon + 1;
  }
  if (entries > kMaxColumns - m_nColumns) return FALSE;

  for (int p = 0;;) {
    const int comma = description.Find(',', p);
    if (comma < 0) break;
    const int semicolon = description.Find(';', comma + 1);
    const int end = semicolon < 0 ? length : semicolon;
    const CString title = description.Mid(p, comma - p);
    const int width = ReadLeadingNumber(description.Mid(comma + 1, end - comma - 1));
    if (InsertColumn(m_nColumns, title, LVCFMT_LEFT, width) < 0) return FALSE;
    ++m_nColumns;
    if (semicolon < 0) break;
    p = semicolon + 1;
  }

  HWND header = HeaderWindow();
  const int items = static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < items; ++i) {
    HDITEMA item = {};
    item.mask = HDI_FORMAT;
    ::SendMessageA(header, HDM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    item.fmt |= HDF_OWNERDRAW;
    ::SendMessageA(header, HDM_SETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }

  for (int i = 0; i < m_nColumns; ++i) m_columnKinds[i] = kinds != nullptr ? kinds[i] : 0;
  return TRUE;
}

char* CCheckListCtrl::CopyText(LPCTSTR text) {
  if (text == nullptr) text = "";
  const size_t size = strlen(text) + 1;
  char* copy = new char[size];
  memcpy(copy, text, size);
  return copy;
}

void CCheckListCtrl::FreeRecord(RowRecord* record) {
  if (record == nullptr) return;
  for (int i = 0; i < record->count; ++i) delete[] record->texts[i];
  delete[] record->texts;
  delete record;
}

int CCheckListCtrl::AddRow(int index, ...) {
  RowRecord* record = new RowRecord;
  record->count = m_nColumns;
  record->texts = new char*[m_nColumns > 0 ? m_nColumns : 1]();
  va_list texts;
  va_start(texts, index);
  for (int i = 0; i < m_nColumns; ++i) record->texts[i] = CopyText(va_arg(texts, LPCTSTR));
  va_end(texts);

  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = index < 0 ? GetItemCount() : index;
  item.pszText = const_cast<LPSTR>(m_nColumns > 0 ? record->texts[0] : "");
  item.lParam = reinterpret_cast<LPARAM>(record);
  const int row = InsertItem(&item);
  if (row < 0) {
    FreeRecord(record);
    return -1;
  }
  for (int i = 1; i < m_nColumns; ++i) SetItemText(row, i, record->texts[i]);
  if (GetColumnKind(0) != 0) SetStateImageOf(row, record->texts[0]);
  return row;
}

BOOL CCheckListCtrl::SetCellText(int row, int column, LPCTSTR text) {
  if (column < 0 || column >= m_nColumns) return FALSE;
  char* copy = CopyText(text);
  if (!SetItemText(row, column, copy)) {
    delete[] copy;
    return FALSE;
  }
  if (column == 0 && GetColumnKind(0) != 0) SetStateImageOf(row, copy);
  RowRecord* record = reinterpret_cast<RowRecord*>(GetItemData(row));
  if (record != nullptr && column < record->count) {
    delete[] record->texts[column];
    record->texts[column] = copy;
  } else {
    delete[] copy;
  }
  return TRUE;
}

void CCheckListCtrl::FreeRowRecord(int row) {
  RowRecord* record = reinterpret_cast<RowRecord*>(GetItemData(row));
  if (record == nullptr) return;
  SetItemData(row, 0);
  FreeRecord(record);
}

void CCheckListCtrl::FreeAllRowRecords() {
  const int rows = GetItemCount();
  for (int i = 0; i < rows; ++i) FreeRowRecord(i);
}

BOOL CCheckListCtrl::DeleteRow(int row) {
  FreeRowRecord(row);
  return DeleteItem(row);
}

BOOL CCheckListCtrl::SelectRow(int row) {
  return SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

int CCheckListCtrl::GetSelectedRow() const {
  return GetNextItem(-1, LVNI_SELECTED);
}

void CCheckListCtrl::RestoreColumnWidths() {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return;
  CString entry;
  entry.Format("%d", GetDlgCtrlID());
  BYTE* data = nullptr;
  UINT bytes = 0;
  if (!app->GetProfileBinary(kProfileSection, entry, &data, &bytes)) return;
  if (bytes > 0 && IsWholeWidthRecord(data, bytes)) {
    CMemFile file(data, bytes);
    CArchive archive(&file, CArchive::load, 4096);
    m_header.Serialize(archive);
    archive.Close();
    m_header.InvalidateRect(nullptr, TRUE);
  }
  delete[] data;
}

BOOL CCheckListCtrl::GetCellRect(int row, int column, int area, CRect& rect) const {
  // Wine's list view gives a sub-item rectangle for rows that do not exist.
  if (row < 0 || row >= GetItemCount()) return FALSE;
  if (column != 0) return GetSubItemRect(row, column, area, rect);
  if (!GetItemRect(row, &rect, static_cast<UINT>(area))) return FALSE;
  if (m_nColumns == 1) return TRUE;
  CRect next;
  if (!GetSubItemRect(row, 1, area, next)) return FALSE;
  rect.right = next.left;
  return TRUE;
}

void CCheckListCtrl::OnColumnClick(NMHDR* /*pNMHDR*/, LRESULT* pResult) {
  *pResult = 0;
}

void CCheckListCtrl::OnDestroy() {
  FreeAllRowRecords();
  CListCtrl::OnDestroy();
}

void CCheckListCtrl::OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult) {
  NMLVCUSTOMDRAW* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(pNMHDR);
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      *pResult = CDRF_NOTIFYITEMDRAW;
      break;
    case CDDS_ITEMPREPAINT:
      *pResult = CDRF_NOTIFYSUBITEMDRAW;
      break;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      CDC dc;
      if (dc.Attach(draw->nmcd.hdc)) {
        DrawCell(&dc, static_cast<int>(draw->nmcd.dwItemSpec), draw->iSubItem);
        dc.Detach();
      }
      *pResult = CDRF_SKIPDEFAULT;
      break;
    }
    default:
      *pResult = CDRF_DODEFAULT;
      break;
  }
}

void CCheckListCtrl::OnBeginTrack(NMHDR* pNMHDR, LRESULT* pResult) {
  const NMHEADERA* header = reinterpret_cast<const NMHEADERA*>(pNMHDR);
  *pResult = header->iItem == 0 ? TRUE : FALSE;
}

void CCheckListCtrl::OnDropFiles(HDROP hDropInfo) {
  HWND parent = ::GetParent(m_hWnd);
  const UINT count = ::DragQueryFileA(hDropInfo, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    char path[kDropPathSize] = "";
    // A path that cannot be read (0 characters) is not passed on as an empty one.
    if (::DragQueryFileA(hDropInfo, i, path, kDropPathSize) == 0) continue;
    ::SendMessageA(parent, WM_LIST_DROPFILE, 0, reinterpret_cast<LPARAM>(path));
  }
  ::DragFinish(hDropInfo);
}

void CCheckListCtrl::OnItemChanging(NMHDR* pNMHDR, LRESULT* pResult) {
  // The check-box style has the list view toggle a row's state image on a click or Space; the
  // owner toggles the row itself, through the cell's text.
  const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(pNMHDR);
  const BOOL stateImageChanges = (change->uChanged & LVIF_STATE) != 0 &&
                                 ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) != 0;
  *pResult = stateImageChanges && !m_settingStateImage ? TRUE : FALSE;
}

LRESULT CCheckListCtrl::OnGetDlgCode(WPARAM /*wParam*/, LPARAM lParam) {
  LRESULT code = Default();
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  if (message != nullptr && message->message == WM_KEYDOWN && message->wParam == VK_RETURN) {
    code |= DLGC_WANTALLKEYS;
  }
  return code;
}

LRESULT CCheckListCtrl::OnButtonDown(WPARAM wParam, LPARAM lParam) {
  return PressOutsideStateImage(WM_LBUTTONDOWN, wParam, lParam);
}

LRESULT CCheckListCtrl::OnButtonDoubleClick(WPARAM wParam, LPARAM lParam) {
  return PressOutsideStateImage(WM_LBUTTONDBLCLK, wParam, lParam);
}

LRESULT CCheckListCtrl::PressOutsideStateImage(UINT message, WPARAM wParam, LPARAM lParam) {
  // The list view takes a press on a row's state image as a toggle of its own and reports no
  // click; here the whole check cell is one target, so such a press goes in at the cell's middle.
  LVHITTESTINFO hit = {};
  hit.pt.x = static_cast<short>(LOWORD(lParam));
  hit.pt.y = static_cast<short>(HIWORD(lParam));
  CRect cell;
  if (SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) >= 0 &&
      (hit.flags & LVHT_ONITEMSTATEICON) != 0 && GetCellRect(hit.iItem, 0, LVIR_BOUNDS, cell)) {
    lParam = MAKELPARAM((cell.left + cell.right) / 2, hit.pt.y);
  }
  return DefWindowProc(message, wParam, lParam);
}

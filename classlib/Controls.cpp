#include "classlib/Controls.h"

#include <vector>

#include "classlib/CommonControls.h"

namespace {

// Longest item text read into a CString (characters).
constexpr int kMaxItemText = 1 << 16;

}  // namespace

void CHeaderCtrl::DrawItem(LPDRAWITEMSTRUCT /*lpDrawItemStruct*/) {}

BOOL CHeaderCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message != WM_DRAWITEM) return CWnd::OnChildNotify(message, wParam, lParam, pResult);
  DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
  *pResult = TRUE;
  return TRUE;
}

int CListCtrl::InsertColumn(int nCol, LPCTSTR lpszColumnHeading, int nFormat, int nWidth) {
  LVCOLUMNA column = {};
  column.mask = LVCF_FMT | LVCF_TEXT;
  column.fmt = nFormat;
  column.pszText = const_cast<LPSTR>(lpszColumnHeading);
  if (nWidth != -1) {
    column.mask |= LVCF_WIDTH;
    column.cx = nWidth;
  }
  return static_cast<int>(
      SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(nCol), reinterpret_cast<LPARAM>(&column)));
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, LPCTSTR lpszText) {
  LVITEMA item = {};
  item.iSubItem = nSubItem;
  item.pszText = const_cast<LPSTR>(lpszText);
  return static_cast<BOOL>(
      SendMessage(LVM_SETITEMTEXTA, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item)));
}

int CListCtrl::GetItemText(int nItem, int nSubItem, LPTSTR lpszText, int nLen) const {
  if (lpszText == nullptr || nLen <= 0) return 0;
  lpszText[0] = '\0';
  LVITEMA item = {};
  item.iSubItem = nSubItem;
  item.pszText = lpszText;
  item.cchTextMax = nLen;
  const int copied = static_cast<int>(
      SendMessage(LVM_GETITEMTEXTA, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item)));
  lpszText[nLen - 1] = '\0';
  return copied;
}

CString CListCtrl::GetItemText(int nItem, int nSubItem) const {
  std::vector<char> buffer(256);
  for (;;) {
    const int copied = GetItemText(nItem, nSubItem, buffer.data(), static_cast<int>(buffer.size()));
    if (copied + 1 < static_cast<int>(buffer.size()) ||
        static_cast<int>(buffer.size()) >= kMaxItemText) {
      return CString(buffer.data());
    }
    buffer.resize(buffer.size() * 2);
  }
}

DWORD_PTR CListCtrl::GetItemData(int nItem) const {
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = nItem;
  if (!SendMessage(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return 0;
  return static_cast<DWORD_PTR>(item.lParam);
}

BOOL CListCtrl::SetItemData(int nItem, DWORD_PTR dwData) {
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = nItem;
  item.lParam = static_cast<LPARAM>(dwData);
  return static_cast<BOOL>(SendMessage(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask) {
  LVITEMA item = {};
  item.state = nState;
  item.stateMask = nMask;
  return static_cast<BOOL>(
      SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::GetItemRect(int nItem, LPRECT lpRect, UINT nCode) const {
  lpRect->left = static_cast<LONG>(nCode);
  return static_cast<BOOL>(
      SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(lpRect)));
}

BOOL CListCtrl::GetSubItemRect(int iItem, int iSubItem, int nArea, CRect& ref) const {
  ref.top = iSubItem;
  ref.left = nArea;
  return static_cast<BOOL>(
      SendMessage(LVM_GETSUBITEMRECT, static_cast<WPARAM>(iItem), reinterpret_cast<LPARAM>(&ref)));
}

int CListCtrl::HitTest(CPoint pt) const {
  LVHITTESTINFO info = {};
  info.pt = pt;
  return static_cast<int>(SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
}

BOOL CStatusBarCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  classlib_detail::EnsureCommonControls();
  return CreateEx(0, STATUSCLASSNAMEA, nullptr, dwStyle, rect, pParentWnd, nID);
}

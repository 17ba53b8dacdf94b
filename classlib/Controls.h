#pragma once
#include <windows.h>
#include <commctrl.h>

#include "classlib/CString.h"
#include "classlib/Wnd.h"

// The common controls the program uses, as thin wrappers over their (narrow) messages.

class CHeaderCtrl : public CWnd {
 public:
  int GetItemCount() const { return static_cast<int>(SendMessage(HDM_GETITEMCOUNT)); }
  BOOL GetItem(int nPos, HDITEMA* pHeaderItem) const {
    return static_cast<BOOL>(SendMessage(HDM_GETITEMA, static_cast<WPARAM>(nPos),
                                         reinterpret_cast<LPARAM>(pHeaderItem)));
  }
  BOOL SetItem(int nPos, HDITEMA* pHeaderItem) {
    return static_cast<BOOL>(SendMessage(HDM_SETITEMA, static_cast<WPARAM>(nPos),
                                         reinterpret_cast<LPARAM>(pHeaderItem)));
  }

  // Draws one owner-drawn item (HDF_OWNERDRAW); the header's parent passes the request on.
  virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);

  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CListCtrl : public CWnd {
 public:
  int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
  DWORD GetExtendedStyle() const {
    return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE));
  }
  // Returns the previous extended style.
  DWORD SetExtendedStyle(DWORD dwNewStyle) {
    return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, dwNewStyle));
  }

  // A column; the width stays unset when nWidth is -1. Returns the new column's index, or -1.
  int InsertColumn(int nCol, LPCTSTR lpszColumnHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1);

  int InsertItem(const LVITEMA* pItem) {
    return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(pItem)));
  }
  BOOL DeleteItem(int nItem) {
    return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(nItem)));
  }

  BOOL SetItemText(int nItem, int nSubItem, LPCTSTR lpszText);
  // Copies at most nLen - 1 characters and a terminator; returns the characters copied.
  int GetItemText(int nItem, int nSubItem, LPTSTR lpszText, int nLen) const;
  CString GetItemText(int nItem, int nSubItem) const;
  DWORD_PTR GetItemData(int nItem) const;  // 0 for a row that does not exist
  BOOL SetItemData(int nItem, DWORD_PTR dwData);
  BOOL SetItemState(int nItem, UINT nState, UINT nMask);
  int GetNextItem(int nItem, int nFlags) const {
    return static_cast<int>(
        SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(nItem), MAKELPARAM(nFlags, 0)));
  }

  // nCode: LVIR_BOUNDS, LVIR_ICON, LVIR_LABEL or LVIR_SELECTBOUNDS.
  BOOL GetItemRect(int nItem, LPRECT lpRect, UINT nCode) const;
  BOOL GetSubItemRect(int iItem, int iSubItem, int nArea, CRect& ref) const;

  // The row at a point of the client area, or -1.
  int HitTest(CPoint pt) const;
};

class CStatusBarCtrl : public CWnd {
 public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

  // pWidths holds each part's right edge in client pixels, -1 for "to the right edge".
  BOOL SetParts(int nParts, int* pWidths) {
    return static_cast<BOOL>(
        SendMessage(SB_SETPARTS, static_cast<WPARAM>(nParts), reinterpret_cast<LPARAM>(pWidths)));
  }
  // nType: 0 (sunken border), SBT_NOBORDERS, SBT_POPOUT, ...
  BOOL SetText(LPCTSTR lpszText, int nPane, int nType) {
    return static_cast<BOOL>(SendMessage(SB_SETTEXTA, static_cast<WPARAM>(nPane | nType),
                                         reinterpret_cast<LPARAM>(lpszText)));
  }
};

#pragma once
#include <cstddef>

#include "classlib/afxwin.h"
#include "listview/DisplayScale.h"

// Sent by the list to its parent for each file or folder dropped on it: wParam 0, lParam the
// path (a NUL-terminated narrow string, valid only during the call).
#define WM_LIST_DROPFILE (WM_USER + 99)

// The images of check-box cells: the owner's array, not owned, with its length, so that a cell
// number outside the array reads nothing. Assigning an array (m_pCellImages = m_checkImages)
// takes both.
class CCellImages {
 public:
  CCellImages() = default;
  template <size_t N>
  CCellImages& operator=(CBitmap (&images)[N]) {
    Set(images, static_cast<int>(N));
    return *this;
  }
  CCellImages& operator=(std::nullptr_t) {
    Set(nullptr, 0);
    return *this;
  }
  void Set(CBitmap* images, int count) {
    m_images = count > 0 ? images : nullptr;
    m_count = m_images != nullptr ? count : 0;
  }
  int GetCount() const { return m_count; }
  // The image for a cell number, or null when the number is not an index of the array.
  CBitmap* Get(int number) const {
    return number >= 0 && number < m_count ? &m_images[number] : nullptr;
  }

 private:
  CBitmap* m_images = nullptr;
  int m_count = 0;
};

// The list's header: it draws every item itself (SetupColumns makes them owner-drawn) and
// loads the column-width record of the profile.
class CCheckListHeaderCtrl : public CHeaderCtrl {
 public:
  ~CCheckListHeaderCtrl() override;
  // Loading: a count, then that many widths (32-bit, little-endian), applied in item order
  // when the count is the header's number of items. The widths are 96-DPI pixels, as every
  // version has stored them, and are scaled to the list's DPI. Nothing is ever stored.
  void Serialize(CArchive& ar);

  UINT m_dpi = kDefaultDpi;  // the list's, set by the list

 protected:
  DECLARE_MESSAGE_MAP()

 public:
  void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
};

// A report list whose rows carry one text per column, drawn by the control itself: check-box
// columns show the image chosen by the cell's number, text columns the text shortened to fit.
// Its column headers cannot be clicked, its first column cannot be resized by dragging, and
// files dropped on it are passed to its parent one by one (WM_LIST_DROPFILE).
// Column 0's cell number is also each row's state image (number + 1), with the check-box style
// set, so that accessibility tools read a row's check the standard way; the list view itself is
// not allowed to change it, since what a click or a key means is the owner's business. Enter
// reaches the list (NM_RETURN to the parent) instead of pressing the dialog's default button.
class CCheckListCtrl : public CListCtrl {
 public:
  static constexpr int kMaxColumns = 128;
  static constexpr int kCellTextSize = 1024;  // a drawn cell text: 1023 characters at most

  CCheckListCtrl();
  ~CCheckListCtrl() override;

  // Columns from "title,width;title,width;..." (a title runs up to its comma; a width is read
  // like atoi) and one kind per column (0 text, else check box; null: all text). FALSE when the
  // list view refuses a column (those inserted before stay) or when the columns would number
  // more than kMaxColumns (nothing is inserted).
  BOOL SetupColumns(const CString& description, const BYTE* kinds);
  // Inserts a row at index (-1: after the last) with one text per column; the caller passes at
  // least as many texts as there are columns, and further ones are ignored. A null text is
  // taken as empty. Returns the new row's index, or -1 when the list view refuses it.
  int AddRow(int index, ...);
  BOOL SetCellText(int row, int column, LPCTSTR text);
  BOOL DeleteRow(int row);
  BOOL SelectRow(int row);
  int GetSelectedRow() const;
  // Column widths from the profile ("ListCtrls", entry = this control's id), when the record
  // there fits the columns exactly; any other record is ignored as a whole.
  void RestoreColumnWidths();

  // Lays the list out for dpi: the column widths scaled from the DPI they were set for, the
  // check images' square, and the state images made again from m_pCellImages. The owner calls
  // it once its images are in place, and again whenever the window's DPI changes.
  void LayOutForDpi(UINT dpi);
  UINT GetDpi() const { return m_header.m_dpi; }
  // The side of the square a check-box cell's image is drawn in: the system's check box at the
  // list's DPI.
  int GetCellImageSize() const { return m_cellImageSize; }

  // A cell's rectangle in client coordinates. The list view's own rectangle of column 0 spans
  // the whole row; here it ends where column 1 begins.
  BOOL GetCellRect(int row, int column, int area, CRect& rect) const;
  // Shortens text in place until its width in pDC plus 5 pixels is below width: the last kept
  // character becomes a single '.'; a text of one or two characters just gets its last one
  // replaced.
  static void FitTextToWidth(CDC* pDC, LPTSTR text, int width);

  int GetColumnCount() const { return m_nColumns; }
  BYTE GetColumnKind(int column) const {
    return column >= 0 && column < m_nColumns && column < kMaxColumns ? m_columnKinds[column] : 0;
  }

  // Images of check-box cells, set by the owner before the first row is drawn. A cell number
  // that is not an index of the array draws no image.
  CCellImages m_pCellImages;

 protected:
  void PreSubclassWindow() override;
  void DrawCell(CDC* pDC, int row, int column);

  afx_msg void OnColumnClick(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnDestroy();
  afx_msg void OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnBeginTrack(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg void OnDropFiles(HDROP hDropInfo);
  afx_msg void OnItemChanging(NMHDR* pNMHDR, LRESULT* pResult);
  afx_msg LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnButtonDown(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnButtonDoubleClick(WPARAM wParam, LPARAM lParam);

  DECLARE_MESSAGE_MAP()

  CCheckListHeaderCtrl m_header;
  int m_nColumns;
  BYTE m_columnKinds[kMaxColumns];

 private:
  // Item data of every row: the control's own copy of each of its texts.
  struct RowRecord {
    int count;     // texts in the record: the number of columns when the row was added
    char** texts;  // count heap copies
  };

  static char* CopyText(LPCTSTR text);
  static void FreeRecord(RowRecord* record);
  void FreeRowRecord(int row);
  void FreeAllRowRecords();
  HWND HeaderWindow() const;
  void SetStateImageOf(int row, const char* checkText);
  void MakeStateImages();
  LRESULT PressOutsideStateImage(UINT message, WPARAM wParam, LPARAM lParam);

  int m_cellImageSize = 13;
  BOOL m_settingStateImage = FALSE;  // the list's own change of a state image, let through
};

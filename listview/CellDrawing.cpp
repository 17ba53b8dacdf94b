// A row's cells as the check-box list draws them: a check image, or text cut to the cell.
#include "listview/CheckListCtrl.h"

#include <cstring>

#include "listview/LeadingNumber.h"

namespace {

constexpr int kTextIndent = 4;  // text starts this far right of the cell's left edge
constexpr int kTextMargin = 5;  // a text fits when its width plus this is below the cell's
constexpr UINT kCellTextFormat = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;

}  // namespace

void CCheckListCtrl::FitTextToWidth(CDC* pDC, LPTSTR text, int width) {
  for (;;) {
    const int length = static_cast<int>(strlen(text));
    if (pDC->GetTextExtent(text, length).cx + kTextMargin < width) return;
    if (length <= 2) {
      if (length > 0) text[length - 1] = '.';
      return;
    }
    text[length - 1] = '\0';
    text[length - 2] = '.';
  }
}

void CCheckListCtrl::DrawCell(CDC* pDC, int row, int column) {
  char text[kCellTextSize] = "";
  GetItemText(row, column, text, kCellTextSize);
  const int number = ReadLeadingNumber(text);

  CRect rect;
  if (!GetCellRect(row, column, LVIR_BOUNDS, rect)) return;

  const BOOL selected = row == GetSelectedRow();
  COLORREF background = RGB(255, 255, 255);
  COLORREF foreground = RGB(0, 0, 0);
  if (selected && ::GetFocus() == m_hWnd) {
    background = ::GetSysColor(COLOR_HIGHLIGHT);
    foreground = RGB(255, 255, 255);
  } else if (selected) {
    background = ::GetSysColor(COLOR_BTNFACE);
  }
  CBrush brush(background);
  pDC->FillRect(&rect, &brush);

  if (GetColumnKind(column) != 0) {
    const int imageSize = GetCellImageSize();
    const int left = rect.left + (rect.Width() - imageSize) / 2;
    const int top = rect.top + (rect.Height() - imageSize) / 2;
    CBitmap* image = m_pCellImages.Get(number);
    BITMAP size = {};
    CDC memory;
    if (image != nullptr && image->GetBitmap(&size) != 0 && memory.CreateCompatibleDC(pDC)) {
      HGDIOBJ previous = memory.SelectObject(image->GetSafeHandle());
      const int previousMode = pDC->SetStretchBltMode(COLORONCOLOR);
      pDC->StretchBlt(left, top, imageSize, imageSize, &memory, 0, 0, size.bmWidth, size.bmHeight,
                      SRCCOPY);
      pDC->SetStretchBltMode(previousMode);
      memory.SelectObject(previous);
    }
    if (selected) {
      pDC->Draw3dRect(left, top, imageSize, imageSize, RGB(255, 255, 255), RGB(0, 0, 0));
    }
    return;
  }

  pDC->SetTextColor(foreground);
  rect.left += kTextIndent;
  FitTextToWidth(pDC, text, rect.Width());
  pDC->DrawText(text, -1, &rect, kCellTextFormat);
}

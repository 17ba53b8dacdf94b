// The check-box list's header: drawn by the list itself, its column widths restored from the
// profile's record.
#include "listview/CheckListCtrl.h"

#include "listview/ColumnWidthRecord.h"

namespace {

constexpr int kHeaderTextSize = 256;  // a header item's text: 255 characters at most
constexpr UINT kHeaderTextFormat =
    DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP | DT_VCENTER | DT_END_ELLIPSIS;

// The column-width record's sink: sets one header item's width, scaled from 96 DPI to the
// list's, without any range test.
void SetItemWidth(void* target, int item, int width) {
  CCheckListHeaderCtrl* header = static_cast<CCheckListHeaderCtrl*>(target);
  HDITEMA hdi = {};
  hdi.mask = HDI_WIDTH;
  hdi.cxy = ScaleToDpi(width, header->m_dpi);
  header->SetItem(item, &hdi);
}

}  // namespace

BEGIN_MESSAGE_MAP(CCheckListHeaderCtrl, CHeaderCtrl)
END_MESSAGE_MAP()

CCheckListHeaderCtrl::~CCheckListHeaderCtrl() = default;

void CCheckListHeaderCtrl::Serialize(CArchive& ar) {
  if (!ar.IsLoading()) return;
  ReadColumnWidths(ar, GetItemCount(), SetItemWidth, this);
}

void CCheckListHeaderCtrl::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
  CDC dc;
  if (!dc.Attach(lpDrawItemStruct->hDC)) return;
  const CRect itemRect(lpDrawItemStruct->rcItem);
  const int saved = dc.SaveDC();
  dc.IntersectClipRect(&itemRect);
  dc.FillSolidRect(&itemRect, ::GetSysColor(COLOR_BTNFACE));

  char text[kHeaderTextSize] = "";
  HDITEMA item = {};
  item.mask = HDI_TEXT | HDI_FORMAT;
  item.pszText = text;
  item.cchTextMax = kHeaderTextSize;
  GetItem(static_cast<int>(lpDrawItemStruct->itemID), &item);
  text[kHeaderTextSize - 1] = '\0';

  UINT format = kHeaderTextFormat;
  if ((item.fmt & HDF_CENTER) != 0) {
    format |= DT_CENTER;
  } else if ((item.fmt & HDF_RIGHT) != 0) {
    format |= DT_RIGHT;
  }

  CRect textRect = itemRect;
  if (lpDrawItemStruct->itemState == ODS_SELECTED) {  // pressed: the text moves with the button
    textRect.left += 1;
    textRect.top += 2;
    textRect.right += 1;
  }
  const int margin = itemRect.Height() / 4;
  textRect.left += margin;
  textRect.right -= margin;
  if (textRect.left < textRect.right) dc.DrawText(text, -1, &textRect, format);

  dc.RestoreDC(saved);
  dc.Detach();
}

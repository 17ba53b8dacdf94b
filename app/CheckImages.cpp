#include "app/CheckImages.h"

#include "app/res/resource.h"
#include "listview/DisplayScale.h"
#include "listview/SystemCheckBox.h"

namespace {

void Replace(CBitmap& image, HBITMAP bitmap) {
  image.DeleteObject();
  image.Attach(bitmap);
}

}  // namespace

void LoadCheckImages(CBitmap (&images)[2], UINT dpi, HWND window) {
  if (dpi == kDefaultDpi) {
    HINSTANCE module = AfxFindResourceHandle(MAKEINTRESOURCE(IDB_CHECK_OFF), RT_BITMAP);
    Replace(images[0], ::LoadBitmapA(module, MAKEINTRESOURCEA(IDB_CHECK_OFF)));
    Replace(images[1], ::LoadBitmapA(module, MAKEINTRESOURCEA(IDB_CHECK_ON)));
    return;
  }
  const int size = CheckBoxSizeForDpi(window, dpi);
  Replace(images[0], DrawCheckBox(window, dpi, size, false));
  Replace(images[1], DrawCheckBox(window, dpi, size, true));
}

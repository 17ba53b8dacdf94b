#include "app/CheckImages.h"

#include <uxtheme.h>
#include <vssym32.h>

#include "app/res/resource.h"
#include "listview/DisplayScale.h"

namespace {

// One box of size x size pixels, drawn by the visual style when one is active (as the buttons
// are), else as the classic control draws it.
HBITMAP DrawCheckBox(HWND window, int size, bool checked) {
  HDC screen = ::GetDC(nullptr);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, size, size);
  HDC memory = ::CreateCompatibleDC(screen);
  ::ReleaseDC(nullptr, screen);
  if (bitmap == nullptr || memory == nullptr) {
    if (memory != nullptr) ::DeleteDC(memory);
    return bitmap;
  }
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  RECT box = {0, 0, size, size};
  // A style's box may leave its corners open: they show the list's own background.
  ::FillRect(memory, &box, ::GetSysColorBrush(COLOR_WINDOW));
  HTHEME theme = ::IsAppThemed() ? ::OpenThemeData(window, L"Button") : nullptr;
  if (theme != nullptr) {
    ::DrawThemeBackground(theme, memory, BP_CHECKBOX,
                          checked ? CBS_CHECKEDNORMAL : CBS_UNCHECKEDNORMAL, &box, nullptr);
    ::CloseThemeData(theme);
  } else {
    ::DrawFrameControl(memory, &box, DFC_BUTTON,
                       DFCS_BUTTONCHECK | (checked ? DFCS_CHECKED : 0));
  }
  ::SelectObject(memory, previous);
  ::DeleteDC(memory);
  return bitmap;
}

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
  const int size = CheckBoxSizeForDpi(dpi);
  Replace(images[0], DrawCheckBox(window, size, false));
  Replace(images[1], DrawCheckBox(window, size, true));
}

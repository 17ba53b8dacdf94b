#include "listview/SystemCheckBox.h"

#include <vssym32.h>

#include "listview/DisplayScale.h"

HTHEME OpenButtonTheme(HWND window, UINT dpi) {
  if (!::IsAppThemed()) return nullptr;
  using OpenThemeDataForDpiFn = HTHEME(WINAPI*)(HWND, LPCWSTR, UINT);
  static const OpenThemeDataForDpiFn openForDpi =
      reinterpret_cast<OpenThemeDataForDpiFn>(reinterpret_cast<void*>(
          ::GetProcAddress(::GetModuleHandleA("uxtheme.dll"), "OpenThemeDataForDpi")));
  if (openForDpi != nullptr) return openForDpi(window, L"Button", dpi);
  return ::OpenThemeData(window, L"Button");
}

int CheckBoxSizeForDpi(HWND window, UINT dpi) {
  HTHEME theme = OpenButtonTheme(window, dpi);
  if (theme != nullptr) {
    SIZE size = {};
    const HRESULT result = ::GetThemePartSize(theme, nullptr, BP_CHECKBOX, CBS_UNCHECKEDNORMAL,
                                              nullptr, TS_DRAW, &size);
    ::CloseThemeData(theme);
    if (SUCCEEDED(result) && size.cy > 0) return size.cy;
  }
  return static_cast<int>(12 * dpi / kDefaultDpi) + 1;
}

HBITMAP DrawCheckBox(HWND window, UINT dpi, int size, bool checked) {
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
  HTHEME theme = OpenButtonTheme(window, dpi);
  if (theme != nullptr) {
    ::DrawThemeBackground(theme, memory, BP_CHECKBOX,
                          checked ? CBS_CHECKEDNORMAL : CBS_UNCHECKEDNORMAL, &box, nullptr);
    ::CloseThemeData(theme);
  } else {
    ::DrawFrameControl(memory, &box, DFC_BUTTON, DFCS_BUTTONCHECK | (checked ? DFCS_CHECKED : 0));
  }
  ::SelectObject(memory, previous);
  ::DeleteDC(memory);
  return bitmap;
}

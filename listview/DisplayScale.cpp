#include "listview/DisplayScale.h"

namespace {

// GetDpiForWindow came with Windows 10 (1607); on older systems the whole process has the
// system's DPI, which is what a screen device context reports.
UINT SystemDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

}  // namespace

UINT GetWindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const GetDpiForWindowFn getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow != nullptr && window != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi != 0) return dpi;
  }
  return SystemDpi();
}

int ScaleToDpi(int pixels96, UINT dpi) {
  return ::MulDiv(pixels96, static_cast<int>(dpi), static_cast<int>(kDefaultDpi));
}

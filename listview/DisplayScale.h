#pragma once
#include <windows.h>

// Sizes that follow the display scale. Layout constants of the dialog and its list are written
// for 96 DPI (100 %) and scaled to the DPI of the window they are used in.

constexpr UINT kDefaultDpi = 96;

// The DPI the window is drawn at: its monitor's on Windows 10 and later (per-monitor aware), the
// system's before that.
UINT GetWindowDpi(HWND window);

// A length of pixels96 pixels at 96 DPI, at dpi, rounded to the nearest pixel.
int ScaleToDpi(int pixels96, UINT dpi);

#pragma once
#include <windows.h>
#include <uxtheme.h>

// The system's check box, as the "Select All" button draws it, at a given DPI.

// The visual style's button parts at dpi, for window; null where no style is active (the
// classic look, Wine's default) or where the system cannot give them for another DPI than its
// own (before Windows 10 1703, where the whole process has the system's DPI anyway).
HTHEME OpenButtonTheme(HWND window, UINT dpi);

// The side of the check box in pixels: the style's box where a style is active, else the classic
// control's (12 pixels per 96 DPI plus the frame's pixel: 13, 19 and 25 at 96, 144 and 192 DPI).
int CheckBoxSizeForDpi(HWND window, UINT dpi);

// A size x size bitmap of the box, checked or not, on the window colour.
HBITMAP DrawCheckBox(HWND window, UINT dpi, int size, bool checked);

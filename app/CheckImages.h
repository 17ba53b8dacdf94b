#pragma once
#include "classlib/afxwin.h"

// The list's check images for a DPI: at 96 DPI the program's own 13-pixel bitmaps (empty box,
// checked box); at any other scale the system's check box, drawn at the size the button control
// draws its own, so that the rows' boxes are as crisp and as large as "Select All"'s.
// images[0] is the empty box, images[1] the checked one; what they held before is freed.
void LoadCheckImages(CBitmap (&images)[2], UINT dpi, HWND window);

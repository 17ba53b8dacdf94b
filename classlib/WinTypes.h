#pragma once
#include <windows.h>

// Points, sizes and rectangles as the class library has them: the Win32 structures with
// constructors and the few operations our code uses, so they pass straight to Win32 calls.

class CPoint : public tagPOINT {
 public:
  CPoint() {
    x = 0;
    y = 0;
  }
};

class CSize : public tagSIZE {
 public:
  CSize(SIZE size) {
    cx = size.cx;
    cy = size.cy;
  }
};

class CRect : public tagRECT {
 public:
  CRect() { left = top = right = bottom = 0; }
  CRect(int l, int t, int r, int b) {
    left = l;
    top = t;
    right = r;
    bottom = b;
  }
  CRect(const RECT& rect) : tagRECT(rect) {}

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

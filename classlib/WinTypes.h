#pragma once
#include <windows.h>

// Points, sizes and rectangles as the class library has them: the Win32 structures with
// constructors and the few operations our code uses, so they pass straight to Win32 calls.

class CPoint : public tagPOINT {
 public:
  CPoint() { x = 0; y = 0; }
  CPoint(int initX, int initY) { x = initX; y = initY; }
  CPoint(POINT point) { x = point.x; y = point.y; }

  void Offset(int dx, int dy) { x += dx; y += dy; }
  bool operator==(POINT point) const { return x == point.x && y == point.y; }
  bool operator!=(POINT point) const { return !(*this == point); }
};

class CSize : public tagSIZE {
 public:
  CSize() { cx = 0; cy = 0; }
  CSize(int initCX, int initCY) { cx = initCX; cy = initCY; }
  CSize(SIZE size) { cx = size.cx; cy = size.cy; }

  bool operator==(SIZE size) const { return cx == size.cx && cy == size.cy; }
  bool operator!=(SIZE size) const { return !(*this == size); }
};

class CRect : public tagRECT {
 public:
  CRect() { left = top = right = bottom = 0; }
  CRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
  CRect(const RECT& rect) { CopyRect(&rect); }
  CRect(POINT topLeft, SIZE size) {
    left = topLeft.x;
    top = topLeft.y;
    right = left + size.cx;
    bottom = top + size.cy;
  }

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  CSize Size() const { return CSize(Width(), Height()); }
  CPoint TopLeft() const { return CPoint(left, top); }
  CPoint BottomRight() const { return CPoint(right, bottom); }
  CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }

  BOOL IsRectEmpty() const { return ::IsRectEmpty(this); }
  BOOL PtInRect(POINT point) const { return ::PtInRect(this, point); }
  void SetRect(int l, int t, int r, int b) { ::SetRect(this, l, t, r, b); }
  void SetRectEmpty() { ::SetRectEmpty(this); }
  void CopyRect(LPCRECT source) {
    left = source->left;
    top = source->top;
    right = source->right;
    bottom = source->bottom;
  }
  void OffsetRect(int dx, int dy) { ::OffsetRect(this, dx, dy); }
  void InflateRect(int dx, int dy) { ::InflateRect(this, dx, dy); }
  void DeflateRect(int dx, int dy) { ::InflateRect(this, -dx, -dy); }

  operator LPRECT() { return this; }
  operator LPCRECT() const { return this; }
  bool operator==(const RECT& rect) const {
    return left == rect.left && top == rect.top && right == rect.right && bottom == rect.bottom;
  }
  bool operator!=(const RECT& rect) const { return !(*this == rect); }
};

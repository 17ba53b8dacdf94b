#pragma once
#include <windows.h>

#include "classlib/WinTypes.h"

class CWnd;

// A GDI object handle, deleted with the object unless it is detached first.
class CGdiObject {
 public:
  CGdiObject() = default;
  virtual ~CGdiObject() { DeleteObject(); }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;

  BOOL Attach(HGDIOBJ hObject);  // FALSE for a null handle or when one is attached already
  HGDIOBJ Detach();
  BOOL DeleteObject();
  HGDIOBJ GetSafeHandle() const { return m_hObject; }

  HGDIOBJ m_hObject = nullptr;
};

class CBitmap : public CGdiObject {
 public:
  // GetObjectA: the bytes written to pBitMap, 0 on failure.
  int GetBitmap(BITMAP* pBitMap) const { return ::GetObjectA(m_hObject, sizeof(BITMAP), pBitMap); }
};

class CBrush : public CGdiObject {
 public:
  explicit CBrush(COLORREF crColor) { Attach(::CreateSolidBrush(crColor)); }
};

// A device context. The destructor deletes a DC this object made (CreateCompatibleDC); wrap a
// DC that belongs to someone else with Attach and give it back with Detach.
class CDC {
 public:
  CDC() = default;
  virtual ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  BOOL Attach(HDC hDC);
  HDC Detach();
  HDC GetSafeHdc() const { return m_hDC; }

  BOOL CreateCompatibleDC(CDC* pDC);
  BOOL DeleteDC();

  int SaveDC() { return ::SaveDC(m_hDC); }
  BOOL RestoreDC(int nSavedDC) { return ::RestoreDC(m_hDC, nSavedDC); }
  int IntersectClipRect(LPCRECT lpRect) {
    return ::IntersectClipRect(m_hDC, lpRect->left, lpRect->top, lpRect->right, lpRect->bottom);
  }

  // The previously selected object's handle, which the caller selects back.
  HGDIOBJ SelectObject(HGDIOBJ hObject) { return ::SelectObject(m_hDC, hObject); }

  COLORREF SetTextColor(COLORREF crColor) { return ::SetTextColor(m_hDC, crColor); }
  int SetStretchBltMode(int nStretchMode) { return ::SetStretchBltMode(m_hDC, nStretchMode); }

  void FillRect(LPCRECT lpRect, CBrush* pBrush) {
    ::FillRect(m_hDC, lpRect, static_cast<HBRUSH>(pBrush->GetSafeHandle()));
  }
  // A rectangle in one colour; the DC's colours and modes are left as they were.
  void FillSolidRect(LPCRECT lpRect, COLORREF clr);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr);
  // A one-pixel frame just inside the rectangle: top and left edges in one colour, bottom
  // and right edges in the other.
  void Draw3dRect(int x, int y, int cx, int cy, COLORREF clrTopLeft, COLORREF clrBottomRight);

  int DrawText(LPCTSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat) {
    return ::DrawTextA(m_hDC, lpszString, nCount, lpRect, nFormat);
  }
  CSize GetTextExtent(LPCTSTR lpszString, int nCount) const;

  BOOL StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc,
                  int nSrcWidth, int nSrcHeight, DWORD dwRop) {
    return ::StretchBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC->GetSafeHdc(), xSrc, ySrc, nSrcWidth,
                        nSrcHeight, dwRop);
  }
  BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }

  HDC m_hDC = nullptr;

 private:
  BOOL m_bOwned = FALSE;  // made by CreateCompatibleDC, deleted with the object
};

// The DC of a WM_PAINT: BeginPaint at construction, EndPaint at destruction.
class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* pWnd);
  ~CPaintDC() override;

  PAINTSTRUCT m_ps;

 protected:
  HWND m_hWnd;
};

#include "classlib/Gdi.h"

#include "classlib/TemporaryObjects.h"
#include "classlib/WinApp.h"
#include "classlib/Wnd.h"

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
  if (hObject == nullptr || m_hObject != nullptr) return FALSE;
  m_hObject = hObject;
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ hObject = m_hObject;
  m_hObject = nullptr;
  return hObject;
}

BOOL CGdiObject::DeleteObject() {
  if (m_hObject == nullptr) return FALSE;
  return ::DeleteObject(Detach());
}

BOOL CBitmap::LoadBitmap(UINT nIDResource) {
  return LoadBitmap(MAKEINTRESOURCEA(nIDResource));
}

BOOL CBitmap::LoadBitmap(LPCTSTR lpszResourceName) {
  HINSTANCE module = AfxFindResourceHandle(lpszResourceName, RT_BITMAP);
  return Attach(::LoadBitmapA(module, lpszResourceName));
}

CDC::~CDC() {
  if (m_bOwned) DeleteDC();
}

BOOL CDC::Attach(HDC hDC) {
  if (hDC == nullptr || m_hDC != nullptr) return FALSE;
  m_hDC = hDC;
  m_bOwned = FALSE;
  return TRUE;
}

HDC CDC::Detach() {
  HDC hDC = m_hDC;
  m_hDC = nullptr;
  m_bOwned = FALSE;
  return hDC;
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) {
  if (m_hDC != nullptr) return FALSE;
  m_hDC = ::CreateCompatibleDC(pDC != nullptr ? pDC->GetSafeHdc() : nullptr);
  m_bOwned = m_hDC != nullptr;
  return m_bOwned;
}

BOOL CDC::DeleteDC() {
  if (m_hDC == nullptr) return FALSE;
  return ::DeleteDC(Detach());
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
  HGDIOBJ previous = ::SelectObject(m_hDC, pBitmap->GetSafeHandle());
  if (previous == nullptr) return nullptr;
  return classlib_detail::TemporaryWrapper<CBitmap, CGdiObject, HGDIOBJ,
                                           &CGdiObject::m_hObject>(previous);
}

CBrush* CDC::SelectObject(CBrush* pBrush) {
  HGDIOBJ previous = ::SelectObject(m_hDC, pBrush->GetSafeHandle());
  if (previous == nullptr) return nullptr;
  return classlib_detail::TemporaryWrapper<CBrush, CGdiObject, HGDIOBJ,
                                           &CGdiObject::m_hObject>(previous);
}

CGdiObject* CDC::SelectObject(CGdiObject* pObject) {
  HGDIOBJ previous = ::SelectObject(m_hDC, pObject->GetSafeHandle());
  if (previous == nullptr) return nullptr;
  return classlib_detail::TemporaryWrapper<CGdiObject, CGdiObject, HGDIOBJ,
                                           &CGdiObject::m_hObject>(previous);
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr) {
  HBRUSH brush = ::CreateSolidBrush(clr);
  ::FillRect(m_hDC, lpRect, brush);
  ::DeleteObject(brush);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) {
  const RECT rect = {x, y, x + cx, y + cy};
  FillSolidRect(&rect, clr);
}

void CDC::Draw3dRect(LPCRECT lpRect, COLORREF clrTopLeft, COLORREF clrBottomRight) {
  Draw3dRect(lpRect->left, lpRect->top, lpRect->right - lpRect->left,
             lpRect->bottom - lpRect->top, clrTopLeft, clrBottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF clrTopLeft,
                     COLORREF clrBottomRight) {
  FillSolidRect(x, y, cx - 1, 1, clrTopLeft);
  FillSolidRect(x, y, 1, cy - 1, clrTopLeft);
  FillSolidRect(x + cx - 1, y, 1, cy, clrBottomRight);
  FillSolidRect(x, y + cy - 1, cx, 1, clrBottomRight);
}

CSize CDC::GetTextExtent(LPCTSTR lpszString, int nCount) const {
  SIZE size = {0, 0};
  ::GetTextExtentPoint32A(m_hDC, lpszString, nCount, &size);
  return CSize(size);
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_ps(), m_hWnd(pWnd->GetSafeHwnd()) {
  Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC() {
  ::EndPaint(m_hWnd, &m_ps);
  Detach();
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd != nullptr ? pWnd->GetSafeHwnd() : nullptr) {
  Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC() { ::ReleaseDC(m_hWnd, Detach()); }

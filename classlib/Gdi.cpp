#include "classlib/Gdi.h"

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

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr) {
  HBRUSH brush = ::CreateSolidBrush(clr);
  ::FillRect(m_hDC, lpRect, brush);
  ::DeleteObject(brush);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) {
  const RECT rect = {x, y, x + cx, y + cy};
  FillSolidRect(&rect, clr);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF clrTopLeft, COLORREF clrBottomRight) {
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

#pragma once
#include <windows.h>

#include "classlib/MessageMap.h"
#include "classlib/WinTypes.h"

// A window. A CWnd is either permanent, bound to its window by SubclassWindow or by being
// created through this layer (its messages then run through the message map), or temporary: a
// wrapper around a handle that FromHandle returns for windows nobody bound, valid as long as the
// thread runs.
class CWnd : public CCmdTarget {
 public:
  CWnd();
  ~CWnd() override;  // destroys a window still bound to it, as the class library does

  HWND m_hWnd;

  HWND GetSafeHwnd() const { return m_hWnd; }

  // The permanent CWnd of a window, else a temporary one (null for a null handle).
  static CWnd* FromHandle(HWND hWnd);
  // The permanent CWnd of a window, or null.
  static CWnd* FromHandlePermanent(HWND hWnd);

  // Routes the window's messages through this object's map; unhandled ones go on to the
  // window's previous procedure. FALSE when the window is null or already bound.
  BOOL SubclassWindow(HWND hWnd);
  HWND UnsubclassWindow();

  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
  }

  CWnd* GetDlgItem(int nID) const;
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }

  BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE)); }
  void GetWindowRect(LPRECT lpRect) const { ::GetWindowRect(m_hWnd, lpRect); }
  void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
  void ScreenToClient(LPPOINT lpPoint) const { ::ScreenToClient(m_hWnd, lpPoint); }
  void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE) {
    ::InvalidateRect(m_hWnd, lpRect, bErase);
  }
  UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) {
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
  }
  HICON SetIcon(HICON hIcon, BOOL bBigIcon);

  // The message machinery. WindowProc runs a message through OnWndMsg (the map) and, when no
  // entry handles it, DefWindowProc (the window's previous procedure).
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // A parent offers a child's notification (WM_NOTIFY, WM_COMMAND, WM_DRAWITEM) to the child
  // first; TRUE when the child handled it, with *pResult the answer. By default the child's
  // reflected entries (ON_NOTIFY_REFLECT) answer.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // The default processing of the message being handled.
  LRESULT Default();

  // The window procedure of every bound window.
  static LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  // Called once the object is bound and before the procedure is replaced.
  virtual void PreSubclassWindow();

  // Creates a window through this layer: it is bound from its first message on, so its map
  // sees WM_NCCREATE and WM_CREATE.
  BOOL CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                const RECT& rect, CWnd* pParentWnd, UINT nID);

  // Default handlers: each runs the default processing.
  afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
  afx_msg void OnDestroy();
  afx_msg void OnTimer(UINT_PTR nIDEvent);
  afx_msg void OnShowWindow(BOOL bShow, UINT nStatus);
  afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
  afx_msg void OnPaint();

  WNDPROC m_pfnSuper;  // the procedure the window had before it was bound
};

// Creation hook: the next window this thread creates (an IME window excepted) is bound to pWnd
// as it is created, before its first message. The hook stays until AfxUnhookWindowCreate.
void AfxHookWindowCreate(CWnd* pWnd);
// TRUE when the pending window was bound; removes the hook.
BOOL AfxUnhookWindowCreate();

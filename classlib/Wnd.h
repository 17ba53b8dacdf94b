#pragma once
#include <windows.h>

#include "classlib/CString.h"
#include "classlib/MessageMap.h"
#include "classlib/WinTypes.h"

class CDataExchange;

// A menu handle. Like the class library's, the destructor destroys a menu that is still
// attached; Detach first to keep it (the system menu wrapper of CWnd does).
class CMenu {
 public:
  CMenu() = default;
  ~CMenu() { DestroyMenu(); }
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  BOOL Attach(HMENU menu);
  HMENU Detach();
  BOOL DestroyMenu();
  HMENU GetSafeHmenu() const { return m_hMenu; }
  operator HMENU() const { return m_hMenu; }

  BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr) {
    return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
  }
  // Wide text for entries outside the ANSI code page (resources are stored as UTF-16; a narrow
  // call would turn such characters into '?').
  BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCWSTR lpszNewItem) {
    return ::AppendMenuW(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
  }
  int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
  UINT GetMenuItemID(int nPos) const { return ::GetMenuItemID(m_hMenu, nPos); }

  HMENU m_hMenu = nullptr;
};

// A window. A CWnd is either permanent, bound to its window by SubclassWindow or by being
// created through this layer (its messages then run through the message map), or temporary: a
// wrapper around a handle that FromHandle returns for windows nobody bound, valid as long as the
// thread runs.
class CWnd : public CCmdTarget {
 public:
  CWnd();
  ~CWnd() override;  // destroys a window still bound to it, as the class library does

  HWND m_hWnd;

  operator HWND() const { return m_hWnd; }
  HWND GetSafeHwnd() const { return m_hWnd; }

  // The permanent CWnd of a window, else a temporary one (null for a null handle).
  static CWnd* FromHandle(HWND hWnd);
  // The permanent CWnd of a window, or null.
  static CWnd* FromHandlePermanent(HWND hWnd);

  BOOL Attach(HWND hWndNew);
  HWND Detach();
  // Routes the window's messages through this object's map; unhandled ones go on to the
  // window's previous procedure. FALSE when the window is null or already bound.
  BOOL SubclassWindow(HWND hWnd);
  BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
  HWND UnsubclassWindow();

  BOOL DestroyWindow();

  // Messages.
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
  }
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
  }

  // Child windows and dialog items.
  CWnd* GetDlgItem(int nID) const;
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  CWnd* GetParent() const;
  void CheckDlgButton(int nIDButton, UINT nCheck) { ::CheckDlgButton(m_hWnd, nIDButton, nCheck); }
  UINT IsDlgButtonChecked(int nIDButton) const { return ::IsDlgButtonChecked(m_hWnd, nIDButton); }

  // State and geometry.
  BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
  BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
  static CWnd* GetFocus() { return FromHandle(::GetFocus()); }
  DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE)); }
  DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_EXSTYLE)); }
  void GetWindowRect(LPRECT lpRect) const { ::GetWindowRect(m_hWnd, lpRect); }
  void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
  void ScreenToClient(LPPOINT lpPoint) const { ::ScreenToClient(m_hWnd, lpPoint); }
  void ScreenToClient(LPRECT lpRect) const;
  void ClientToScreen(LPPOINT lpPoint) const { ::ClientToScreen(m_hWnd, lpPoint); }
  void MoveWindow(int x, int y, int width, int height, BOOL bRepaint = TRUE) {
    ::MoveWindow(m_hWnd, x, y, width, height, bRepaint);
  }
  void SetWindowText(LPCTSTR lpszString) { ::SetWindowTextA(m_hWnd, lpszString); }
  void GetWindowText(CString& rString) const;

  // Painting.
  void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE) {
    ::InvalidateRect(m_hWnd, lpRect, bErase);
  }
  void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
  void UpdateWindow() { ::UpdateWindow(m_hWnd); }

  // Timers, icons, the system menu, message boxes.
  UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) {
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
  }
  BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }
  HICON SetIcon(HICON hIcon, BOOL bBigIcon);
  // The window's system menu (bRevert TRUE: restore the default one and return null). The
  // CMenu is owned by this CWnd.
  CMenu* GetSystemMenu(BOOL bRevert) const;
  int MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption = nullptr, UINT nType = MB_OK) {
    return ::MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
  }

  // Dialog data: DoDataExchange moves member values into controls (FALSE) or back (TRUE).
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
  virtual void DoDataExchange(CDataExchange* pDX);

  // The message machinery. WindowProc runs a message through OnWndMsg (the map) and, when no
  // entry handles it, DefWindowProc (the window's previous procedure).
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // A parent offers a child's notification (WM_NOTIFY, WM_COMMAND, WM_DRAWITEM) to the child
  // first; TRUE when the child handled it, with *pResult the answer.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  BOOL ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // Offers the current message to the permanent CWnd of child hWndChild, if there is one.
  static BOOL ReflectLastMsg(HWND hWndChild, LRESULT* pResult = nullptr);
  // The default processing of the message being handled.
  LRESULT Default();

  // The window procedure of every bound window.
  static LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  // Called after Attach and before the procedure is replaced, when a window is bound.
  virtual void PreSubclassWindow();
  // Called after the window is gone and this object is unbound from it.
  virtual void PostNcDestroy();

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
  afx_msg HCURSOR OnQueryDragIcon();
  afx_msg void OnDropFiles(HDROP hDropInfo);
  // F1 in a top-level window becomes the help command of the main window, as in the class
  // library.
  afx_msg LRESULT OnHelpMessage(WPARAM wParam, LPARAM lParam);

  WNDPROC m_pfnSuper;  // the procedure the window had before it was bound

  DECLARE_MESSAGE_MAP()

 private:
  mutable CMenu m_systemMenu;
};

// Creation hook: the next window this thread creates (an IME window excepted) is bound to pWnd
// as it is created, before its first message. The hook stays until AfxUnhookWindowCreate.
void AfxHookWindowCreate(CWnd* pWnd);
// TRUE when the pending window was bound; removes the hook.
BOOL AfxUnhookWindowCreate();

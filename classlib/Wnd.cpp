#include "classlib/Wnd.h"

#include <map>

namespace {

// The permanent CWnd of a window is kept in a window property.
const char kWindowObjectProperty[] = "QX48.CWnd";

// The message being handled on this thread, for Default().
struct CurrentMessage {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
thread_local CurrentMessage t_currentMessage = {0, 0, 0};

struct CreationHook {
  HHOOK hook = nullptr;
  CWnd* pending = nullptr;  // the object that the next created window is bound to
  BOOL bound = FALSE;
};
thread_local CreationHook t_creationHook;

// The input method's default window is created along with a thread's first top-level window,
// from inside that window's creation: it must not take the pending object.
BOOL IsImeWindow(HWND hWnd) {
  if ((::GetClassLongA(hWnd, GCL_STYLE) & CS_IME) != 0) return TRUE;
  char className[16] = "";
  ::GetClassNameA(hWnd, className, sizeof className);
  return lstrcmpiA(className, "IME") == 0;
}

LRESULT CALLBACK CbtFilterHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && t_creationHook.pending != nullptr) {
    HWND hWnd = reinterpret_cast<HWND>(wParam);
    if (!IsImeWindow(hWnd)) {
      CWnd* pWnd = t_creationHook.pending;
      t_creationHook.pending = nullptr;
      t_creationHook.bound = pWnd->SubclassWindow(hWnd);
    }
  }
  return ::CallNextHookEx(t_creationHook.hook, code, wParam, lParam);
}

// Offers a message of a parent to the permanent CWnd of one of its children.
BOOL ReflectToChild(HWND hWndChild, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  CWnd* child = CWnd::FromHandlePermanent(hWndChild);
  return child != nullptr && child->OnChildNotify(message, wParam, lParam, pResult);
}

// The temporary CWnd of a window nobody bound: one per window and thread, kept until the thread
// ends. It never owns its window, so dropping it leaves the window alone.
CWnd* TemporaryWindow(HWND hWnd) {
  struct Temporaries {
    std::map<HWND, CWnd*> items;
    ~Temporaries() {
      for (auto& item : items) {
        item.second->m_hWnd = nullptr;
        delete item.second;
      }
    }
  };
  thread_local Temporaries temporaries;
  CWnd*& slot = temporaries.items[hWnd];
  if (slot == nullptr) {
    slot = new CWnd;
    slot->m_hWnd = hWnd;
  }
  return slot;
}

}  // namespace

void AfxHookWindowCreate(CWnd* pWnd) {
  if (t_creationHook.hook == nullptr) {
    t_creationHook.hook =
        ::SetWindowsHookExA(WH_CBT, CbtFilterHook, nullptr, ::GetCurrentThreadId());
  }
  t_creationHook.pending = pWnd;
  t_creationHook.bound = FALSE;
}

BOOL AfxUnhookWindowCreate() {
  const BOOL bound = t_creationHook.bound && t_creationHook.pending == nullptr;
  t_creationHook.pending = nullptr;
  t_creationHook.bound = FALSE;
  if (t_creationHook.hook != nullptr) {
    ::UnhookWindowsHookEx(t_creationHook.hook);
    t_creationHook.hook = nullptr;
  }
  return bound;
}

CWnd::CWnd() : m_hWnd(nullptr), m_pfnSuper(nullptr) {}

CWnd::~CWnd() {
  if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this && ::IsWindow(m_hWnd)) {
    // Only this class's part of the object is left: the window's last messages see CWnd's map.
    ::DestroyWindow(m_hWnd);
  }
  if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this) UnsubclassWindow();
}

CWnd* CWnd::FromHandle(HWND hWnd) {
  if (hWnd == nullptr) return nullptr;
  CWnd* permanent = FromHandlePermanent(hWnd);
  if (permanent != nullptr) return permanent;
  return TemporaryWindow(hWnd);
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
  if (hWnd == nullptr) return nullptr;
  return static_cast<CWnd*>(::GetPropA(hWnd, kWindowObjectProperty));
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
  if (hWnd == nullptr || m_hWnd != nullptr || FromHandlePermanent(hWnd) != nullptr) return FALSE;
  if (!::SetPropA(hWnd, kWindowObjectProperty, this)) return FALSE;
  m_hWnd = hWnd;
  PreSubclassWindow();
  m_pfnSuper = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::AfxWndProc)));
  return TRUE;
}

HWND CWnd::UnsubclassWindow() {
  HWND hWnd = m_hWnd;
  if (hWnd == nullptr) return nullptr;
  if (m_pfnSuper != nullptr) {
    ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
  }
  if (FromHandlePermanent(hWnd) == this) ::RemovePropA(hWnd, kWindowObjectProperty);
  m_hWnd = nullptr;
  return hWnd;
}

CWnd* CWnd::GetDlgItem(int nID) const {
  return FromHandle(::GetDlgItem(m_hWnd, nID));
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
  return reinterpret_cast<HICON>(
      SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

LRESULT CALLBACK CWnd::AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* pWnd = FromHandlePermanent(hWnd);
  if (pWnd == nullptr) return ::DefWindowProcA(hWnd, message, wParam, lParam);

  const CurrentMessage outer = t_currentMessage;
  t_currentMessage = {message, wParam, lParam};
  const LRESULT result = pWnd->WindowProc(message, wParam, lParam);
  t_currentMessage = outer;

  // The window's last message: it goes back to its own procedure and the object is free.
  if (message == WM_NCDESTROY && FromHandlePermanent(hWnd) == pWnd) pWnd->UnsubclassWindow();
  return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  switch (message) {
    case WM_COMMAND:
      if (!OnCommand(wParam, lParam)) return FALSE;
      *pResult = 0;
      return TRUE;
    case WM_NOTIFY:
      return OnNotify(wParam, lParam, pResult);
    case WM_DRAWITEM: {
      // An owner-drawn control draws itself: the request is offered to its CWnd first.
      const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item != nullptr && item->CtlType != ODT_MENU &&
          ReflectToChild(item->hwndItem, message, wParam, lParam, pResult)) {
        return TRUE;
      }
      break;
    }
    default:
      break;
  }
  const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(message, 0, 0);
  if (entry == nullptr) return FALSE;
  return entry->pfn(this, wParam, lParam, pResult);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper != nullptr) return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
  return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT nID = LOWORD(wParam);
  int nCode = HIWORD(wParam);
  HWND hWndControl = reinterpret_cast<HWND>(lParam);
  if (hWndControl == nullptr) {
    if (nCode == 1) nCode = 0;  // an accelerator runs the same command as its menu entry
  } else {
    LRESULT ignored = 0;
    if (ReflectToChild(hWndControl, WM_COMMAND, wParam, lParam, &ignored)) return TRUE;
  }
  return OnCmdMsg(nID, nCode, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
  if (header == nullptr) return FALSE;
  if (header->hwndFrom != nullptr && header->hwndFrom != m_hWnd &&
      ReflectToChild(header->hwndFrom, WM_NOTIFY, wParam, lParam, pResult)) {
    return TRUE;
  }
  const AFX_MSGMAP_ENTRY* entry =
      FindMessageEntry(WM_NOTIFY, header->code, static_cast<UINT>(header->idFrom));
  if (entry == nullptr) return FALSE;
  return entry->pfn(this, wParam, lParam, pResult);
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  UINT code = 0;
  switch (message) {
    case WM_NOTIFY:
      code = reinterpret_cast<const NMHDR*>(lParam)->code;
      break;
    case WM_COMMAND:
      code = HIWORD(wParam);
      break;
    default:
      return FALSE;
  }
  const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(WM_REFLECT_BASE + message, code, 0);
  if (entry == nullptr) return FALSE;
  return entry->pfn(this, wParam, lParam, pResult);
}

LRESULT CWnd::Default() {
  return DefWindowProc(t_currentMessage.message, t_currentMessage.wParam, t_currentMessage.lParam);
}

void CWnd::PreSubclassWindow() {}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID) {
  if (m_hWnd != nullptr) return FALSE;
  AfxHookWindowCreate(this);
  // The layer is linked into the program, never into a DLL: the program's module is the instance.
  HWND hWnd = ::CreateWindowExA(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left,
                                rect.top, rect.right - rect.left, rect.bottom - rect.top,
                                pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)),
                                ::GetModuleHandleA(nullptr), nullptr);
  const BOOL bound = AfxUnhookWindowCreate();
  if (hWnd == nullptr) return FALSE;
  return bound || SubclassWindow(hWnd);
}

int CWnd::OnCreate(LPCREATESTRUCT /*lpCreateStruct*/) {
  return static_cast<int>(Default());
}

void CWnd::OnDestroy() {
  Default();
}

void CWnd::OnTimer(UINT_PTR /*nIDEvent*/) {
  Default();
}

void CWnd::OnShowWindow(BOOL /*bShow*/, UINT /*nStatus*/) {
  Default();
}

void CWnd::OnSysCommand(UINT /*nID*/, LPARAM /*lParam*/) {
  Default();
}

void CWnd::OnPaint() {
  Default();
}

#pragma once
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

// Message maps as the class library writes them: each class lists its handlers in a static table
// (BEGIN_MESSAGE_MAP ... END_MESSAGE_MAP) that chains to its base class's table. An entry holds
// what it answers (message, notification code, control id) and a small thunk that unpacks
// wParam/lParam and calls the handler with the class library's signature, so a handler with the
// wrong signature does not compile.

class CCmdTarget;

#define afx_msg

// Notifications a parent reflects back to the control that sent them are looked up under the
// message plus this offset (ON_NOTIFY_REFLECT).
#define WM_REFLECT_BASE 0xBC00

// The standard help command, routed to CWinApp::OnHelp.
#ifndef ID_HELP
#define ID_HELP 0xE146
#endif

// Calls one handler; *result is what the window procedure returns. TRUE: the message is handled.
typedef BOOL (*AFX_PMSG)(CCmdTarget* target, WPARAM wParam, LPARAM lParam, LRESULT* result);

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;  // WM_xxx, or WM_REFLECT_BASE + WM_NOTIFY for a reflected notification
  UINT nCode;     // notification code for WM_COMMAND and WM_NOTIFY entries, else 0
  UINT nID;       // control or command id for WM_COMMAND and WM_NOTIFY entries, else 0
  AFX_PMSG pfn;   // null ends the table
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();  // null for the root of the chain
  const AFX_MSGMAP_ENTRY* lpEntries;
};

// An object with a message map, the root of the window and application classes.
class CCmdTarget {
 public:
  virtual ~CCmdTarget() = default;
  CCmdTarget(const CCmdTarget&) = delete;
  CCmdTarget& operator=(const CCmdTarget&) = delete;

  // The first entry for (message, code, id) in this object's map, then in its bases' maps;
  // null when there is none.
  const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message, UINT code, UINT id) const;

  // Runs the WM_COMMAND handler for command nID with notification code nCode. TRUE when one
  // ran. pExtra and pHandlerInfo are kept for the class library's signature and must be null.
  virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo);

 protected:
  CCmdTarget() = default;
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
};

// The table macros are laid out by hand, one thunk per entry; the formatter would fold them.
// clang-format off
#define DECLARE_MESSAGE_MAP()                   \
 protected:                                     \
  static const AFX_MSGMAP* GetThisMessageMap(); \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
    using ThisClass [[maybe_unused]] = theClass;                                    \
    using TheBaseClass = baseClass;                                                 \
    static const AFX_MSGMAP_ENTRY messageEntries[] = {

#define END_MESSAGE_MAP()                                                             \
  {0, 0, 0, nullptr}};                                                                \
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, messageEntries}; \
  return &messageMap;                                                                 \
  }

// The handler's object, as the class that owns the map.
#define AFX_MSG_TARGET (static_cast<ThisClass*>(target))

// Window messages: the handler names and signatures are fixed, as in the class library.
#define ON_WM_CREATE()                                                                  \
  {WM_CREATE, 0, 0,                                                                     \
   [](CCmdTarget* target, WPARAM, LPARAM lParam, LRESULT* result) -> BOOL {             \
     int (ThisClass::*handler)(LPCREATESTRUCT) = &ThisClass::OnCreate;                  \
     *result = (AFX_MSG_TARGET->*handler)(reinterpret_cast<LPCREATESTRUCT>(lParam));    \
     return TRUE;                                                                       \
   }},

#define ON_WM_DESTROY()                                                    \
  {WM_DESTROY, 0, 0, [](CCmdTarget* target, WPARAM, LPARAM, LRESULT* result) -> BOOL { \
     void (ThisClass::*handler)() = &ThisClass::OnDestroy;                 \
     (AFX_MSG_TARGET->*handler)();                                         \
     *result = 0;                                                          \
     return TRUE;                                                          \
   }},

#define ON_WM_TIMER()                                                                     \
  {WM_TIMER, 0, 0, [](CCmdTarget* target, WPARAM wParam, LPARAM, LRESULT* result) -> BOOL { \
     void (ThisClass::*handler)(UINT_PTR) = &ThisClass::OnTimer;                          \
     (AFX_MSG_TARGET->*handler)(static_cast<UINT_PTR>(wParam));                           \
     *result = 0;                                                                         \
     return TRUE;                                                                         \
   }},

#define ON_WM_SHOWWINDOW()                                                              \
  {WM_SHOWWINDOW, 0, 0,                                                                 \
   [](CCmdTarget* target, WPARAM wParam, LPARAM lParam, LRESULT* result) -> BOOL {      \
     void (ThisClass::*handler)(BOOL, UINT) = &ThisClass::OnShowWindow;                 \
     (AFX_MSG_TARGET->*handler)(static_cast<BOOL>(wParam), static_cast<UINT>(lParam));  \
     *result = 0;                                                                       \
     return TRUE;                                                                       \
   }},

#define ON_WM_SYSCOMMAND()                                                         \
  {WM_SYSCOMMAND, 0, 0,                                                            \
   [](CCmdTarget* target, WPARAM wParam, LPARAM lParam, LRESULT* result) -> BOOL { \
     void (ThisClass::*handler)(UINT, LPARAM) = &ThisClass::OnSysCommand;          \
     (AFX_MSG_TARGET->*handler)(static_cast<UINT>(wParam), lParam);                \
     *result = 0;                                                                  \
     return TRUE;                                                                  \
   }},

#define ON_WM_PAINT()                                                             \
  {WM_PAINT, 0, 0, [](CCmdTarget* target, WPARAM, LPARAM, LRESULT* result) -> BOOL { \
     void (ThisClass::*handler)() = &ThisClass::OnPaint;                          \
     (AFX_MSG_TARGET->*handler)();                                                \
     *result = 0;                                                                 \
     return TRUE;                                                                 \
   }},

#define ON_WM_QUERYDRAGICON()                                                      \
  {WM_QUERYDRAGICON, 0, 0,                                                         \
   [](CCmdTarget* target, WPARAM, LPARAM, LRESULT* result) -> BOOL {               \
     HCURSOR (ThisClass::*handler)() = &ThisClass::OnQueryDragIcon;                \
     *result = reinterpret_cast<LRESULT>((AFX_MSG_TARGET->*handler)());            \
     return TRUE;                                                                  \
   }},

#define ON_WM_DROPFILES()                                                            \
  {WM_DROPFILES, 0, 0,                                                               \
   [](CCmdTarget* target, WPARAM wParam, LPARAM, LRESULT* result) -> BOOL {          \
     void (ThisClass::*handler)(HDROP) = &ThisClass::OnDropFiles;                    \
     (AFX_MSG_TARGET->*handler)(reinterpret_cast<HDROP>(wParam));                    \
     *result = 0;                                                                    \
     return TRUE;                                                                    \
   }},

// Any message, handled by LRESULT memberFxn(WPARAM, LPARAM).
#define ON_MESSAGE(message, memberFxn)                                                  \
  {static_cast<UINT>(message), 0, 0,                                                    \
   [](CCmdTarget* target, WPARAM wParam, LPARAM lParam, LRESULT* result) -> BOOL {      \
     LRESULT (ThisClass::*handler)(WPARAM, LPARAM) = memberFxn;                         \
     *result = (AFX_MSG_TARGET->*handler)(wParam, lParam);                              \
     return TRUE;                                                                       \
   }},

// Commands (menus, accelerators, buttons) and control notifications by WM_COMMAND:
// void memberFxn(). memberFxn is written &CClass::Handler.
#define ON_CONTROL(notifyCode, id, memberFxn)                                       \
  {WM_COMMAND, static_cast<UINT>(notifyCode), static_cast<UINT>(id),                \
   [](CCmdTarget* target, WPARAM, LPARAM, LRESULT* result) -> BOOL {                \
     void (ThisClass::*handler)() = memberFxn;                                      \
     (AFX_MSG_TARGET->*handler)();                                                  \
     *result = 0;                                                                   \
     return TRUE;                                                                   \
   }},
#define ON_COMMAND(id, memberFxn) ON_CONTROL(0, id, memberFxn)
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)

// WM_NOTIFY from child id: void memberFxn(NMHDR*, LRESULT*); the result starts at 0.
#define ON_NOTIFY(notifyCode, id, memberFxn)                                           \
  {WM_NOTIFY, static_cast<UINT>(notifyCode), static_cast<UINT>(id),                    \
   [](CCmdTarget* target, WPARAM, LPARAM lParam, LRESULT* result) -> BOOL {            \
     void (ThisClass::*handler)(NMHDR*, LRESULT*) = memberFxn;                         \
     *result = 0;                                                                      \
     (AFX_MSG_TARGET->*handler)(reinterpret_cast<NMHDR*>(lParam), result);             \
     return TRUE;                                                                      \
   }},

// A control's own WM_NOTIFY, reflected back to it by its parent. The control consumes it: the
// parent's map never sees it.
#define ON_NOTIFY_REFLECT(notifyCode, memberFxn)                                       \
  {WM_REFLECT_BASE + WM_NOTIFY, static_cast<UINT>(notifyCode), 0,                      \
   [](CCmdTarget* target, WPARAM, LPARAM lParam, LRESULT* result) -> BOOL {            \
     void (ThisClass::*handler)(NMHDR*, LRESULT*) = memberFxn;                         \
     *result = 0;                                                                      \
     (AFX_MSG_TARGET->*handler)(reinterpret_cast<NMHDR*>(lParam), result);             \
     return TRUE;                                                                      \
   }},
// clang-format on

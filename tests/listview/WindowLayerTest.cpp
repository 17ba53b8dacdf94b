// The window half of the class layer, in real windows: where a message goes (the creation hook,
// map chaining, reflection, custom-draw results, owner-draw requests), data exchange, the
// profile file and the program's entry point.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ModelessDialog.h"
#include "TestResource.h"
#include "WindowTestSupport.h"
#include "classlib/afxwin.h"

namespace {

constexpr UINT ID_PROBE_A = 40001;
constexpr UINT ID_PROBE_B = 40002;
constexpr UINT ID_PROBE_APP = 40003;
constexpr UINT ID_PROBE_UNHANDLED = 40004;

class CLayerTestApp : public CWinApp {
 public:
  int appCommands = 0;
  int helpCommands = 0;

  void OnAppCommand() { ++appCommands; }
  void OnHelpProbe() { ++helpCommands; }

  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLayerTestApp, CWinApp)
ON_COMMAND(ID_PROBE_APP, &CLayerTestApp::OnAppCommand)
ON_COMMAND(ID_HELP, &CLayerTestApp::OnHelpProbe)
END_MESSAGE_MAP()

CLayerTestApp theApp;

// The text of a status bar part and, in *type, its drawing type (0, SBT_NOBORDERS, ...).
std::string StatusText(HWND bar, int part, int* type) {
  const LRESULT lengthAndType =
      ::SendMessageA(bar, SB_GETTEXTLENGTHA, static_cast<WPARAM>(part), 0);
  *type = HIWORD(lengthAndType);
  std::string text(LOWORD(lengthAndType) + 1u, '\0');
  ::SendMessageA(bar, SB_GETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(&text[0]));
  return text.c_str();
}

// Inserts a row with its first text at index; the list view's result: the row's index or -1.
int InsertRow(CListCtrl& list, int index, const char* text) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = const_cast<char*>(text);
  return list.InsertItem(&item);
}

// ---- The creation hook: WM_CREATE of a dialog reaches its map ----

class CCreateProbeDlg : public CDialog {
 public:
  CCreateProbeDlg() : CDialog(IDD_LAYER_TEST) {}

  std::vector<std::string> events;
  std::string createdTitle;
  bool failCreate = false;
  HWND statusBarAtInit = nullptr;
  CStatusBarCtrl m_status;

 protected:
  afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct) {
    events.push_back("create");
    createdTitle = lpCreateStruct->lpszName != nullptr ? lpCreateStruct->lpszName : "";
    if (CDialog::OnCreate(lpCreateStruct) == -1) return -1;
    if (failCreate) return -1;
    m_status.Create(WS_CHILD | WS_VISIBLE | CCS_BOTTOM, CRect(0, 0, 0, 0), this, 3);
    return 0;
  }
  BOOL OnInitDialog() override {
    events.push_back("init");
    CDialog::OnInitDialog();
    statusBarAtInit = ::GetDlgItem(m_hWnd, 3);
    ::PostMessageA(m_hWnd, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
  }
  afx_msg void OnDestroy() {
    events.push_back("destroy");
    CDialog::OnDestroy();
  }

  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CCreateProbeDlg, CDialog)
ON_WM_CREATE()
ON_WM_DESTROY()
END_MESSAGE_MAP()

TEST(CreationHook, ModalDialogSeesCreateBeforeInitAndItsChildIsBound) {
  CCreateProbeDlg dialog;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.events, (std::vector<std::string>{"create", "init", "destroy"}));
  EXPECT_EQ(dialog.createdTitle, "Layer test");
  ASSERT_NE(dialog.statusBarAtInit, nullptr);
  // Everything is unbound once the windows are gone.
  EXPECT_EQ(dialog.m_hWnd, nullptr);
  EXPECT_EQ(dialog.m_status.m_hWnd, nullptr);
}

TEST(CreationHook, StatusBarCreatedInOnCreateIsAPermanentChild) {
  CCreateProbeDlg dialog;
  ASSERT_TRUE(CreateModeless(dialog, IDD_LAYER_TEST));
  HWND bar = ::GetDlgItem(dialog.m_hWnd, 3);
  ASSERT_NE(bar, nullptr);
  char className[64] = "";
  GetClassNameA(bar, className, sizeof className);
  EXPECT_STREQ(className, STATUSCLASSNAMEA);
  EXPECT_EQ(CWnd::FromHandlePermanent(bar), &dialog.m_status);
  EXPECT_EQ(CWnd::FromHandlePermanent(dialog.m_hWnd), &dialog);
  int edges[2] = {120, -1};
  EXPECT_TRUE(dialog.m_status.SetParts(2, edges));
  EXPECT_TRUE(dialog.m_status.SetText("left part", 0, 0));
  EXPECT_TRUE(dialog.m_status.SetText("right part", 1, SBT_NOBORDERS));
  int type = -1;
  EXPECT_STREQ(StatusText(dialog.m_status.m_hWnd, 0, &type).c_str(), "left part");
  EXPECT_EQ(type, 0);
  EXPECT_STREQ(StatusText(dialog.m_status.m_hWnd, 1, &type).c_str(), "right part");
  EXPECT_EQ(type, SBT_NOBORDERS);
  ::DestroyWindow(dialog.m_hWnd);
  EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST(CreationHook, CreateRefusedByOnCreateFailsTheModalDialog) {
  CCreateProbeDlg dialog;
  dialog.failCreate = true;
  EXPECT_EQ(dialog.DoModal(), -1);
  ASSERT_FALSE(dialog.events.empty());
  EXPECT_EQ(dialog.events.front(), "create");
  EXPECT_EQ(std::count(dialog.events.begin(), dialog.events.end(), "init"), 0);
  EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST(CreationHook, MissingTemplateIsAFailedDialog) {
  CDialog dialog(999);
  EXPECT_EQ(dialog.DoModal(), -1);
}

// ---- Message-map chaining and command routing ----

class CBaseProbeDlg : public CDialog {
 public:
  CBaseProbeDlg() : CDialog(IDD_LAYER_TEST) {}
  std::vector<std::string> calls;

 protected:
  afx_msg void OnA() { calls.push_back("base A"); }
  afx_msg void OnB() { calls.push_back("base B"); }
  afx_msg void OnTimer(UINT_PTR nIDEvent) {
    calls.push_back("timer " + std::to_string(nIDEvent));
    ::KillTimer(m_hWnd, nIDEvent);
  }

  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseProbeDlg, CDialog)
ON_COMMAND(ID_PROBE_A, &CBaseProbeDlg::OnA)
ON_COMMAND(ID_PROBE_B, &CBaseProbeDlg::OnB)
ON_WM_TIMER()
END_MESSAGE_MAP()

class CDerivedProbeDlg : public CBaseProbeDlg {
 protected:
  afx_msg void OnDerivedB() { calls.push_back("derived B"); }
  afx_msg void OnButton() { calls.push_back("button"); }
  void OnCancel() override { calls.push_back("cancel"); }

  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedProbeDlg, CBaseProbeDlg)
ON_COMMAND(ID_PROBE_B, &CDerivedProbeDlg::OnDerivedB)
ON_BN_CLICKED(IDC_LAYER_BUTTON, &CDerivedProbeDlg::OnButton)
END_MESSAGE_MAP()

TEST(MessageMap, DerivedEntriesComeFirstAndTheBaseMapAnswersTheRest) {
  CDerivedProbeDlg dialog;
  ASSERT_TRUE(CreateModeless(dialog, IDD_LAYER_TEST));
  dialog.SendMessage(WM_COMMAND, ID_PROBE_A);
  dialog.SendMessage(WM_COMMAND, ID_PROBE_B);
  dialog.SendMessage(WM_COMMAND, MAKEWPARAM(ID_PROBE_B, 1));  // as an accelerator sends it
  ::SendMessageA(::GetDlgItem(dialog.m_hWnd, IDC_LAYER_BUTTON), BM_CLICK, 0, 0);
  // Escape in a dialog is IDCANCEL: CDialog's map calls the virtual OnCancel.
  dialog.SendMessage(WM_COMMAND, IDCANCEL);
  dialog.SetTimer(7, 10, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return dialog.calls.size() >= 6; }));
  EXPECT_EQ(dialog.calls, (std::vector<std::string>{"base A", "derived B", "derived B", "button",
                                                    "cancel", "timer 7"}));
  EXPECT_NE(dialog.m_hWnd, nullptr);  // the overridden OnCancel did not end the dialog
  ::DestroyWindow(dialog.m_hWnd);
}

TEST(MessageMap, CommandsTheDialogDoesNotHandleGoToTheApplication) {
  CDerivedProbeDlg dialog;
  ASSERT_TRUE(CreateModeless(dialog, IDD_LAYER_TEST));
  theApp.appCommands = 0;
  dialog.SendMessage(WM_COMMAND, ID_PROBE_APP);
  dialog.SendMessage(WM_COMMAND, ID_PROBE_UNHANDLED);
  EXPECT_EQ(theApp.appCommands, 1);
  EXPECT_TRUE(dialog.calls.empty());
  ::DestroyWindow(dialog.m_hWnd);
}

TEST(MessageMap, HelpKeyInATopLevelWindowBecomesTheMainWindowsHelpCommand) {
  CDerivedProbeDlg dialog;
  ASSERT_TRUE(CreateModeless(dialog, IDD_LAYER_TEST));
  theApp.m_pMainWnd = &dialog;
  theApp.helpCommands = 0;
  HELPINFO help = {};
  help.cbSize = sizeof help;
  help.iContextType = HELPINFO_WINDOW;
  // F1 on a control: the control's default processing passes WM_HELP up to the dialog.
  ::SendMessageA(::GetDlgItem(dialog.m_hWnd, IDC_LAYER_BUTTON), WM_HELP, 0,
                 reinterpret_cast<LPARAM>(&help));
  EXPECT_EQ(theApp.helpCommands, 1);
  theApp.m_pMainWnd = nullptr;
  ::DestroyWindow(dialog.m_hWnd);
}

// Each window-message entry unpacks its message the class library's way.
class CHandlersDlg : public CDialog {
 public:
  CHandlersDlg() : CDialog(IDD_LAYER_TEST) {}
  std::vector<std::string> calls;
  HICON dragIcon = ::LoadIconA(nullptr, MAKEINTRESOURCEA(32516));  // IDI_INFORMATION
  int cancels = 0;

 protected:
  afx_msg void OnSysCommand(UINT nID, LPARAM lParam) {
    calls.push_back("syscommand " + std::to_string(nID) + " " + std::to_string(lParam));
    if (nID != 0x0010) CDialog::OnSysCommand(nID, lParam);
  }
  afx_msg HCURSOR OnQueryDragIcon() { return static_cast<HCURSOR>(dragIcon); }
  afx_msg void OnShowWindow(BOOL bShow, UINT nStatus) {
    calls.push_back("show " + std::to_string(bShow) + " " + std::to_string(nStatus));
    CDialog::OnShowWindow(bShow, nStatus);
  }
  afx_msg void OnPaint() {
    calls.push_back("paint");
    CPaintDC dc(this);
  }
  afx_msg void OnDropFiles(HDROP hDropInfo) {
    calls.push_back("drop " + std::to_string(reinterpret_cast<UINT_PTR>(hDropInfo)));
  }
  afx_msg LRESULT OnUserMessage(WPARAM wParam, LPARAM lParam) {
    calls.push_back("user " + std::to_string(wParam) + " " + std::to_string(lParam));
    return 1234;
  }
  void OnCancel() override { ++cancels; }

  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CHandlersDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_QUERYDRAGICON()
ON_WM_SHOWWINDOW()
ON_WM_PAINT()
ON_WM_DROPFILES()
ON_MESSAGE(WM_APP + 5, &CHandlersDlg::OnUserMessage)
END_MESSAGE_MAP()

TEST(MessageMap, WindowMessagesReachTheirHandlersWithTheirArguments) {
  CHandlersDlg dialog;
  ASSERT_TRUE(CreateModeless(dialog, IDD_LAYER_TEST));
  EXPECT_EQ(dialog.SendMessage(WM_QUERYDRAGICON), reinterpret_cast<LRESULT>(dialog.dragIcon));
  EXPECT_EQ(dialog.SendMessage(WM_APP + 5, 17, 42), 1234);
  dialog.SendMessage(WM_SYSCOMMAND, 0x0010, 99);
  // Any other system command gets the default processing: Close becomes IDCANCEL.
  dialog.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
  dialog.SendMessage(WM_DROPFILES, 0x5150);
  dialog.SendMessage(WM_SHOWWINDOW, TRUE, SW_PARENTOPENING);
  dialog.SendMessage(WM_PAINT);  // a hidden window is never painted on its own
  PumpUntil([&] { return dialog.cancels > 0; }, 2000);  // the dialog posts IDCANCEL on close
  EXPECT_EQ(dialog.calls, (std::vector<std::string>{"user 17 42", "syscommand 16 99",
                                                    "syscommand " + std::to_string(SC_CLOSE) + " 0",
                                                    "drop 20816", "show 1 3", "paint"}));
  EXPECT_EQ(dialog.cancels, 1);
  ::DestroyWindow(dialog.m_hWnd);
}

// ---- Data exchange ----

class CExchangeDlg : public CDialog {
 public:
  CExchangeDlg() : CDialog(IDD_LAYER_TEST) {}
  BOOL m_twoStates = TRUE;
  int m_threeStates = 0;
  CListCtrl m_list;
  bool bindMissing = false;
  CWnd m_missing;

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LAYER_LIST, m_list);
    DDX_Check(pDX, IDC_LAYER_CHECK, m_twoStates);
    DDX_Check(pDX, IDC_LAYER_CHECK3, m_threeStates);
    if (bindMissing) DDX_Control(pDX, 9999, m_missing);
  }
};

UINT CheckState(const CDialog& dialog, int id) {
  return static_cast<UINT>(::SendMessageA(::GetDlgItem(dialog.m_hWnd, id), BM_GETCHECK, 0, 0));
}

TEST(DataExchange, InitDialogShowsTheMembersAndBindsTheControl) {
  CExchangeDlg dialog;
  dialog.m_twoStates = TRUE;
  dialog.m_threeStates = BST_INDETERMINATE;
  ASSERT_TRUE(CreateModeless(dialog, IDD_LAYER_TEST));
  EXPECT_EQ(CheckState(dialog, IDC_LAYER_CHECK), UINT(BST_CHECKED));
  EXPECT_EQ(CheckState(dialog, IDC_LAYER_CHECK3), UINT(BST_INDETERMINATE));
  EXPECT_EQ(dialog.m_list.m_hWnd, ::GetDlgItem(dialog.m_hWnd, IDC_LAYER_LIST));
  EXPECT_EQ(CWnd::FromHandlePermanent(dialog.m_list.m_hWnd), &dialog.m_list);
  EXPECT_EQ(dialog.GetDlgItem(IDC_LAYER_LIST), &dialog.m_list);
  // An unbound control comes back as the same temporary object every time.
  CWnd* button = dialog.GetDlgItem(IDC_LAYER_BUTTON);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->m_hWnd, ::GetDlgItem(dialog.m_hWnd, IDC_LAYER_BUTTON));
  EXPECT_EQ(dialog.GetDlgItem(IDC_LAYER_BUTTON), button);
  EXPECT_EQ(CWnd::FromHandlePermanent(button->m_hWnd), nullptr);
  button->EnableWindow(FALSE);
  EXPECT_FALSE(::IsWindowEnabled(button->m_hWnd));
  EXPECT_EQ(dialog.GetDlgItem(4242), nullptr);
  ::DestroyWindow(dialog.m_hWnd);
}

TEST(DataExchange, MembersToControls) {
  struct Case {
    int value;
    UINT shown;
    int memberAfter;  // a value out of range is shown unchecked and reset
  };
  const Case cases[] = {{0, BST_UNCHECKED, 0},
                        {1, BST_CHECKED, 1},
                        {2, BST_INDETERMINATE, 2},
                        {7, BST_UNCHECKED, 0},
                        {-1, BST_UNCHECKED, 0}};
  CExchangeDlg dialog;
  ASSERT_TRUE(CreateModeless(dialog, IDD_LAYER_TEST));
  for (const Case& c : cases) {
    dialog.m_threeStates = c.value;
    EXPECT_TRUE(dialog.UpdateData(FALSE));
    EXPECT_EQ(CheckState(dialog, IDC_LAYER_CHECK3), c.shown) << "value " << c.value;
    EXPECT_EQ(dialog.m_threeStates, c.memberAfter) << "value " << c.value;
  }
  ::DestroyWindow(dialog.m_hWnd);
}

TEST(DataExchange, ControlsToMembersAfterRealClicks) {
  CExchangeDlg dialog;
  dialog.m_twoStates = TRUE;
  dialog.m_threeStates = BST_UNCHECKED;
  ASSERT_TRUE(CreateModeless(dialog, IDD_LAYER_TEST));
  HWND two = ::GetDlgItem(dialog.m_hWnd, IDC_LAYER_CHECK);
  HWND three = ::GetDlgItem(dialog.m_hWnd, IDC_LAYER_CHECK3);

  ::SendMessageA(two, BM_CLICK, 0, 0);    // checked -> unchecked
  ::SendMessageA(three, BM_CLICK, 0, 0);  // unchecked -> checked
  EXPECT_TRUE(dialog.UpdateData(TRUE));
  EXPECT_EQ(dialog.m_twoStates, FALSE);
  EXPECT_EQ(dialog.m_threeStates, BST_CHECKED);

  ::SendMessageA(two, BM_CLICK, 0, 0);
  ::SendMessageA(three, BM_CLICK, 0, 0);  // checked -> indeterminate
  EXPECT_TRUE(dialog.UpdateData(TRUE));
  EXPECT_EQ(dialog.m_twoStates, TRUE);
  EXPECT_EQ(dialog.m_threeStates, BST_INDETERMINATE);
  ::DestroyWindow(dialog.m_hWnd);
}

TEST(DataExchange, AMissingControlFailsTheExchange) {
  CExchangeDlg dialog;
  ASSERT_TRUE(CreateModeless(dialog, IDD_LAYER_TEST));
  dialog.bindMissing = true;
  EXPECT_FALSE(dialog.UpdateData(TRUE));
  EXPECT_EQ(dialog.m_missing.m_hWnd, nullptr);
  ::DestroyWindow(dialog.m_hWnd);
}

// ---- Reflection: a control's own notifications go to the control first ----

class CReflectingList : public CListCtrl {
 public:
  int reflectedInserts = 0;
  int itemPrepaints = 0;

 protected:
  afx_msg void OnInsertItem(NMHDR* /*pNMHDR*/, LRESULT* pResult) {
    ++reflectedInserts;
    *pResult = 0;
  }
  // Asks for item notifications: they only come when this result reaches the list view.
  afx_msg void OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult) {
    const NMCUSTOMDRAW* draw = reinterpret_cast<NMCUSTOMDRAW*>(pNMHDR);
    if (draw->dwDrawStage == CDDS_PREPAINT) *pResult = CDRF_NOTIFYITEMDRAW;
    if (draw->dwDrawStage == CDDS_ITEMPREPAINT) ++itemPrepaints;
  }

  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CReflectingList, CListCtrl)
ON_NOTIFY_REFLECT(LVN_INSERTITEM, &CReflectingList::OnInsertItem)
ON_NOTIFY_REFLECT(NM_CUSTOMDRAW, &CReflectingList::OnCustomDraw)
END_MESSAGE_MAP()

class CCountingHeader : public CHeaderCtrl {
 public:
  std::vector<UINT> drawnItems;
  void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override {
    drawnItems.push_back(lpDrawItemStruct->itemID);
  }
};

class CReflectionDlg : public CDialog {
 public:
  CReflectionDlg() : CDialog(IDD_LAYER_TEST) {}
  CReflectingList m_list;
  int parentInserts = 0;
  int parentChanges = 0;
  int plainInserts = 0;

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LAYER_LIST, m_list);
  }
  afx_msg void OnInsert(NMHDR* /*pNMHDR*/, LRESULT* /*pResult*/) { ++parentInserts; }
  afx_msg void OnChanged(NMHDR* /*pNMHDR*/, LRESULT* /*pResult*/) { ++parentChanges; }
  afx_msg void OnPlainInsert(NMHDR* /*pNMHDR*/, LRESULT* /*pResult*/) { ++plainInserts; }

  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CReflectionDlg, CDialog)
ON_NOTIFY(LVN_INSERTITEM, IDC_LAYER_LIST, &CReflectionDlg::OnInsert)
ON_NOTIFY(LVN_ITEMCHANGED, IDC_LAYER_LIST, &CReflectionDlg::OnChanged)
ON_NOTIFY(LVN_INSERTITEM, IDC_LAYER_PLAIN_LIST, &CReflectionDlg::OnPlainInsert)
END_MESSAGE_MAP()

TEST(Reflection, TheControlsOwnEntryConsumesItsNotification) {
  CReflectionDlg dialog;
  ASSERT_TRUE(CreateModeless(dialog, IDD_LAYER_TEST));
  dialog.m_list.InsertColumn(0, "Name", LVCFMT_LEFT, 100);
  ASSERT_EQ(InsertRow(dialog.m_list, 0, "first"), 0);
  ASSERT_EQ(InsertRow(dialog.m_list, 1, "second"), 1);
  EXPECT_EQ(dialog.m_list.reflectedInserts, 2);
  EXPECT_EQ(dialog.parentInserts, 0);

  // A notification the control does not reflect reaches the parent's map.
  EXPECT_TRUE(dialog.m_list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED));
  EXPECT_GE(dialog.parentChanges, 1);

  // A list without an object: its notifications go to the parent as they are.
  HWND plain = ::GetDlgItem(dialog.m_hWnd, IDC_LAYER_PLAIN_LIST);
  LVCOLUMNA column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<char*>("Name");
  column.cx = 80;
  ::SendMessageA(plain, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.pszText = const_cast<char*>("plain");
  ASSERT_EQ(::SendMessageA(plain, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)), 0);
  EXPECT_EQ(dialog.plainInserts, 1);
  ::DestroyWindow(dialog.m_hWnd);
}

// Drawing needs a window on the screen. Wine waits up to 2 s for a shown top-level window to be
// withdrawn when it is destroyed (there is no window manager to confirm it), so the drawing
// tests share one shown dialog.
class ShownReflectionDialog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dialog_ = new CReflectionDlg;
    ASSERT_TRUE(CreateModeless(*dialog_, IDD_LAYER_TEST));
    ::ShowWindow(dialog_->m_hWnd, SW_SHOW);
    dialog_->m_list.InsertColumn(0, "One", LVCFMT_LEFT, 100);
    dialog_->m_list.InsertColumn(1, "Two", LVCFMT_LEFT, 100);
    InsertRow(dialog_->m_list, 0, "first");
    InsertRow(dialog_->m_list, 1, "second");
  }
  static void TearDownTestSuite() {
    ::DestroyWindow(dialog_->m_hWnd);
    delete dialog_;
    dialog_ = nullptr;
  }
  static CReflectionDlg* dialog_;
};

CReflectionDlg* ShownReflectionDialog::dialog_ = nullptr;

TEST_F(ShownReflectionDialog, CustomDrawResultsGoStraightBackToTheListView) {
  CReflectionDlg& dialog = *dialog_;
  dialog.m_list.itemPrepaints = 0;
  ::InvalidateRect(dialog.m_list.m_hWnd, nullptr, TRUE);
  ::UpdateWindow(dialog.m_list.m_hWnd);
  PumpMessages(50);
  // A dialog procedure's result would be lost (it answers through DWLP_MSGRESULT); the bound
  // dialog's window procedure returns it, so the list view asks about each item.
  EXPECT_GE(dialog.m_list.itemPrepaints, 2);
}

TEST_F(ShownReflectionDialog, OwnerDrawRequestsOfAHeaderReachItsDrawItem) {
  CReflectionDlg& dialog = *dialog_;
  HWND headerWindow = reinterpret_cast<HWND>(dialog.m_list.SendMessage(LVM_GETHEADER));
  ASSERT_NE(headerWindow, nullptr);
  CCountingHeader header;
  ASSERT_TRUE(header.SubclassWindow(headerWindow));
  EXPECT_EQ(header.GetItemCount(), 2);
  for (int i = 0; i < 2; ++i) {
    HDITEMA item = {};
    item.mask = HDI_FORMAT;
    ASSERT_TRUE(header.GetItem(i, &item));
    item.fmt |= HDF_OWNERDRAW;
    ASSERT_TRUE(header.SetItem(i, &item));
  }
  header.drawnItems.clear();
  ::InvalidateRect(header.m_hWnd, nullptr, TRUE);
  ::UpdateWindow(header.m_hWnd);
  PumpMessages(50);
  EXPECT_NE(std::find(header.drawnItems.begin(), header.drawnItems.end(), 0u),
            header.drawnItems.end());
  EXPECT_NE(std::find(header.drawnItems.begin(), header.drawnItems.end(), 1u),
            header.drawnItems.end());
  header.UnsubclassWindow();
}

// ---- GDI objects ----

TEST(Gdi, BitmapResourceLoadsWithItsSizeAndColours) {
  HINSTANCE module = GetModuleHandleA(nullptr);
  CBitmap red;
  ASSERT_TRUE(red.Attach(::LoadBitmapA(module, MAKEINTRESOURCEA(IDB_TEST_RED))));
  BITMAP info = {};
  ASSERT_EQ(red.GetBitmap(&info), int(sizeof info));
  EXPECT_EQ(info.bmWidth, 13);
  EXPECT_EQ(info.bmHeight, 13);
  CBitmap missing;
  EXPECT_FALSE(missing.Attach(::LoadBitmapA(module, MAKEINTRESOURCEA(4242))));
  EXPECT_EQ(missing.GetSafeHandle(), nullptr);

  CTestClientDC screen(nullptr);
  CDC memory;
  ASSERT_TRUE(memory.CreateCompatibleDC(&screen));
  HGDIOBJ previous = memory.SelectObject(red.GetSafeHandle());
  ASSERT_NE(previous, nullptr);
  EXPECT_TRUE(CloseColor(::GetPixel(memory.GetSafeHdc(), 6, 6), RGB(255, 0, 0), 8))
      << ColorText(::GetPixel(memory.GetSafeHdc(), 6, 6));
  memory.SelectObject(previous);
  // Attach takes over a handle once; Detach hands it back without deleting it.
  HGDIOBJ handle = red.Detach();
  CBitmap other;
  EXPECT_TRUE(other.Attach(handle));
  EXPECT_FALSE(other.Attach(handle));
  EXPECT_EQ(other.GetSafeHandle(), handle);
}

TEST(Gdi, SolidRectanglesAndThreeDFramesLandOnTheirPixels) {
  CTestClientDC screen(nullptr);
  CDC memory;
  ASSERT_TRUE(memory.CreateCompatibleDC(&screen));
  CBitmap canvas;
  ASSERT_TRUE(canvas.Attach(::CreateCompatibleBitmap(screen.GetSafeHdc(), 20, 20)));
  HGDIOBJ previous = memory.SelectObject(canvas.GetSafeHandle());
  CBrush gray(RGB(128, 128, 128));
  const CRect all(0, 0, 20, 20);
  memory.FillRect(&all, &gray);
  memory.Draw3dRect(2, 2, 13, 13, RGB(255, 255, 255), RGB(0, 0, 0));
  struct Probe {
    int x, y;
    COLORREF expected;
  };
  const Probe probes[] = {
      {2, 2, RGB(255, 255, 255)}, {13, 2, RGB(255, 255, 255)}, {2, 13, RGB(255, 255, 255)},
      {14, 2, RGB(0, 0, 0)},      {14, 14, RGB(0, 0, 0)},      {2, 14, RGB(0, 0, 0)},
      {8, 8, RGB(128, 128, 128)}, {1, 1, RGB(128, 128, 128)},  {15, 15, RGB(128, 128, 128)},
  };
  for (const Probe& p : probes) {
    EXPECT_TRUE(CloseColor(::GetPixel(memory.GetSafeHdc(), p.x, p.y), p.expected, 8))
        << p.x << "," << p.y << ": " << ColorText(::GetPixel(memory.GetSafeHdc(), p.x, p.y));
  }
  memory.SelectObject(previous);
}

// ---- The profile: an INI file named after the program, in the Windows folder ----

class Profile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = WindowsFolderFile(theApp.m_pszProfileName);
    DeleteFileA(path_.c_str());
  }
  void TearDown() override { DeleteFileA(path_.c_str()); }
  std::string path_;
};

TEST_F(Profile, IsNamedAfterTheProgramWithoutAFolder) {
  EXPECT_STREQ(theApp.m_pszProfileName, "classlib_window_tests.INI");
  EXPECT_EQ(AfxGetApp(), &theApp);
  EXPECT_EQ(AfxGetInstanceHandle(), GetModuleHandleA(nullptr));
  EXPECT_EQ(AfxFindResourceHandle(MAKEINTRESOURCE(IDD_LAYER_TEST), RT_DIALOG),
            GetModuleHandleA(nullptr));
}

TEST_F(Profile, BinaryValuesWrittenIntoTheFileAreDecoded) {
  struct Case {
    const char* entry;
    const char* text;
    std::vector<BYTE> bytes;  // empty: GetProfileBinary says FALSE
  };
  const Case cases[] = {
      {"count", "CAAAAAAA", {0x02, 0x00, 0x00, 0x00}},
      {"lowFirst", "BA", {0x01}},
      {"highSecond", "AB", {0x10}},
      {"all", "PPAAHHIHAP", {0xFF, 0x00, 0x77, 0x78, 0xF0}},
      {"empty", "", {}},
      {"odd", "CAA", {}},
      {"lowerCase", "ca", {}},
      {"pastP", "QA", {}},
      {"space", "C A", {}},
  };
  std::string file = "[ListCtrls]\r\n";
  for (const Case& c : cases) file += std::string(c.entry) + "=" + c.text + "\r\n";
  ASSERT_TRUE(WriteTextFile(path_, file));

  for (const Case& c : cases) {
    BYTE* data = reinterpret_cast<BYTE*>(1);
    UINT bytes = 99;
    const BOOL found = theApp.GetProfileBinary("ListCtrls", c.entry, &data, &bytes);
    if (c.bytes.empty()) {
      EXPECT_FALSE(found) << c.entry;
      EXPECT_EQ(data, nullptr) << c.entry;
      EXPECT_EQ(bytes, 0u) << c.entry;
    } else {
      ASSERT_TRUE(found) << c.entry;
      EXPECT_EQ(std::vector<BYTE>(data, data + bytes), c.bytes) << c.entry;
    }
    delete[] data;
  }
  BYTE* data = nullptr;
  UINT bytes = 0;
  EXPECT_FALSE(theApp.GetProfileBinary("ListCtrls", "absent", &data, &bytes));
  EXPECT_FALSE(theApp.GetProfileBinary("OtherSection", "count", &data, &bytes));
  EXPECT_EQ(data, nullptr);
}

TEST_F(Profile, LongBinaryValuesRoundTripThroughTheFile) {
  std::vector<BYTE> written(3000);
  for (size_t i = 0; i < written.size(); ++i) written[i] = BYTE(i * 7 + 3);
  // Two letters per byte, low nibble first: byte 0 (3) is "DA", byte 1 (10) is "KA". The text
  // is far longer than the first buffer the profile is read into.
  std::string letters;
  for (BYTE byte : written) {
    letters += static_cast<char>('A' + (byte & 0x0F));
    letters += static_cast<char>('A' + (byte >> 4));
  }
  ASSERT_TRUE(WriteTextFile(path_, "[ListCtrls]\r\nlong=" + letters + "\r\n"));
  BYTE* data = nullptr;
  UINT bytes = 0;
  ASSERT_TRUE(theApp.GetProfileBinary("ListCtrls", "long", &data, &bytes));
  EXPECT_EQ(std::vector<BYTE>(data, data + bytes), written);
  delete[] data;
}

// ---- The program's entry point ----

TEST(WinMain, RunsInitInstanceAndEndsWithExitInstancesCode) {
  const std::string results = ResultsFolder() + "winmain_probe.txt";
  for (const char* mode : {"once", "loop"}) {
    DeleteFileA(results.c_str());
    std::string command =
        std::string("\"") + QX48_WINMAIN_PROBE + "\" " + mode + " \"" + results + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process))
        << command;
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 7u) << mode;
    const std::string expected =
        std::string("InitInstance ") + mode + " classlib_winmain_probe.INI instance ok\n" +
        (std::string(mode) == "loop" ? "ExitInstance after loop\n" : "ExitInstance\n");
    EXPECT_EQ(ReadTextFile(results), expected) << mode;
  }
  DeleteFileA(results.c_str());
}

}  // namespace

#include "app/PatchDlg.h"

#include <mbstring.h>

#include <cstring>

#include "app/AboutDlg.h"
#include "app/BrowseForInstallation.h"
#include "app/CheckImages.h"
#include "app/InstallRun.h"
#include "install/PatchPaths.h"
#include "install/ProbeInstalledPatch.h"
#include "toolchain/ListedInstallations.h"

namespace {

// Process-wide, as the dialog exists once: the first show starts the timer, and the tick guard
// keeps one tick from starting inside another (a message box pumps messages).
BOOL g_firstShow = TRUE;
BOOL g_tickGuard = FALSE;

constexpr UINT_PTR kRefreshTimer = 0;
constexpr UINT kRefreshIntervalMs = 50;

// Column layout at 96 DPI, scaled to the dialog's: the check column, the name, the installed patch
// version. The name takes what the other two and the list's frame and vertical scroll bar leave.
constexpr int kCheckColumnWidth = 40;
constexpr int kVersionColumnWidth = 110;
constexpr int kListSlack = 108;  // check column, frame and scroll bar
constexpr BYTE kColumnKinds[] = {1, 0, 0};
constexpr int kVersionColumn = 2;

const char kAddFolderText[] = "Double click to select the install path of IAR";
const char kBusyText[] = "Installation, please try again later.";

}  // namespace

BEGIN_MESSAGE_MAP(CPatchDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_SELECT_ALL, &CPatchDlg::OnSelectAll)
ON_NOTIFY(NM_RCLICK, IDC_LIST, &CPatchDlg::OnRClickList)
ON_NOTIFY(NM_CLICK, IDC_LIST, &CPatchDlg::OnClickList)
ON_NOTIFY(NM_DBLCLK, IDC_LIST, &CPatchDlg::OnDblClkList)
ON_WM_CREATE()
ON_NOTIFY(LVN_KEYDOWN, IDC_LIST, &CPatchDlg::OnKeyDownList)
ON_BN_CLICKED(IDC_DRIVER_PATCH, &CPatchDlg::OnDriverPatch)
ON_WM_TIMER()
ON_WM_SHOWWINDOW()
ON_MESSAGE(WM_LIST_DROPFILE, &CPatchDlg::OnListDropFile)
ON_NOTIFY(NM_RETURN, IDC_LIST, &CPatchDlg::OnReturnList)
ON_MESSAGE(WM_DPICHANGED, &CPatchDlg::OnDpiChanged)
END_MESSAGE_MAP()

CPatchDlg::CPatchDlg(const std::string& patchFolder, CWnd* pParent)
    : CDialog(IDD, pParent),
      m_selectAll(TRUE),
      m_clearOldPatch(TRUE),
      m_hIcon(::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_refreshPending(FALSE),
      m_patchFolder(patchFolder),
      m_mouseToggleRow(-1),
      m_mouseToggleTime(0),
      m_runInProgress(FALSE),
      m_focusBeforeRun(NULL) {
  FillInstallationTable();
}

void CPatchDlg::FillInstallationTable() {
  InstallationTable& table = TheInstallationTable();
  ResetInstallationTable(table);
  AppendListedInstallations(table, FindListedInstallations());
}

void CPatchDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_LIST, m_list);
  DDX_Check(pDX, IDC_SELECT_ALL, m_selectAll);
  DDX_Check(pDX, IDC_CLEAR_OLD_PATCH, m_clearOldPatch);
}

int CPatchDlg::OnCreate(LPCREATESTRUCT lpCreateStruct) {
  if (CDialog::OnCreate(lpCreateStruct) == -1) return -1;
  m_statusBar.Create(WS_CHILD | WS_VISIBLE | CCS_BOTTOM, CRect(0, 0, 0, 0), this, IDC_STATUS_BAR);
  int rightEdges[1] = {-1};
  m_statusBar.SetParts(1, rightEdges);
  return 0;
}

BOOL CPatchDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  // The about entry's text is not in every ANSI code page: it is loaded and added wide.
  HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
  wchar_t aboutText[256];
  if (systemMenu != NULL &&
      ::LoadStringW(AfxGetInstanceHandle(), IDS_ABOUTBOX, aboutText, 256) > 0) {
    ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, NULL);
    ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText);
  }

  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);

  SetUpList();
  // The list has the focus, as the first control it always was; the tab order begins at
  // "Select All" above it.
  SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_list.m_hWnd), TRUE);
  return FALSE;
}

void CPatchDlg::SetUpList() {
  const UINT dpi = m_list.GetDpi();
  CRect listRect;
  m_list.GetWindowRect(&listRect);
  const int versionWidth = ScaleToDpi(kVersionColumnWidth, dpi);
  const int nameWidth = listRect.Width() - ScaleToDpi(kListSlack, dpi) - versionWidth;
  CString columns;
  columns.Format(",%d;Local install,%d;Installed patch,%d", ScaleToDpi(kCheckColumnWidth, dpi),
                 nameWidth, versionWidth);
  m_list.SetupColumns(columns, kColumnKinds);
  m_list.RestoreColumnWidths();
  LoadCheckImages(m_checkImages, dpi, m_hWnd);
  m_list.m_pCellImages = m_checkImages;
  m_list.LayOutForDpi(dpi);

  InstallationTable& table = TheInstallationTable();
  const int count = table.count.load();
  for (int i = 0; i < count; ++i) AppendInstallationRow(-1, table.rows[i]);
  if (count < kMaxInstallations) m_list.AddRow(-1, "0", kAddFolderText, "");
  m_list.SelectRow(0);
}

void CPatchDlg::AppendInstallationRow(int listRow, const InstallationRow& row) {
  m_list.AddRow(listRow, row.checked.load() != 0 ? "1" : "0", row.displayName,
                row.versionStamp.label);
}

void CPatchDlg::SetRowCheckCell(int listRow, BOOL checked) {
  m_list.SetCellText(listRow, 0, checked ? "1" : "0");
}

void CPatchDlg::ShowAddedRow() {
  InstallationTable& table = TheInstallationTable();
  const int count = table.count.load();
  AppendInstallationRow(count - 1, table.rows[count - 1]);
  if (count == kMaxInstallations) {
    m_list.DeleteRow(kMaxInstallations);  // the add-folder row: the table is full
    m_list.SelectRow(kMaxInstallations - 1);
  }
}

void CPatchDlg::SetAllChecked(BOOL checked) {
  InstallationTable& table = TheInstallationTable();
  const int count = table.count.load();
  for (int i = 0; i < count; ++i) {
    if (table.rows[i].present == 0) continue;
    table.rows[i].checked = checked ? 1 : 0;
    SetRowCheckCell(i, checked);
  }
  m_refreshPending = TRUE;
}

void CPatchDlg::ToggleSelectedRow() {
  UpdateData(TRUE);
  InstallationTable& table = TheInstallationTable();
  const int selected = m_list.GetSelectedRow();
  const int count = table.count.load();
  if (selected == count) {
    if (BrowseForInstallation(this)) {
      ShowAddedRow();
      m_refreshPending = TRUE;
    } else {
      SetRowCheckCell(selected, FALSE);
    }
  } else if (selected >= 0 && selected < count && table.rows[selected].present != 0) {
    InstallationRow& row = table.rows[selected];
    const BOOL nowChecked = row.checked.load() == 0;
    row.checked = nowChecked ? 1 : 0;
    SetRowCheckCell(selected, nowChecked);
    m_refreshPending = TRUE;
  }
  UpdateData(FALSE);
}

void CPatchDlg::ProbeAllRows() {
  InstallationTable& table = TheInstallationTable();
  const int count = table.count.load();
  for (int i = 0; i < count; ++i) {
    InstallationRow& row = table.rows[i];
    ProbeInstalledPatch(&row.versionStamp, row.installPath);
    m_list.SetCellText(i, kVersionColumn, row.versionStamp.label);
  }
}

void CPatchDlg::RefreshControls() {
  UpdateData(TRUE);
  InstallationTable& table = TheInstallationTable();
  const BOOL running = table.running.load() != 0;

  // What an install changed is on disk now; the version column shows it, not the start state.
  if (m_runInProgress && !running) {
    m_runInProgress = FALSE;
    m_installLock.Release();
    ProbeAllRows();
  }

  BOOL someChecked = FALSE;
  const int count = table.count.load();
  for (int i = 0; i < count; ++i) {
    const InstallationRow& row = table.rows[i];
    if (row.checked.load() == 0) continue;
    someChecked = TRUE;
    CString shown = m_list.GetItemText(i, kVersionColumn);
    if (_mbsicmp(reinterpret_cast<const unsigned char*>(static_cast<LPCTSTR>(shown)),
                 reinterpret_cast<const unsigned char*>(row.versionStamp.label)) != 0) {
      m_list.SetCellText(i, kVersionColumn, row.versionStamp.label);
    }
  }

  const BOOL patchAvailable = !m_patchFolder.empty() && ::PathFileExistsA(m_patchFolder.c_str());
  GetDlgItem(IDC_DRIVER_PATCH)->EnableWindow(someChecked && patchAvailable && !running);
  GetDlgItem(IDCANCEL)->EnableWindow(!running);
  RestoreFocusAfterRun(running);
}

void CPatchDlg::RestoreFocusAfterRun(BOOL running) {
  // Disabling the focused button for the run took the keyboard focus away with it; a user at
  // the keyboard gets it back where it was, or on the list.
  if (running || m_focusBeforeRun == NULL) return;
  HWND focus = m_focusBeforeRun;
  m_focusBeforeRun = NULL;
  if (::GetFocus() != NULL || ::GetActiveWindow() != m_hWnd) return;
  if (!::IsWindow(focus) || !::IsWindowEnabled(focus)) focus = m_list.m_hWnd;
  SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
}

void CPatchDlg::OnShowWindow(BOOL bShow, UINT nStatus) {
  CDialog::OnShowWindow(bShow, nStatus);
  if (g_firstShow) {
    g_firstShow = FALSE;
    m_refreshPending = TRUE;
    SetTimer(kRefreshTimer, kRefreshIntervalMs, NULL);
  }
}

void CPatchDlg::OnTimer(UINT_PTR nIDEvent) {
  if (g_tickGuard) return;
  g_tickGuard = TRUE;

  char text[kStatusTextSize];
  if (TakeStatus(&TheInstallationTable().statusMailbox, text)) {
    m_statusBar.SetText(text, 0, 0);
    m_refreshPending = TRUE;
  }
  if (m_refreshPending) {
    m_refreshPending = FALSE;
    RefreshControls();
  }

  g_tickGuard = FALSE;
  CDialog::OnTimer(nIDEvent);
}

void CPatchDlg::OnDriverPatch() {
  UpdateData(TRUE);
  InstallationTable& table = TheInstallationTable();
  if (table.running.load() != 0) return;  // never more than one worker
  // Another program (a second dialog, the console tool) may be installing: then nothing starts.
  // The lock is held until a refresh sees the run ended.
  if (m_installLock.TryAcquire() != InstallLockResult::kAcquired) {
    ::MessageBoxA(m_hWnd, kBusyText, "Message", MB_OK);
    return;
  }
  m_runInProgress = TRUE;
  m_focusBeforeRun = ::GetFocus();
  StartInstallRun(table, m_patchFolder, InstallOptions{m_clearOldPatch != FALSE});
}

void CPatchDlg::OnCancel() {
  if (TheInstallationTable().running.load() != 0) {
    ::MessageBoxA(m_hWnd, kBusyText, "Message", MB_OK);
    return;
  }
  CDialog::OnCancel();
}

void CPatchDlg::OnSelectAll() {
  UpdateData(TRUE);
  SetAllChecked(m_selectAll);
}

void CPatchDlg::OnRClickList(NMHDR* /*pNMHDR*/, LRESULT* pResult) {
  CPoint point;
  ::GetCursorPos(&point);
  m_list.ScreenToClient(&point);
  // -1 (no row under the pointer) is the list view's index for all rows; a single-selection
  // list refuses to select them all.
  m_list.SelectRow(m_list.HitTest(point));
  *pResult = 0;
}

BOOL CPatchDlg::IsSameMouseToggle(int listRow) const {
  return listRow == m_mouseToggleRow && GetTickCount() - m_mouseToggleTime <= GetDoubleClickTime();
}

void CPatchDlg::NoteMouseToggle(int listRow) {
  m_mouseToggleRow = listRow;
  m_mouseToggleTime = GetTickCount();
}

void CPatchDlg::OnClickList(NMHDR* pNMHDR, LRESULT* pResult) {
  const NMITEMACTIVATE* click = reinterpret_cast<NMITEMACTIVATE*>(pNMHDR);
  if (click->iItem >= 0 && click->iSubItem == 0 && !IsSameMouseToggle(click->iItem)) {
    NoteMouseToggle(click->iItem);
    ToggleSelectedRow();
  }
  *pResult = 0;
}

void CPatchDlg::OnDblClkList(NMHDR* pNMHDR, LRESULT* pResult) {
  const NMITEMACTIVATE* click = reinterpret_cast<NMITEMACTIVATE*>(pNMHDR);
  if (click->iItem != -1) {
    m_list.SelectRow(click->iItem);
    // In the check column the double click's first click has toggled the row already.
    if (!(click->iSubItem == 0 && IsSameMouseToggle(click->iItem))) {
      NoteMouseToggle(click->iItem);
      ToggleSelectedRow();
    }
  }
  *pResult = 0;
}

void CPatchDlg::OnReturnList(NMHDR* /*pNMHDR*/, LRESULT* pResult) {
  // Enter on a row does what a double click on it does: the add-folder row opens the browser.
  ToggleSelectedRow();
  *pResult = 0;
}

LRESULT CPatchDlg::OnDpiChanged(WPARAM wParam, LPARAM /*lParam*/) {
  // The dialog manager lays out the controls and renews their fonts for the new scale; the
  // list's columns and check images, and the status bar made at run time, are this dialog's.
  const LRESULT result = Default();
  const UINT dpi = LOWORD(wParam);
  LoadCheckImages(m_checkImages, dpi, m_hWnd);
  m_list.m_pCellImages = m_checkImages;
  m_list.LayOutForDpi(dpi);
  m_statusBar.SendMessage(WM_SIZE, 0, 0);
  return result;
}

void CPatchDlg::OnKeyDownList(NMHDR* pNMHDR, LRESULT* pResult) {
  const NMLVKEYDOWN* key = reinterpret_cast<NMLVKEYDOWN*>(pNMHDR);
  if (key->wVKey == VK_SPACE) ToggleSelectedRow();
  *pResult = 0;
}

LRESULT CPatchDlg::OnListDropFile(WPARAM /*wParam*/, LPARAM lParam) {
  // A dropped folder is taken as if it had been chosen in the folder browser.
  const char* dropped = reinterpret_cast<const char*>(lParam);
  if (dropped == NULL || TheInstallationTable().count.load() >= kMaxInstallations) return 0;
  if (AddInstallationFolder(this, dropped)) {
    ShowAddedRow();
    m_refreshPending = TRUE;
  }
  return 0;
}

void CPatchDlg::OnSysCommand(UINT nID, LPARAM lParam) {
  if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
    CAboutDlg about;
    about.DoModal();
  } else {
    CDialog::OnSysCommand(nID, lParam);
  }
}

void CPatchDlg::OnPaint() {
  if (!IsIconic()) {
    CDialog::OnPaint();
    return;
  }
  CPaintDC dc(this);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
  CRect client;
  GetClientRect(&client);
  const int x = (client.Width() - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.Height() - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CPatchDlg::OnQueryDragIcon() {
  return static_cast<HCURSOR>(m_hIcon);
}

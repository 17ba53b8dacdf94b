#include "tests/support/WindowDriver.h"

#include <commctrl.h>

#include <cstdio>

#include <vector>

#include "tests/support/PngWriter.h"

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start > DWORD(timeoutMs)) return false;
    Sleep(20);
  }
}

namespace {

struct FindWindowQuery {
  DWORD pid;
  const char* title;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* query = reinterpret_cast<FindWindowQuery*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != query->pid || !IsWindowVisible(window)) return TRUE;
  if (query->title != nullptr && WindowText(window) != query->title) return TRUE;
  query->found = window;
  return FALSE;
}

POINT ScreenPoint(HWND window, int x, int y) {
  POINT point = {x, y};
  ClientToScreen(window, &point);
  return point;
}

void SendMouse(const POINT& at, DWORD down, DWORD up) {
  const int width = GetSystemMetrics(SM_CXSCREEN) - 1;
  const int height = GetSystemMetrics(SM_CYSCREEN) - 1;
  INPUT input[3] = {};
  for (INPUT& i : input) {
    i.type = INPUT_MOUSE;
    i.mi.dx = (at.x * 65535) / (width > 0 ? width : 1);
    i.mi.dy = (at.y * 65535) / (height > 0 ? height : 1);
  }
  input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  input[1].mi.dwFlags = down | MOUSEEVENTF_ABSOLUTE;
  input[2].mi.dwFlags = up | MOUSEEVENTF_ABSOLUTE;
  SendInput(3, input, sizeof(INPUT));
}

}  // namespace

HWND FindProcessWindow(DWORD pid, const char* title, int timeoutMs) {
  FindWindowQuery query = {pid, title, nullptr};
  WaitUntil(
      [&] {
        query.found = nullptr;
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
        return query.found != nullptr;
      },
      timeoutMs);
  return query.found;
}

std::string WindowText(HWND window) {
  char text[1024] = "";
  // WM_GETTEXT is marshalled between processes, unlike the list view's own messages.
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 5000, nullptr);
  text[sizeof text - 1] = '\0';
  return text;
}

std::string MessageBoxText(HWND box) {
  // The message box's text is its static control 0xFFFF.
  HWND text = GetDlgItem(box, 0xFFFF);
  return text != nullptr ? WindowText(text) : std::string();
}

void ClickClient(HWND window, int x, int y, bool right) {
  SendMouse(ScreenPoint(window, x, y), right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN,
            right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
}

void DoubleClickClient(HWND window, int x, int y) {
  ClickClient(window, x, y);
  ClickClient(window, x, y);
}

void PressKey(HWND window, WORD virtualKey) {
  // Posted to the window itself: under a window server without a window manager the keyboard
  // focus of another process cannot be relied on.
  const UINT scan = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
  PostMessageA(window, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
  PostMessageA(window, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
}

void TypeKey(WORD virtualKey, WORD modifier) {
  INPUT input[4] = {};
  int count = 0;
  auto add = [&](WORD key, DWORD flags) {
    input[count].type = INPUT_KEYBOARD;
    input[count].ki.wVk = key;
    input[count].ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
    input[count].ki.dwFlags = flags;
    ++count;
  };
  if (modifier != 0) add(modifier, 0);
  add(virtualKey, 0);
  add(virtualKey, KEYEVENTF_KEYUP);
  if (modifier != 0) add(modifier, KEYEVENTF_KEYUP);
  SendInput(count, input, sizeof(INPUT));
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

bool CapturePixels(HDC source, int x, int y, int width, int height, std::vector<uint32_t>* bgra) {
  if (width <= 0 || height <= 0) return false;
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap != nullptr) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, previous);
    if (ok) {
      const auto* pixels = static_cast<const uint32_t*>(bits);
      bgra->assign(pixels, pixels + size_t(width) * size_t(height));
    }
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  return ok;
}

bool SaveWindowPng(HWND window, const std::string& path) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  std::vector<uint32_t> bgra;
  bool ok = CapturePixels(screen, rect.left, rect.top, width, height, &bgra);
  ReleaseDC(nullptr, screen);
  if (!ok) return false;
  std::vector<uint8_t> rgb(bgra.size() * 3);
  for (size_t i = 0; i < bgra.size(); ++i) {
    rgb[i * 3] = uint8_t(bgra[i] >> 16);
    rgb[i * 3 + 1] = uint8_t(bgra[i] >> 8);
    rgb[i * 3 + 2] = uint8_t(bgra[i]);
  }
  return WritePng(path, width, height, rgb);
}

// -- RemoteListView ----------------------------------------------------------------------------

namespace {
constexpr size_t kRemoteSize = 4096;
constexpr size_t kTextOffset = 256;  // the remote text buffer follows the LVITEM
}  // namespace

namespace {
// Whether process runs under WOW64 (a 32-bit process on 64-bit Windows).
bool IsWow64(HANDLE process) {
  BOOL wow64 = FALSE;
  return process != nullptr && IsWow64Process(process, &wow64) && wow64;
}
}  // namespace

RemoteListView::RemoteListView(HWND list, DWORD pid)
    : list_(list),
      process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                               PROCESS_QUERY_LIMITED_INFORMATION,
                           FALSE, pid)),
      sameArchitecture_(IsWow64(process_) == IsWow64(GetCurrentProcess())),
      remote_(process_ != nullptr ? VirtualAllocEx(process_, nullptr, kRemoteSize,
                                                   MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)
                                  : nullptr) {}

RemoteListView::~RemoteListView() {
  if (remote_ != nullptr) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
  if (process_ != nullptr) CloseHandle(process_);
}

int RemoteListView::Count() const {
  return int(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
}

int RemoteListView::Columns() const {
  HWND header = reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0));
  return header != nullptr ? int(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

int RemoteListView::ColumnWidth(int column) const {
  return int(SendMessageA(list_, LVM_GETCOLUMNWIDTH, WPARAM(column), 0));
}

std::string RemoteListView::Text(int row, int column) const {
  if (remote_ == nullptr) return "<no access>";
  if (!sameArchitecture_) return "<a list of another architecture: read it with a reader of its own>";
  char* remoteText = static_cast<char*>(remote_) + kTextOffset;
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = remoteText;
  item.cchTextMax = int(kRemoteSize - kTextOffset);
  WriteProcessMemory(process_, remote_, &item, sizeof item, nullptr);
  SendMessageA(list_, LVM_GETITEMTEXTA, WPARAM(row), reinterpret_cast<LPARAM>(remote_));
  char text[kRemoteSize - kTextOffset] = "";
  ReadProcessMemory(process_, remoteText, text, sizeof text, nullptr);
  text[sizeof text - 1] = '\0';
  return text;
}

RECT RemoteListView::CellRect(int row, int column) const {
  RECT rect = {LVIR_BOUNDS, column, 0, 0};  // top: the sub-item, left: the area
  if (remote_ == nullptr) return RECT{};
  WriteProcessMemory(process_, remote_, &rect, sizeof rect, nullptr);
  SendMessageA(list_, LVM_GETSUBITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(remote_));
  ReadProcessMemory(process_, remote_, &rect, sizeof rect, nullptr);
  if (column == 0) {
    // The list view's rectangle of column 0 spans the whole row.
    RECT next = {LVIR_BOUNDS, 1, 0, 0};
    WriteProcessMemory(process_, remote_, &next, sizeof next, nullptr);
    if (SendMessageA(list_, LVM_GETSUBITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(remote_))) {
      ReadProcessMemory(process_, remote_, &next, sizeof next, nullptr);
      rect.right = next.left;
    }
  }
  return rect;
}

int RemoteListView::SelectedRow() const {
  return int(SendMessageA(list_, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
}

// -- ProgramUnderTest --------------------------------------------------------------------------

ProgramUnderTest::~ProgramUnderTest() {
  Kill();
}

bool ProgramUnderTest::Start(const std::string& exePath) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::string commandLine = "\"" + exePath + "\"";
  std::string folder = exePath.substr(0, exePath.find_last_of('\\'));
  return CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info_) != FALSE;
}

HWND ProgramUnderTest::WaitForDialog(const char* title, int timeoutMs) {
  HWND dialog = FindProcessWindow(info_.dwProcessId, title, timeoutMs);
  // The buttons take their first state at the first timer tick, 50 ms after the first show.
  if (dialog != nullptr) Sleep(300);
  return dialog;
}

bool ProgramUnderTest::WaitForExit(int timeoutMs, DWORD* exitCode) {
  if (info_.hProcess == nullptr) return true;
  if (WaitForSingleObject(info_.hProcess, DWORD(timeoutMs)) != WAIT_OBJECT_0) return false;
  if (exitCode != nullptr) GetExitCodeProcess(info_.hProcess, exitCode);
  return true;
}

std::string ProgramUnderTest::CrashText() const {
  DWORD code = 0;
  if (info_.hProcess == nullptr || Running() || !GetExitCodeProcess(info_.hProcess, &code))
    return "";
  // Exception codes have the two top bits set; a program's own exit codes are small.
  if (code < 0xC0000000u) return "";
  char text[64];
  snprintf(text, sizeof text, "crashed with exception 0x%08lX", static_cast<unsigned long>(code));
  return text;
}

bool ProgramUnderTest::Running() const {
  return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

void ProgramUnderTest::Kill() {
  if (info_.hProcess == nullptr) return;
  if (Running()) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
  }
  CloseHandle(info_.hProcess);
  CloseHandle(info_.hThread);
  info_ = {};
}

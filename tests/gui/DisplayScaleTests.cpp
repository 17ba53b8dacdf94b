// The dialog at 100 %, 150 % and 200 % display scale, and the dialog driven from the keyboard
// alone. Wine draws a DPI-aware program at the prefix's LogPixels, read as the program starts, so
// each scale is a fresh start of the program with that value set.
#include "tests/gui/PackDialogFixture.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace {

const char kDesktopKey[] = "Control Panel\\Desktop";
const char kFontsKey[] = "Software\\Fonts";

void SetLogPixels(DWORD dpi) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    RegCloseKey(key);
  }
  if (RegCreateKeyExA(HKEY_CURRENT_CONFIG, kFontsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    RegCloseKey(key);
  }
}

// The screen's pixels of a rectangle in window's client coordinates.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

Picture Capture(HWND window, RECT area) {
  POINT origin = {area.left, area.top};
  ClientToScreen(window, &origin);
  Picture picture;
  picture.width = area.right - area.left;
  picture.height = area.bottom - area.top;
  HDC screen = GetDC(nullptr);
  CapturePixels(screen, origin.x, origin.y, picture.width, picture.height, &picture.pixels);
  ReleaseDC(nullptr, screen);
  return picture;
}

// The height in pixels of the first thing drawn from the left of a picture on a plain
// background (the colour of its top-left pixel): the columns up to the first column of nothing
// but background, and the rows of those that hold anything else.
int HeightOfFirstShape(const Picture& picture) {
  if (picture.pixels.empty()) return 0;
  const uint32_t background = picture.At(0, 0);
  int top = picture.height, bottom = -1;
  bool inShape = false;
  for (int x = 0; x < picture.width; ++x) {
    bool columnHasShape = false;
    for (int y = 0; y < picture.height; ++y) {
      if (picture.At(x, y) == background) continue;
      columnHasShape = true;
      if (y < top) top = y;
      if (y > bottom) bottom = y;
    }
    if (inShape && !columnHasShape) break;
    inShape = inShape || columnHasShape;
  }
  return bottom >= top ? bottom - top + 1 : 0;
}

// The width of text in the dialog's font (9-point Arial) at dpi, '&' markers left out.
int TextWidth(std::string text, int dpi) {
  const size_t amp = text.find('&');
  if (amp != std::string::npos) text.erase(amp, 1);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  HFONT font = CreateFontA(-MulDiv(9, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH, "Arial");
  HGDIOBJ previous = SelectObject(dc, font);
  SIZE size = {};
  GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &size);
  SelectObject(dc, previous);
  DeleteObject(font);
  DeleteDC(dc);
  return size.cx;
}

RECT ClientRectIn(HWND window, HWND parent) {
  RECT rect;
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace

class DisplayScaleTest : public PackDialogTest {
 protected:
  void TearDown() override {
    PackDialogTest::TearDown();
    SetLogPixels(96);
  }
  // Two installations, the first checked and the second not, and a patch to install.
  void StartWithTwoInstallations() {
    AddPatchFile("Qorvantel.Version", "[Install]\r\nVersion=\"V2.0\"\r\nDate=\"2026-12-09\"\r\n");
    AddPatchFile("devices\\QuorVantel\\QX48.i79", "device");
    ASSERT_TRUE(EwarmRegistry::Add("a", MakeInstallation("EW910"), "9.10"));
    ASSERT_TRUE(EwarmRegistry::Add("b", MakeInstallation("EW920"), "9.20"));
    Start();
  }
  int StateImageOf(int row) const {
    return int(SendMessageA(listWindow_, LVM_GETITEMSTATE, WPARAM(row), LVIS_STATEIMAGEMASK) >> 12);
  }
};

TEST_F(DisplayScaleTest, AtEveryScaleHeadersChecksAndButtonsAreWhole) {
  for (const int dpi : {96, 144, 192}) {
    SCOPED_TRACE("at " + std::to_string(dpi) + " DPI");
    SetLogPixels(DWORD(dpi));
    StartWithTwoInstallations();
    ClickCell(1, 0);  // the second row unchecked: both images are on screen
    ASSERT_TRUE(WaitUntil([&] { return Cell(1, 0) == "0"; }, 3000));
    PressKey(listWindow_, VK_UP);
    ASSERT_TRUE(WaitUntil([&] { return list_->SelectedRow() == 0; }, 3000));
    Screenshot("dialog-at-" + std::to_string(dpi) + "-dpi");

    // Each header text fits its column, inside the margins the header draws it with.
    HWND header = FindWindowExA(listWindow_, nullptr, WC_HEADERA, nullptr);
    ASSERT_NE(header, nullptr);
    RECT headerRect;
    GetClientRect(header, &headerRect);
    const int margin = (headerRect.bottom - headerRect.top) / 4;
    EXPECT_LT(TextWidth("Local install", dpi) + 2 * margin, list_->ColumnWidth(1));
    EXPECT_LT(TextWidth("Installed patch", dpi) + 2 * margin, list_->ColumnWidth(2));

    // A row's check box is as tall as the "Select All" box (one pixel apart at most: on the
    // list's white the box's white lower edge does not show). The second row is not selected.
    HWND selectAll = GetDlgItem(dialog_, kSelectAll);
    RECT buttonArea;
    GetClientRect(selectAll, &buttonArea);
    const int textBox = HeightOfFirstShape(Capture(selectAll, buttonArea));
    RECT cell = list_->CellRect(1, 0);
    InflateRect(&cell, -1, -1);  // inside the grid lines
    const int rowBox = HeightOfFirstShape(Capture(listWindow_, cell));
    EXPECT_GE(textBox, 12 * dpi / 96);
    EXPECT_NEAR(rowBox, textBox, 1);

    // Buttons: inside the dialog, above the status bar, their texts within them.
    RECT client;
    GetClientRect(dialog_, &client);
    const RECT status = ClientRectIn(GetDlgItem(dialog_, IDC_STATUS_BAR), dialog_);
    for (const int id : {kSelectAll, kClearOldPatch, kDriverPatch, int(IDCANCEL)}) {
      HWND control = GetDlgItem(dialog_, id);
      const RECT rect = ClientRectIn(control, dialog_);
      SCOPED_TRACE(WindowText(control));
      EXPECT_GE(rect.left, 0);
      EXPECT_LE(rect.right, client.right);
      EXPECT_LE(rect.bottom, status.top);
      const int room = rect.right - rect.left - (id == kSelectAll || id == kClearOldPatch
                                                     ? textBox + 4 * dpi / 96
                                                     : 6 * dpi / 96);
      EXPECT_LE(TextWidth(WindowText(control), dpi), room);
    }
    EXPECT_TRUE(CloseAndWait());
  }
}

TEST_F(DisplayScaleTest, MovedToAMonitorOfTwiceTheScaleTheColumnsAndChecksFollow) {
  StartWithTwoInstallations();
  const int checkColumn = list_->ColumnWidth(0);
  const int versionColumn = list_->ColumnWidth(2);
  // The suggested window rectangle lives in the program's memory, as the system's would.
  RECT window;
  GetWindowRect(dialog_, &window);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, program_.Id());
  ASSERT_NE(process, nullptr);
  void* suggested = VirtualAllocEx(process, nullptr, sizeof window, MEM_COMMIT, PAGE_READWRITE);
  ASSERT_TRUE(WriteProcessMemory(process, suggested, &window, sizeof window, nullptr));
  SendMessageA(dialog_, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(suggested));
  VirtualFreeEx(process, suggested, 0, MEM_RELEASE);
  CloseHandle(process);
  EXPECT_EQ(list_->ColumnWidth(0), 2 * checkColumn);
  EXPECT_EQ(list_->ColumnWidth(2), 2 * versionColumn);
  // Rows as tall as the 25-pixel boxes of 192 DPI. (What the boxes show cannot be checked here:
  // Wine draws the system's check box no larger than at the prefix's own scale.)
  const RECT cell = list_->CellRect(1, 0);
  EXPECT_GE(cell.bottom - cell.top, 25);
}

TEST_F(DisplayScaleTest, AnInstallRunFromTheKeyboardAlone) {
  StartWithTwoInstallations();
  // The program's window takes real keyboard input once it is the active one.
  RECT client;
  GetClientRect(dialog_, &client);
  ClickClient(dialog_, client.right - 4, 4);
  ASSERT_TRUE(WaitUntil([&] { return FocusOf(dialog_) == listWindow_; }, 3000));
  auto focusIs = [&](int id) {
    return WaitUntil([&] { return FocusOf(dialog_) == GetDlgItem(dialog_, id); }, 3000);
  };

  // The list: arrows move, Space toggles the row; its state image follows, as a screen reader
  // reads it from a list with the check-box style (1 not checked, 2 checked).
  EXPECT_NE(SendMessageA(listWindow_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES, 0);
  EXPECT_EQ(StateImageOf(0), 2);
  TypeKey(VK_DOWN);
  ASSERT_TRUE(WaitUntil([&] { return list_->SelectedRow() == 1; }, 3000));
  TypeKey(VK_SPACE);
  ASSERT_TRUE(WaitUntil([&] { return Cell(1, 0) == "0"; }, 3000));
  EXPECT_EQ(StateImageOf(1), 1);
  EXPECT_EQ(StateImageOf(0), 2);

  // Tab order from the list: Clear old patch, Driver patch, Close, Select All, the list.
  for (const int id : {kClearOldPatch, kDriverPatch, int(IDCANCEL), kSelectAll, kList}) {
    TypeKey(VK_TAB);
    ASSERT_TRUE(focusIs(id)) << id;
  }

  // Mnemonics: Alt+O turns "Clear old patch" off, Alt+P installs the checked row.
  TypeKey('O', VK_MENU);
  ASSERT_TRUE(WaitUntil([&] { return !Checked(kClearOldPatch); }, 3000));
  TypeKey('P', VK_MENU);
  ASSERT_TRUE(WaitUntil([&] { return StatusText().rfind("Install patch finished", 0) == 0; }, 30000))
      << StatusText();
  EXPECT_TRUE(WaitUntil([&] { return Cell(0, 2) == "V2.0" && Cell(1, 2) == "None"; }, 3000))
      << Cell(0, 2) << " / " << Cell(1, 2);

  // The focus the run's disabled buttons took away is back; Tab reaches the list from there.
  ASSERT_TRUE(WaitUntil([&] { return FocusOf(dialog_) != nullptr; }, 3000));
  for (int tabs = 0; tabs < 5 && FocusOf(dialog_) != listWindow_; ++tabs) {
    TypeKey(VK_TAB);
    Sleep(100);
  }
  ASSERT_TRUE(focusIs(kList));

  // Enter on the add-folder row opens the folder browser, as a double click does.
  TypeKey(VK_END);
  ASSERT_TRUE(WaitUntil([&] { return list_->SelectedRow() == 2; }, 3000));
  TypeKey(VK_RETURN);
  HWND browser = WaitForWindow("Browse for Folder");
  ASSERT_NE(browser, nullptr);
  TypeKey(VK_ESCAPE);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(browser); }, 5000));
  EXPECT_EQ(Rows(), 3);

  // Alt+C closes the program.
  ASSERT_TRUE(WaitUntil([&] { return FocusOf(dialog_) != nullptr; }, 3000));
  TypeKey('C', VK_MENU);
  EXPECT_TRUE(program_.WaitForExit(10000));
}

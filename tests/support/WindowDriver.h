#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Drives a program of ours in its own process through its real windows, as a user would:
// clicks and keys go in as input, state is read back from the windows themselves.

// Waits until done() is true, pumping nothing; false after timeoutMs.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// The first visible top-level window of process pid with that title (nullptr: any title).
HWND FindProcessWindow(DWORD pid, const char* title, int timeoutMs = 10000);

std::string WindowText(HWND window);

// The text of a static control of a message box: the message itself.
std::string MessageBoxText(HWND box);

// Real mouse input at a point of window's client area.
void ClickClient(HWND window, int x, int y, bool right = false);
void DoubleClickClient(HWND window, int x, int y);
// A key press (down and up) sent to window as the keyboard would deliver it.
void PressKey(HWND window, WORD virtualKey);

// A key press (down and up) as real keyboard input, to whichever window has the keyboard focus;
// with modifier (VK_MENU, VK_SHIFT) held around it.
void TypeKey(WORD virtualKey, WORD modifier = 0);
// The window with the keyboard focus in the thread that owns window.
HWND FocusOf(HWND window);

// Copies width x height pixels at (x, y) of source into bgra, top row first, one 0x00RRGGBB word
// a pixel.
bool CapturePixels(HDC source, int x, int y, int width, int height, std::vector<uint32_t>* bgra);

// Saves what the screen shows of window (frame included) as a PNG file.
bool SaveWindowPng(HWND window, const std::string& path);

// Reads a list view of another process through memory allocated in that process.
class RemoteListView {
 public:
  RemoteListView(HWND list, DWORD pid);
  ~RemoteListView();
  RemoteListView(const RemoteListView&) = delete;
  RemoteListView& operator=(const RemoteListView&) = delete;

  int Count() const;
  int Columns() const;
  int ColumnWidth(int column) const;
  std::string Text(int row, int column) const;
  RECT CellRect(int row, int column) const;  // client coordinates of the list
  int SelectedRow() const;
  HWND Window() const { return list_; }

 private:
  HWND list_;
  HANDLE process_;
  // The list's structures (LVITEMA holds a pointer) are read as this program lays them out, which
  // is the other process's layout only when both are of one architecture.
  bool sameArchitecture_;
  void* remote_;  // scratch memory in the other process
};

// A program started from a copy of its exe; killed at the end if still running.
class ProgramUnderTest {
 public:
  ProgramUnderTest() = default;
  ~ProgramUnderTest();
  ProgramUnderTest(const ProgramUnderTest&) = delete;
  ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

  bool Start(const std::string& exePath);
  // The main dialog, once it is shown and its first timer tick has set the buttons.
  HWND WaitForDialog(const char* title, int timeoutMs = 15000);
  bool WaitForExit(int timeoutMs, DWORD* exitCode = nullptr);
  // "" while the program runs or after it ended by itself; otherwise what ended it, as "crashed
  // with exception 0xC0000005" (Wine's fault line and backtrace are on its error output).
  std::string CrashText() const;
  void Kill();
  DWORD Id() const { return info_.dwProcessId; }
  bool Running() const;

 private:
  PROCESS_INFORMATION info_ = {};
};

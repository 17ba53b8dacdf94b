#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What the list and window-layer tests share: pumping this thread's messages while real
// windows work, reading back the pixels a window shows, and files in the Windows folder.

// Dispatches this thread's messages for about milliseconds.
void PumpMessages(int milliseconds);
// Dispatches messages until done() is true; false after timeoutMs.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// The pixels of a window's client area as the screen shows them.
class WindowPixels {
 public:
  // Repaints the window and copies its client area; false when nothing could be read.
  bool Capture(HWND window);
  COLORREF At(int x, int y) const;  // CLR_INVALID outside the captured area
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Number of pixels in [left, right) x [top, bottom) close to color.
  int Count(const RECT& area, COLORREF color, int tolerance = 24) const;
  bool SavePng(const std::string& path) const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> bgra_;
};

// Each colour channel within tolerance.
bool CloseColor(COLORREF a, COLORREF b, int tolerance = 24);
std::string ColorText(COLORREF color);

// The folder the test results go to (from GTEST_OUTPUT), ending with a slash.
std::string ResultsFolder();

// A file in the Windows folder, where the profile functions keep an INI file named without a
// folder.
std::string WindowsFolderFile(const std::string& name);
bool WriteTextFile(const std::string& path, const std::string& text);
std::string ReadTextFile(const std::string& path);

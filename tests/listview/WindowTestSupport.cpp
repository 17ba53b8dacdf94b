#include "WindowTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/support/PngWriter.h"
#include "tests/support/WindowDriver.h"

void PumpMessages(int milliseconds) {
  const DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(5);
  } while (static_cast<int>(GetTickCount() - start) < milliseconds);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
    PumpMessages(10);
  }
  return true;
}

bool WindowPixels::Capture(HWND window) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessages(50);
  RECT client;
  if (!GetClientRect(window, &client)) return false;
  width_ = client.right;
  height_ = client.bottom;
  if (width_ <= 0 || height_ <= 0) return false;

  HDC source = GetDC(window);
  const bool ok = CapturePixels(source, 0, 0, width_, height_, &bgra_);
  ReleaseDC(window, source);
  return ok;
}

COLORREF WindowPixels::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
  const uint32_t pixel = bgra_[size_t(y) * size_t(width_) + size_t(x)];
  return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

int WindowPixels::Count(const RECT& area, COLORREF color, int tolerance) const {
  int count = 0;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      const COLORREF pixel = At(x, y);
      if (pixel != CLR_INVALID && CloseColor(pixel, color, tolerance)) ++count;
    }
  }
  return count;
}

bool WindowPixels::SavePng(const std::string& path) const {
  std::vector<uint8_t> rgb(bgra_.size() * 3);
  for (size_t i = 0; i < bgra_.size(); ++i) {
    rgb[i * 3] = uint8_t(bgra_[i] >> 16);
    rgb[i * 3 + 1] = uint8_t(bgra_[i] >> 8);
    rgb[i * 3 + 2] = uint8_t(bgra_[i]);
  }
  return WritePng(path, width_, height_, rgb);
}

bool CloseColor(COLORREF a, COLORREF b, int tolerance) {
  return abs(int(GetRValue(a)) - int(GetRValue(b))) <= tolerance &&
         abs(int(GetGValue(a)) - int(GetGValue(b))) <= tolerance &&
         abs(int(GetBValue(a)) - int(GetBValue(b))) <= tolerance;
}

std::string ColorText(COLORREF color) {
  char text[32];
  snprintf(text, sizeof text, "RGB(%d,%d,%d)", GetRValue(color), GetGValue(color),
           GetBValue(color));
  return text;
}

std::string ResultsFolder() {
  const char* output = getenv("GTEST_OUTPUT");
  std::string path = output != nullptr ? output : "";
  if (path.rfind("xml:", 0) == 0) path = path.substr(4);
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string(".\\") : path.substr(0, slash + 1);
}

std::string WindowsFolderFile(const std::string& name) {
  char folder[MAX_PATH] = "";
  GetWindowsDirectoryA(folder, MAX_PATH);
  return std::string(folder) + "\\" + name;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = fwrite(text.data(), 1, text.size(), file) == text.size();
  return fclose(file) == 0 && ok;
}

std::string ReadTextFile(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return "";
  std::string text;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  fclose(file);
  return text;
}

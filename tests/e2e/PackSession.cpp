#include "tests/e2e/PackSession.h"

bool PackSession::Start(const std::string& exePath, std::string* fault) {
  if (!program_.Start(exePath)) {
    *fault = "could not start " + exePath + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  dialog_ = program_.WaitForDialog(kTitle, 30000);
  if (dialog_ == nullptr) {
    *fault = std::string("no window \"") + kTitle + "\" appeared";
    return false;
  }
  listWindow_ = GetDlgItem(dialog_, kList);
  if (listWindow_ == nullptr) {
    *fault = "the dialog has no installation list";
    return false;
  }
  list_ = std::make_unique<RemoteListView>(listWindow_, program_.Id());
  return true;
}

std::vector<PackSession::Row> PackSession::Rows() const {
  std::vector<Row> rows;
  const int count = list_->Count();
  for (int i = 0; i < count; ++i) {
    rows.push_back({list_->Text(i, kCheckColumn), list_->Text(i, kNameColumn),
                    list_->Text(i, kVersionColumn)});
  }
  return rows;
}

int PackSession::FindRow(const std::string& version) const {
  const std::string name = "IAR Embedded Workbench IDE - ARM " + version;
  const std::vector<Row> rows = Rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].name == name) return int(i);
  }
  return -1;
}

void PackSession::PointAndClick(HWND window, int x, int y) {
  POINT point = {x, y};
  ClientToScreen(window, &point);
  SetCursorPos(point.x, point.y);
  Sleep(200);
  ClickClient(window, x, y);
}

bool PackSession::SetChecked(int row, bool checked) {
  const std::string wanted = checked ? "1" : "0";
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (list_->Text(row, kCheckColumn) == wanted) return true;
    const RECT cell = list_->CellRect(row, kCheckColumn);
    PointAndClick(listWindow_, (cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    if (WaitUntil([&] { return list_->Text(row, kCheckColumn) == wanted; }, 3000)) return true;
  }
  return false;
}

bool PackSession::PressDriverPatch() {
  HWND button = GetDlgItem(dialog_, kDriverPatch);
  const std::string before = StatusText();
  RECT box;
  GetClientRect(button, &box);
  PointAndClick(button, box.right / 2, box.bottom / 2);
  // A run's first text replaces whatever the last run left, unless that run took exactly as
  // long as this one: then only the button going grey and back tells, and it may be too quick.
  return WaitUntil([&] { return StatusText() != before || !Enabled(kDriverPatch); }, 5000);
}

std::string PackSession::WaitForFinalText(int timeoutMs, std::vector<std::string>* seen) {
  std::string text;
  WaitUntil(
      [&] {
        text = StatusText();
        if (text.rfind(kFinalPrefix, 0) == 0) return true;
        if (seen != nullptr && !text.empty() && (seen->empty() || seen->back() != text)) {
          seen->push_back(text);
        }
        return false;
      },
      timeoutMs);
  return text;
}

std::string PackSession::StatusText() const {
  HWND status = GetDlgItem(dialog_, kStatusBar);
  return status != nullptr ? WindowText(status) : std::string("<no status bar>");
}

bool PackSession::Enabled(int id) const {
  return IsWindowEnabled(GetDlgItem(dialog_, id)) != FALSE;
}

bool PackSession::Close() {
  HWND button = GetDlgItem(dialog_, IDCANCEL);
  RECT box;
  GetClientRect(button, &box);
  PointAndClick(button, box.right / 2, box.bottom / 2);
  if (program_.WaitForExit(5000)) return true;
  // The click was lost; the button's own message closes it as surely.
  PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  return program_.WaitForExit(10000);
}

void PackSession::ClickButton(int id) {
  HWND button = GetDlgItem(dialog_, id);
  RECT box;
  GetClientRect(button, &box);
  PointAndClick(button, box.right / 2, box.bottom / 2);
}

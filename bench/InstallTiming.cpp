#include "bench/InstallTiming.h"

#include <windows.h>
#include <psapi.h>

#include <cstdlib>

#include "bench/Stopwatch.h"
#include "tests/e2e/PackSession.h"

namespace {

// A run of 3,000 files takes seconds; this only keeps a hung run from hanging the benchmark.
constexpr int kRunTimeoutMs = 15 * 60 * 1000;
constexpr int kStartTimeoutMs = 10000;
// As in PackSession: under Wine the first click into a freshly shown window was sometimes taken
// as the pointer's arrival only. So the pointer arrives and rests first; the clock starts at the
// click.
constexpr DWORD kPointerSettleMs = 200;

// The seconds of "... total elapse 1.234 sec"; negative when the text has none.
double ElapseIn(const std::string& text) {
  static const char kMarker[] = "total elapse ";
  const size_t at = text.find(kMarker);
  if (at == std::string::npos) return -1;
  const char* number = text.c_str() + at + sizeof kMarker - 1;
  char* end = nullptr;
  const double seconds = strtod(number, &end);
  return end != number ? seconds : -1;
}

// Moves the pointer to the middle of window, lets it rest there, then clicks; the stopwatch, if
// any, starts at the click.
void PointAndClick(HWND window, Stopwatch* clock) {
  RECT box;
  GetClientRect(window, &box);
  POINT centre = {box.right / 2, box.bottom / 2};
  POINT onScreen = centre;
  ClientToScreen(window, &onScreen);
  SetCursorPos(onScreen.x, onScreen.y);
  Sleep(kPointerSettleMs);
  if (clock != nullptr) clock->Restart();
  ClickClient(window, centre.x, centre.y);
}

// The peak working set of the process id; 0 when it cannot be read.
unsigned long long PeakWorkingSetOf(DWORD id) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
  if (process == nullptr) return 0;
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  const BOOL read = GetProcessMemoryInfo(process, &memory, sizeof memory);
  CloseHandle(process);
  return read ? memory.PeakWorkingSetSize : 0;
}

bool SetClearOldPatch(PackSession& session, bool wanted) {
  HWND box = GetDlgItem(session.Dialog(), IDC_CLEAR_OLD_PATCH);
  if (box == nullptr) return false;
  // BM_GETCHECK carries no pointer, so it works across processes.
  const auto shown = [&] {
    return (SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED) == wanted;
  };
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (shown()) return true;
    PointAndClick(box, nullptr);
    if (WaitUntil(shown, 3000)) return true;
  }
  return false;
}

// Clicks "Driver &patch"; the stopwatch starts at the click. True once the status line or the
// button shows that a run started.
bool ClickDriverPatch(PackSession& session, Stopwatch* clock) {
  HWND button = GetDlgItem(session.Dialog(), PackSession::kDriverPatch);
  if (button == nullptr) return false;
  const std::string before = session.StatusText();
  PointAndClick(button, clock);
  return WaitUntil(
      [&] { return session.StatusText() != before || !session.Enabled(PackSession::kDriverPatch); },
      kStartTimeoutMs);
}

}  // namespace

std::string TimeInstallRun(const std::string& exe, const std::string& version, bool clearOldPatch,
                           InstallTiming* timing) {
  PackSession session;
  std::string fault;
  if (!session.Start(exe, &fault)) return fault;
  const int row = session.FindRow(version);
  if (row < 0) return "the list has no row for the installation " + version;
  if (!session.SetChecked(row, true)) return "the row of " + version + " did not check";
  if (!SetClearOldPatch(session, clearOldPatch)) return "\"Clear old patch\" did not change";
  if (!session.Enabled(PackSession::kDriverPatch)) return "\"Driver &patch\" is disabled";

  Stopwatch clock;
  if (!ClickDriverPatch(session, &clock)) return "the click on \"Driver &patch\" started no run";
  timing->finalText = session.WaitForFinalText(kRunTimeoutMs);
  timing->clickToText = clock.Seconds();
  timing->ownElapse = ElapseIn(timing->finalText);

  if (timing->finalText.rfind(PackSession::kFinalPrefix, 0) != 0) {
    return "the run did not finish: \"" + timing->finalText + "\"";
  }
  // The dialog takes the final text only once the worker is done; "&Close" follows at a tick.
  WaitUntil([&] { return session.Enabled(IDCANCEL); }, kStartTimeoutMs);
  timing->peakWorkingSet = PeakWorkingSetOf(session.ProcessId());
  if (!session.Close()) return "the dialog did not close";
  if (timing->finalText.find("error") != std::string::npos) {
    return "the run reported errors: " + timing->finalText;
  }
  if (timing->ownElapse < 0) return "no elapsed time in \"" + timing->finalText + "\"";
  return "";
}

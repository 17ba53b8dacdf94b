// qx48patch.exe on a real console, as somebody at the machine runs it: the progress is one line
// that is rewritten in place, so the screen shows it once, at its last count. The tool runs in a
// console of its own (CREATE_NEW_CONSOLE) through cmd.exe, whose "pause" keeps that console open
// afterwards; this test then attaches to it, reads its screen buffer and ends cmd.exe.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/e2e/ConsoleFixture.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowDriver.h"

namespace {

// Every row of the console's screen buffer, trailing blanks cut, empty rows left out.
std::vector<std::string> ScreenRows() {
  std::vector<std::string> rows;
  HANDLE screen =
      CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (screen == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(screen, &info)) return rows;
  for (SHORT y = 0; y < info.dwSize.Y; ++y) {
    std::string row(size_t(info.dwSize.X), ' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterA(screen, &row[0], DWORD(row.size()), COORD{0, y}, &read);
    row.resize(read);
    while (!row.empty() && (row.back() == ' ' || row.back() == '\0')) row.pop_back();
    if (!row.empty()) rows.push_back(row);
  }
  CloseHandle(screen);
  return rows;
}

class ConsoleScreenTest : public ConsoleFixture {};

TEST_F(ConsoleScreenTest, OnAConsoleTheProgressIsOneLineRewrittenInPlace) {
  char windows[MAX_PATH] = "";
  GetWindowsDirectoryA(windows, MAX_PATH);
  std::string command = std::string("\"") + windows + "\\System32\\cmd.exe\" /c \"\"" + Tool() +
                        "\" install --target " + fresh_.folder + " & pause\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION shell = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                             nullptr, nullptr, &startup, &shell));
  const bool installed =
      WaitUntil([&] { return PathExists(Config(fresh_) + "\\Qorvantel.Version"); }, 30000);
  Sleep(1000);  // the tool's last lines after its last file
  FreeConsole();
  const bool attached = AttachConsole(shell.dwProcessId) != FALSE;
  const std::vector<std::string> rows = attached ? ScreenRows() : std::vector<std::string>();
  FreeConsole();
  TerminateProcess(shell.hProcess, 0);
  WaitForSingleObject(shell.hProcess, 30000);
  CloseHandle(shell.hProcess);
  CloseHandle(shell.hThread);
  ASSERT_TRUE(installed);
  ASSERT_TRUE(attached) << "could not attach to the tool's console (error " << GetLastError()
                        << ")";

  const std::string total = std::to_string(patch_.size());
  int progressRows = 0;
  for (const std::string& row : rows) {
    if (row.find(" files") != std::string::npos && row.find(" of ") != std::string::npos) {
      ++progressRows;
      EXPECT_EQ(row, fresh_.folder + "\\: " + total + " of " + total + " files");
    }
  }
  EXPECT_EQ(progressRows, 1) << "rows on the screen:\n"
                             << [&] {
                                  std::string all;
                                  for (const std::string& row : rows) all += row + "\n";
                                  return all;
                                }();
  EXPECT_NE(std::find(rows.begin(), rows.end(),
                      fresh_.folder + "\\: installed V2.0 over no patch (" + total + " files)"),
            rows.end());
}

}  // namespace

// qx48patch.exe started by an administrator whom UAC has not elevated: a real restricted token
// (Administrators only for denying), which Wine honours as Windows does. What writes says so in
// one line and exits with 5; what only reads works as ever.
#include <gtest/gtest.h>

#include "tests/e2e/ConsoleFixture.h"

namespace {

struct RightsCase {
  const char* arguments;
  DWORD code;
  bool refused;  // the one-line message about administrator rights
};

class NonAdministratorTest : public ConsoleFixture {};

TEST_F(NonAdministratorTest, CommandsThatWriteRefuseWithCode5AndThoseThatReadWork) {
  HANDLE token = NonAdministratorToken();
  ASSERT_NE(token, nullptr) << "no restricted token (error " << GetLastError() << ")";
  const RightsCase cases[] = {
      {"install", 5, true},
      {"install --target C:\\qx48-cli\\EWARM_9.30", 5, true},
      {"restore --all", 5, true},
      {"uninstall", 5, true},
      {"install --dry-run", 0, false},
      {"status", 1, false},
      {"list", 0, false},
  };
  const FolderTree before = ReadFolderTree(Config(old_));
  for (const RightsCase& c : cases) {
    SCOPED_TRACE(c.arguments);
    ConsoleRun run;
    ASSERT_TRUE(run.StartAs(token, Tool(), c.arguments)) << GetLastError();
    const ConsoleResult result = run.Wait();
    EXPECT_EQ(result.exitCode, c.code) << result.out << result.err;
    EXPECT_EQ(result.err.find("needs administrator rights") != std::string::npos, c.refused)
        << result.err;
    if (c.refused) {
      EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
    }
  }
  CloseHandle(token);
  EXPECT_EQ(ReadFolderTree(Config(old_)), before);
  // The same commands with this process's own (administrator's) token install.
  EXPECT_EQ(Run("install").exitCode, 0u);
}

}  // namespace

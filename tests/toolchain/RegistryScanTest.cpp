// The registry scan against real keys in the test prefix's registry. Records are written in the
// 32-bit view, where EWARM's installer writes them (Wow6432Node in the 64-bit view), whichever
// build this test program belongs to.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "toolchain/RegistryScan.h"

namespace {

// A registry value as the test stores it: its type and its exact bytes (no terminator added).
struct StoredValue {
  bool present;
  DWORD type;
  std::string bytes;
};

const StoredValue kAbsent{false, REG_NONE, ""};

StoredValue Text(const std::string& text) {
  return {true, REG_SZ, text + '\0'};
}
StoredValue Unterminated(const std::string& text) {
  return {true, REG_SZ, text};
}
StoredValue Typed(DWORD type, const std::string& bytes) {
  return {true, type, bytes};
}

void DeleteTree(HKEY root, const char* path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
    RegDeleteTreeA(key, nullptr);
    RegCloseKey(key);
    RegDeleteKeyExA(root, path, view, 0);
  }
}

HKEY CreateKey(HKEY parent, const std::string& path, REGSAM view = 0) {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS | view, nullptr, &key, nullptr));
  return key;
}

void Store(HKEY key, const char* name, const StoredValue& value) {
  if (!value.present) return;
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, value.type,
                                          reinterpret_cast<const BYTE*>(value.bytes.data()),
                                          static_cast<DWORD>(value.bytes.size())));
}

// One candidate subkey below the locations key.
struct Candidate {
  std::string name;
  StoredValue installPath;
  bool hasVersionKey;
  StoredValue version;
};

// Where EWARM's installer writes: its own view for a 32-bit program, asked for by a 64-bit one.
constexpr REGSAM kEwarmView = KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;

void WriteCandidate(const Candidate& candidate, HKEY locationsRoot = HKEY_LOCAL_MACHINE,
                    REGSAM view = kEwarmView) {
  HKEY key = CreateKey(locationsRoot, std::string(kLocationsKeyPath) + "\\" + candidate.name, view);
  Store(key, kInstallPathValue, candidate.installPath);
  if (candidate.hasVersionKey) {
    HKEY versionKey = CreateKey(key, kVersionKeyPath);
    Store(versionKey, kVersionValue, candidate.version);
    RegCloseKey(versionKey);
  }
  RegCloseKey(key);
}

Candidate Installation(const std::string& name, const std::string& path,
                       const std::string& version) {
  return {name, Text(path), true, Text(version)};
}

// True when every byte of the field from its terminator on is zero.
bool ZeroAfterText(const char* field, size_t size) {
  const size_t length = strnlen(field, size);
  if (length == size) return false;
  for (size_t i = length; i < size; ++i) {
    if (field[i] != '\0') return false;
  }
  return true;
}

class RegistryScanTest : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    DeleteTree(HKEY_LOCAL_MACHINE, kLocationsKeyPath, kEwarmView);
    DeleteTree(HKEY_LOCAL_MACHINE, kLocationsKeyPath, kOtherView);
  }
  static InstallRecordList Scan() {
    InstallRecordList list;
    const int found = FindToolchainInstallations(list);
    EXPECT_EQ(static_cast<int>(list.size()), found);
    return list;
  }
};

const std::string k1023(1023, 'p');
const std::string k1024(1024, 'p');

struct RecordCase {
  const char* what;
  Candidate candidate;
  bool counts;
  std::string installPath;
  std::string versionText;
};

std::vector<RecordCase> RecordCases() {
  const std::string path = "C:\\IAR\\EW930";
  return {
      {"complete record", Installation("a", path, "9.30.1"), true, path, "9.30.1"},
      {"empty InstallPath", Installation("a", "", "9.30.1"), false, "", ""},
      {"no InstallPath value", {"a", kAbsent, true, Text("9.30.1")}, false, "", ""},
      {"no 10.EW key", {"a", Text(path), false, kAbsent}, false, "", ""},
      {"10.EW key without Version", {"a", Text(path), true, kAbsent}, false, "", ""},
      {"empty Version", Installation("a", path, ""), true, path, ""},
      {"InstallPath of 1023 characters", Installation("a", k1023, "9.30"), true, k1023, "9.30"},
      {"InstallPath of 1024 characters", Installation("a", k1024, "9.30"), false, "", ""},
      {"InstallPath filling 1024 bytes without terminator",
       {"a", Unterminated(k1024), true, Text("9.30")},
       false,
       "",
       ""},
      {"InstallPath of 1023 bytes without terminator",
       {"a", Unterminated(k1023), true, Text("9.30")},
       true,
       k1023,
       "9.30"},
      {"Version of 255 characters", Installation("a", path, std::string(255, 'v')), true, path,
       std::string(255, 'v')},
      {"Version of 256 characters", Installation("a", path, std::string(256, 'v')), false, "", ""},
      {"Version filling 256 bytes without terminator",
       {"a", Text(path), true, Unterminated(std::string(256, 'v'))},
       false,
       "",
       ""},
      {"text stored with bytes after its terminator",
       {"a", Typed(REG_SZ, path + std::string("\0junk\0", 6)), true, Text("9.30")},
       true,
       path,
       "9.30"},
      {"InstallPath as REG_DWORD",
       {"a", Typed(REG_DWORD, std::string("\x01\x02\x03\x04", 4)), true, Text("9.30")},
       false,
       "",
       ""},
      {"InstallPath as REG_BINARY text",
       {"a", Typed(REG_BINARY, path + '\0'), true, Text("9.30")},
       false,
       "",
       ""},
      {"InstallPath as REG_MULTI_SZ",
       {"a", Typed(REG_MULTI_SZ, path + '\0' + '\0'), true, Text("9.30")},
       false,
       "",
       ""},
      {"Version as REG_DWORD",
       {"a", Text(path), true, Typed(REG_DWORD, std::string("\x09\0\0\0", 4))},
       false,
       "",
       ""},
      {"InstallPath as REG_EXPAND_SZ",
       {"a", Typed(REG_EXPAND_SZ, "%QX48_SCAN_ROOT%\\EW930\0"), true, Text("9.30")},
       true,
       "C:\\Scan Root\\EW930",
       "9.30"},
      {"REG_EXPAND_SZ whose expansion does not fit",
       {"a", Typed(REG_EXPAND_SZ, "%QX48_SCAN_LONG%\\EW930\0"), true, Text("9.30")},
       false,
       "",
       ""},
  };
}

TEST_F(RegistryScanTest, EachCandidateCountsOnlyWithBothTextsThatFit) {
  SetEnvironmentVariableA("QX48_SCAN_ROOT", "C:\\Scan Root");
  SetEnvironmentVariableA("QX48_SCAN_LONG", std::string(1020, 'L').c_str());
  for (const RecordCase& c : RecordCases()) {
    SCOPED_TRACE(c.what);
    Clean();
    WriteCandidate(c.candidate);

    HKEY locations = nullptr;
    ASSERT_TRUE(OpenLocationsKey(&locations));
    InstallRecord record;
    memset(&record, 0x5A, sizeof record);
    EXPECT_EQ(c.counts, ReadInstallRecord(&record, locations, c.candidate.name.c_str()) != FALSE);
    RegCloseKey(locations);

    // Whatever the outcome, both fields stay terminated within their width, zero after the text.
    EXPECT_TRUE(ZeroAfterText(record.installPath, sizeof record.installPath));
    EXPECT_TRUE(ZeroAfterText(record.versionText, sizeof record.versionText));
    if (c.counts) {
      EXPECT_EQ(c.installPath, record.installPath);
      EXPECT_EQ(c.versionText, record.versionText);
    }

    const InstallRecordList list = Scan();
    ASSERT_EQ(c.counts ? 1u : 0u, list.size());
    if (c.counts) {
      EXPECT_EQ(c.installPath, list[0].installPath);
      EXPECT_EQ(c.versionText, list[0].versionText);
    }
  }
}

TEST_F(RegistryScanTest, MissingCandidateSubkeyDoesNotCount) {
  WriteCandidate(Installation("present", "C:\\EW", "9.30"));
  HKEY locations = nullptr;
  ASSERT_TRUE(OpenLocationsKey(&locations));
  InstallRecord record;
  EXPECT_FALSE(ReadInstallRecord(&record, locations, "absent"));
  RegCloseKey(locations);
}

TEST_F(RegistryScanTest, NoLocationsKeyGivesNoRecordsAndLeavesTheListAlone) {
  InstallRecordList empty;
  EXPECT_EQ(0, FindToolchainInstallations(empty));
  EXPECT_TRUE(empty.empty());

  HKEY key = nullptr;
  EXPECT_FALSE(OpenLocationsKey(&key));

  InstallRecordList earlier(1);
  strcpy(earlier[0].installPath, "C:\\Earlier");
  EXPECT_EQ(1, FindToolchainInstallations(earlier));
  EXPECT_STREQ("C:\\Earlier", earlier[0].installPath);
}

TEST_F(RegistryScanTest, AppendsToWhatTheListAlreadyHolds) {
  WriteCandidate(Installation("a", "C:\\EW1", "1.0"));
  WriteCandidate(Installation("b", "C:\\EW2", "2.0"));
  InstallRecordList list(1);
  strcpy(list[0].installPath, "C:\\Earlier");
  EXPECT_EQ(3, FindToolchainInstallations(list));
  ASSERT_EQ(3u, list.size());
  EXPECT_STREQ("C:\\Earlier", list[0].installPath);
  EXPECT_STREQ("C:\\EW1", list[1].installPath);
  EXPECT_STREQ("C:\\EW2", list[2].installPath);
}

TEST_F(RegistryScanTest, RecordsFollowTheRegistryOrderNotTheVersionOrCreationOrder) {
  // The registry enumerates subkeys by name without regard to case, whatever order they were
  // created in; the scan keeps that order and leaves sorting by version to the dialog.
  WriteCandidate(Installation("EW_b", "C:\\B", "8.10"));
  WriteCandidate(Installation("ew_C", "C:\\C", "7.80"));
  WriteCandidate(Installation("EW_a", "C:\\A", "9.30"));
  WriteCandidate({"EW_ab", Text(""), true, Text("5.0")});  // skipped in the middle
  const InstallRecordList list = Scan();
  ASSERT_EQ(3u, list.size());
  EXPECT_STREQ("C:\\A", list[0].installPath);
  EXPECT_STREQ("C:\\B", list[1].installPath);
  EXPECT_STREQ("C:\\C", list[2].installPath);
}

TEST_F(RegistryScanTest, KeepsEveryCandidateBeyondSixtyFour) {
  const int kCandidates = 70;
  for (int i = 0; i < kCandidates; ++i) {
    char name[16], path[32], version[16];
    snprintf(name, sizeof name, "c%03d", i);
    snprintf(path, sizeof path, "C:\\IAR\\EW%03d", i);
    snprintf(version, sizeof version, "9.%02d", i);
    WriteCandidate(Installation(name, path, version));
  }
  const InstallRecordList list = Scan();
  ASSERT_EQ(static_cast<size_t>(kCandidates), list.size());
  for (int i = 0; i < kCandidates; ++i) {
    char path[32];
    snprintf(path, sizeof path, "C:\\IAR\\EW%03d", i);
    EXPECT_STREQ(path, list[i].installPath) << i;
  }
}

TEST_F(RegistryScanTest, KeepsDuplicatesThatDifferOnlyInCaseOrNotAtAll) {
  WriteCandidate(Installation("one", "C:\\IAR\\EW", "8.40A"));
  WriteCandidate(Installation("two", "c:\\iar\\ew", "8.40a"));
  WriteCandidate(Installation("three", "C:\\IAR\\EW", "8.40A"));
  const InstallRecordList list = Scan();
  ASSERT_EQ(3u, list.size());
  EXPECT_STREQ("C:\\IAR\\EW", list[0].installPath);  // "one"
  EXPECT_STREQ("8.40A", list[0].versionText);
  EXPECT_STREQ("C:\\IAR\\EW", list[1].installPath);  // "three"
  EXPECT_STREQ("c:\\iar\\ew", list[2].installPath);  // "two"
  EXPECT_STREQ("8.40a", list[2].versionText);
}

TEST_F(RegistryScanTest, LocationsKeyIsOpenedForReadingOnly) {
  WriteCandidate(Installation("a", "C:\\EW", "9.30"));
  HKEY key = nullptr;
  ASSERT_TRUE(OpenLocationsKey(&key));
  DWORD subkeys = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(1u, subkeys);
  // Full access would fail outright for a user without write access to HKEY_LOCAL_MACHINE.
  EXPECT_EQ(ERROR_ACCESS_DENIED,
            RegSetValueExA(key, "probe", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2));
  RegCloseKey(key);
}

TEST_F(RegistryScanTest, Wow64AnswerMatchesTheMachineAndTheProcess) {
  // A 32-bit process on 64-bit Windows sees an x86 system and an x64 (or Arm64) machine.
  SYSTEM_INFO process{}, native{};
  GetSystemInfo(&process);
  GetNativeSystemInfo(&native);
  const bool wow64 = process.wProcessorArchitecture != native.wProcessorArchitecture;
  EXPECT_EQ(wow64, IsRunningUnderWow64() != FALSE);
}

bool SystemHasTwoViews() {
  SYSTEM_INFO native{};
  GetNativeSystemInfo(&native);
  return native.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL;
}

TEST_F(RegistryScanTest, Under64BitWindowsOnlyThe32BitViewIsRead) {
  // Both builds: the 32-bit program under WOW64 and the 64-bit program, which is not redirected
  // and has to ask for the 32-bit view. The decoy sits at the very path a 64-bit program would
  // read if it forgot to.
  if (!SystemHasTwoViews()) GTEST_SKIP() << "a 32-bit system has only one view";
  WriteCandidate(Installation("view32", "C:\\View32", "9.30"));
  WriteCandidate(Installation("view64", "C:\\View64", "9.40"), HKEY_LOCAL_MACHINE, kOtherView);
  const InstallRecordList list = Scan();
  ASSERT_EQ(1u, list.size());
  EXPECT_STREQ("C:\\View32", list[0].installPath);
}

TEST_F(RegistryScanTest, DoubleByteCodePageAnOverlongSubkeyNameIsSkipped) {
  // 255 characters of two bytes each: the longest name the registry takes, and 510 bytes in the
  // ANSI code page, which the scan's buffer cannot hold. The records before and after it must
  // still be listed.
  CPINFO codePage{};
  ASSERT_TRUE(GetCPInfo(CP_ACP, &codePage));
  ASSERT_EQ(2u, codePage.MaxCharSize)
      << "run this case in a double-byte code page (ACP " << GetACP() << ")";
  WriteCandidate(Installation("A_before", "C:\\Before", "9.10"));
  WriteCandidate(Installation("C_after", "C:\\After", "9.30"));
  const std::wstring overlong = L"B" + std::wstring(254, L'\x3042');
  const std::wstring path =
      L"SOFTWARE\\IAR Systems\\Embedded Workbench\\5.0\\Locations\\" + overlong;
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS | kEwarmView, nullptr, &key, nullptr));
  const std::wstring installPath = L"C:\\Overlong";
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExW(key, L"InstallPath", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(installPath.c_str()),
                           static_cast<DWORD>((installPath.size() + 1) * sizeof(wchar_t))));
  RegCloseKey(key);

  // The enumeration itself reports the name as not fitting, so the case does test the skip.
  HKEY locations = nullptr;
  ASSERT_TRUE(OpenLocationsKey(&locations));
  char name[260];
  DWORD nameLength = sizeof name;
  EXPECT_EQ(ERROR_MORE_DATA,
            RegEnumKeyExA(locations, 1, name, &nameLength, nullptr, nullptr, nullptr, nullptr));
  RegCloseKey(locations);

  const InstallRecordList list = Scan();
  ASSERT_EQ(2u, list.size());
  EXPECT_STREQ("C:\\Before", list[0].installPath);
  EXPECT_STREQ("C:\\After", list[1].installPath);
}

}  // namespace

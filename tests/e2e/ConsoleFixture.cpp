#include "tests/e2e/ConsoleFixture.h"

#include <windows.h>

#include <cstdio>

#include "tests/support/EwarmRegistry.h"
#include "tests/support/TestFiles.h"

namespace {

constexpr const char* kDeliveries = "SOFTWARE\\QuorVantel\\QX48_EWARM_pack\\Deliveries";

// FILE_ID_INFO, which the headers declare for Windows 8 and later only.
struct FolderId {
  ULONGLONG volume;
  BYTE id[16];
};

void ForgetEveryDelivery() {
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kDeliveries, KEY_WOW64_64KEY, 0);
}

}  // namespace

void ConsoleFixture::HoldPatch(const Ewarm& ewarm, const char* label, bool delivered) {
  ASSERT_TRUE(CopyFolderTree(PatchFolder(), Config(ewarm)));
  ASSERT_TRUE(WriteTextFile(
      Config(ewarm) + "\\Qorvantel.Version",
      std::string("[Install]\r\nVersion=\"") + label + "\"\r\nDate=\"2026-12-01\"\r\n"));
  if (!delivered) return;
  // The value is named by the configuration folder's volume and file id in hex.
  HANDLE folder = CreateFileA(Config(ewarm).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(folder, INVALID_HANDLE_VALUE);
  FolderId id{};
  const BOOL read = GetFileInformationByHandleEx(folder, static_cast<FILE_INFO_BY_HANDLE_CLASS>(18),
                                                 &id, sizeof id);  // FileIdInfo
  CloseHandle(folder);
  ASSERT_TRUE(read);
  char name[64];
  int at = snprintf(name, sizeof name, "%016llx-", static_cast<unsigned long long>(id.volume));
  for (BYTE byte : id.id) at += snprintf(name + at, sizeof name - at, "%02x", byte);
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDeliveries, 0, nullptr, 0,
                            KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(label),
                 static_cast<DWORD>(strlen(label) + 1));
  RegCloseKey(key);
}

void ConsoleFixture::SetUp() {
  EwarmRegistry::Clear();
  ForgetEveryDelivery();
  ASSERT_TRUE(RemoveTree(Root()));
  ASSERT_TRUE(CopyFolderTree(WindowsPathOf(QX48_PACKAGE_DIR), Pack()))
      << "could not copy the package";
  ASSERT_TRUE(PathExists(Tool())) << "the package has no qx48patch.exe";
  patch_ = ReadFolderTree(PatchFolder());
  ASSERT_FALSE(patch_.empty());
  old_ = MakeEwarm("EWARM_9.30", "9.30.1", true);
  fresh_ = MakeEwarm("EWARM_10.10", "10.10.1", false);
  Register(old_);
  Register(fresh_);
}

void ConsoleFixture::TearDown() {
  EwarmRegistry::Clear();
  ForgetEveryDelivery();
}

ConsoleFixture::Ewarm ConsoleFixture::MakeEwarm(const std::string& candidate,
                                                const std::string& version, bool oldPatch) {
  Ewarm ewarm{candidate, version, Root() + "\\" + candidate};
  EXPECT_TRUE(WriteTextFile(Config(ewarm) + "\\devices\\Other\\Other.i79", "[CHIP]\r\n"));
  if (oldPatch) {
    EXPECT_TRUE(WriteTextFile(Config(ewarm) + "\\devices\\QuorVantel\\QX48H410xKx.i79",
                              "[CHIP]\r\nold\r\n"));
    EXPECT_TRUE(
        WriteTextFile(Config(ewarm) + "\\devices\\QuorVantel\\QX48H4_obsolete.i79", "[CHIP]\r\n"));
    EXPECT_TRUE(WriteTextFile(Config(ewarm) + "\\Qorvantel.Version",
                              "[Install]\r\nVersion=\"V1.0\"\r\nDate=\"2025-03-14\"\r\n"));
  }
  return ewarm;
}

void ConsoleFixture::Register(const Ewarm& ewarm) {
  ASSERT_TRUE(EwarmRegistry::Add(ewarm.candidate, ewarm.folder, ewarm.version));
}

bool ConsoleFixture::HoldsPatch(const Ewarm& ewarm) const {
  return PatchFilesNotInstalled(patch_, ReadFolderTree(Config(ewarm))).empty();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

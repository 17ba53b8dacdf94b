// What Windows and a user learn about the packaged program before it runs: its PE machine, the
// architecture its manifest declares (a wrong one stops the program with a side-by-side error on
// Windows) and the description and version its version resource shows in Explorer.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "BuildInfo.h"
#include "tests/support/TestFiles.h"

namespace {

std::string PackagedExe() {
  return WindowsPathOf(QX48_PACKAGE_DIR) + "\\QX48_EWARM_pack.exe";
}

// The architecture this test program was built for is the one its package must carry.
struct Architecture {
  WORD machine;
  const char* manifestName;
  const char* words;
};
#ifdef _WIN64
const Architecture kThisBuild{IMAGE_FILE_MACHINE_AMD64, "amd64", "(64-bit, x64)"};
#else
const Architecture kThisBuild{IMAGE_FILE_MACHINE_I386, "x86", "(32-bit, x86)"};
#endif

WORD PeMachine(const std::string& path) {
  std::string image;
  if (!ReadTextFile(path, &image) || image.size() < 0x40) return 0;
  const DWORD peOffset = *reinterpret_cast<const DWORD*>(image.data() + 0x3C);
  if (peOffset + 6 > image.size() || image.compare(peOffset, 4, std::string("PE\0\0", 4)) != 0)
    return 0;
  return *reinterpret_cast<const WORD*>(image.data() + peOffset + 4);
}

std::string ManifestOf(const std::string& path) {
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr) return "";
  std::string text;
  if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
    const void* data = LockResource(LoadResource(module, found));
    if (data != nullptr) text.assign(static_cast<const char*>(data), SizeofResource(module, found));
  }
  FreeLibrary(module);
  return text;
}

std::string VersionString(const std::string& path, const char* name) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return "";
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return "";
  char* value = nullptr;
  UINT length = 0;
  const std::string query = std::string("\\StringFileInfo\\040904b0\\") + name;
  if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) ||
      value == nullptr) {
    return "";
  }
  return std::string(value, strnlen(value, length));
}

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(ProgramIdentityTest, MachineManifestAndVersionResourceNameThisBuildsArchitecture) {
  const std::string exe = PackagedExe();
  EXPECT_EQ(PeMachine(exe), kThisBuild.machine);

  // The program's own identity and its common-controls dependency both name it.
  const std::string manifest = ManifestOf(exe);
  ASSERT_NE(manifest, "") << "no manifest resource in " << exe;
  const std::string declared =
      std::string("processorArchitecture=\"") + kThisBuild.manifestName + "\"";
  EXPECT_EQ(Occurrences(manifest, "processorArchitecture="), 2u) << manifest;
  EXPECT_EQ(Occurrences(manifest, declared), 2u) << manifest;
  EXPECT_NE(manifest.find("requireAdministrator"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"" QX48_VERSION_QUAD "\""), std::string::npos);

  const std::string description = VersionString(exe, "FileDescription");
  EXPECT_EQ(description,
            std::string("QX48 device support installer for IAR EWARM ") + kThisBuild.words);
  EXPECT_EQ(VersionString(exe, "FileVersion"), QX48_VERSION_QUAD);
  EXPECT_EQ(VersionString(exe, "ProductVersion"), QX48_VERSION_QUAD);
  EXPECT_EQ(VersionString(exe, "OriginalFilename"), "QX48_EWARM_pack.exe");
}

}  // namespace

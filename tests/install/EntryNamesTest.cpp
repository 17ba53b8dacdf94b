// The rules for names a listing gives and the paths joined from them, apart from the file system.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "install/EntryNames.h"

namespace {

struct JoinCase {
  const char* what;
  std::string folder;
  std::string name;
  size_t maxLength;
  bool joined;
  std::string item;  // when joined
};

TEST(JoinItemPath, OneBackslashBetweenAndNothingPastTheBounds) {
  const std::string folder250(250, 'f');
  const JoinCase cases[] = {
      {"a folder and a name", "C:\\cfg", "a.xml", 259, true, "C:\\cfg\\a.xml"},
      {"a folder ending in a backslash", "C:\\cfg\\", "a.xml", 259, true, "C:\\cfg\\a.xml"},
      {"a drive alone", "C:", "a", 259, true, "C:\\a"},
      {"an empty folder still gets the separator", "", "a", 259, true, "\\a"},
      {"an empty name", "C:\\cfg", "", 259, true, "C:\\cfg\\"},
      {"exactly the caller's bound", folder250, "12345678", 259, true, folder250 + "\\12345678"},
      {"one past the caller's bound", folder250, "123456789", 259, false, ""},
      {"a smaller bound", "C:\\cfg", "*.*", 10, true, "C:\\cfg\\*.*"},
      {"one past a smaller bound", "C:\\cfg", "*.*", 9, false, ""},
      {"MAX_PATH - 1 whatever the caller allows", folder250, "12345678", 1000, true,
       folder250 + "\\12345678"},
      {"MAX_PATH is one too many", folder250, "123456789", 1000, false, ""},
      {"a name far too long", "C:", std::string(5000, 'n'), 100000, false, ""},
  };
  for (const JoinCase& c : cases) {
    // Exactly MAX_PATH bytes on the heap: a write past them is AddressSanitizer's to see.
    std::vector<char> item(MAX_PATH, 'X');
    const BOOL joined = JoinItemPath(item.data(), c.folder.c_str(), c.name.c_str(), c.maxLength);
    EXPECT_EQ(joined != FALSE, c.joined) << c.what;
    EXPECT_EQ(std::string(item.data()), c.item) << c.what;
  }
}

TEST(IsReservedDeviceName, DeviceNamesWithAnyExtensionAndCase) {
  const struct {
    const char* name;
    bool reserved;
  } cases[] = {
      {"CON", true},    {"con", true},       {"Con.txt", true},  {"CON .txt", true},
      {"CON  ", true},  {"AUX.a.b", true},   {"NUL", true},      {"prn.log", true},
      {"CONIN$", true}, {"conout$.x", true}, {"COM1", true},     {"com9.log", true},
      {"COM0", true},   {"LPT3", true},      {"lpt1.txt", true}, {"COM10", false},
      {"COMA", false},  {"LPT", false},      {"CONX", false},    {"console", false},
      {"", false},      {".CON", false},     {" CON", false},    {"CON:", false},
      {"a.CON", false}, {"CONIN", false},    {"NUL_", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsReservedDeviceName(c.name) != FALSE, c.reserved) << '"' << c.name << '"';
  }
}

}  // namespace

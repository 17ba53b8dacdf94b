#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/ConsoleRun.h"
#include "tests/e2e/FolderTree.h"

// The shipped package unpacked into a fresh folder of the test prefix, with EWARM installations
// on disk and in the registry, for tests that run qx48patch.exe (and the dialog) from it.
class ConsoleFixture : public ::testing::Test {
 protected:
  struct Ewarm {
    std::string candidate;  // registry subkey
    std::string version;    // EWARM's version text
    std::string folder;     // installation folder
  };

  void SetUp() override;
  void TearDown() override;

  static std::string Root() { return "C:\\qx48-cli"; }
  static std::string Pack() { return Root() + "\\pack"; }
  static std::string Tool() { return Pack() + "\\qx48patch.exe"; }
  static std::string Dialog() { return Pack() + "\\QX48_EWARM_pack.exe"; }
  static std::string PatchFolder() { return Pack() + "\\QX48_EWARM_patch"; }
  static std::string Config(const Ewarm& ewarm) { return ewarm.folder + "\\arm\\config"; }
  static std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

  // An installation with another vendor's files; with the older V1.0 patch (which had a device
  // file V2.0 no longer carries) when oldPatch.
  Ewarm MakeEwarm(const std::string& candidate, const std::string& version, bool oldPatch);
  void Register(const Ewarm& ewarm);

  ConsoleResult Run(const std::string& arguments) { return RunConsole(Tool(), arguments); }

  // Every file of the patch is in the installation byte for byte.
  bool HoldsPatch(const Ewarm& ewarm) const;

  // The patch's files with a version file saying label, as a later package's install leaves
  // them; with delivered, also the record that install writes where only administrators may
  // write (its layout is what every release reads), without it as a user could plant them.
  void HoldPatch(const Ewarm& ewarm, const char* label, bool delivered = true);

  FolderTree patch_;  // the unpacked package's patch tree
  Ewarm old_;         // 9.30.1 with the V1.0 patch, registered
  Ewarm fresh_;       // 10.10.1, never patched, registered
};

// One line per element of text, "\r\n" or "\n" ending each.
std::vector<std::string> Lines(const std::string& text);

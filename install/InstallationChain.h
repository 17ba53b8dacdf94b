#pragma once
#include <windows.h>

#include <string>

#include "classlib/FileHandle.h"

// The folders an install, restore or uninstall acts below: the installation folder, its "arm"
// and its "arm\config", each opened once and checked on its handle. Each must be a plain folder
// (no link or junction) that is exactly where its name says; a user who may write the
// installation's folder (EWARM often lies below C:\) could otherwise point an administrator's or
// SYSTEM's run at any folder of the machine that looks like a configuration folder.
//
// The handles stay open, without delete sharing, for as long as the chain lives: on Windows
// nobody can then rename these folders or put a link in their place (nor rename a folder above
// them, which Windows refuses while something below is open) until the run lets go.
class CInstallationChain {
 public:
  enum Result {
    kChainHeld,        // all three levels are open and checked
    kChainMissing,     // the installation folder is not there (nothing was made)
    kChainNoConfig,    // arm\config is not there, and the caller did not ask to make it
    kChainRedirected,  // a level is a link, a junction, a file, or not where its name says
  };

  // Opens and checks the chain of installFolder, a fully qualified path. With makeConfig, a
  // missing "arm" or "arm\config" is made (and counted in LevelsMade) before it is opened.
  Result Open(const char* installFolder, BOOL makeConfig);
  // Lets go of the handles (a rollback that removes the folders it made needs that).
  void Release();

  // The configuration folder's path as checked: the installation folder in full, with "." and
  // ".." taken out and its long names, then "\arm\config".
  const std::string& Config() const { return m_config; }
  // The configuration folder, held open (for listing and traversing) while the chain lives: what
  // only reads the installation opens its entries relative to this.
  HANDLE ConfigHandle() const { return m_levels[2].GetSafeHandle(); }
  // How many levels Open made: 0, 1 (arm\config) or 2 (arm and arm\config).
  int LevelsMade() const { return m_levelsMade; }
  // Why Open refused, for the user.
  const std::string& Why() const { return m_why; }
  // The configuration folder's identity (volume and file id), kept after Release: two names or
  // two records of one folder give the same. FALSE when Open did not hold the chain.
  BOOL GetIdentity(FileIdentityInfo* identity) const;

 private:
  Result OpenLevel(int level, const std::string& path, BOOL make);

  CFileHandle m_levels[3];
  std::string m_config;
  std::string m_why;
  int m_levelsMade = 0;
  FileIdentityInfo m_identity{};
  BOOL m_hasIdentity = FALSE;
};

// TRUE when the two identities are of one folder.
BOOL SameFolder(const FileIdentityInfo& one, const FileIdentityInfo& other);

#pragma once
#include <windows.h>

#include <string>

#include "classlib/FileHandle.h"

// A folder of ours below %ProgramData%\QuorVantel (the log's, the install lock's), for SYSTEM and
// Administrators alone. Any user may create folders in ProgramData, so a user may have made
// QuorVantel a junction, or made the folder first, before the tool ever ran: QuorVantel must be a
// plain folder where its name says, held open while the folder is used, and a folder of ours
// that another user made is moved aside (with whatever is in it) by a run with administrator
// rights, which then makes its own.
class CProgramDataFolder {
 public:
  // Makes or checks %ProgramData%\QuorVantel\<name>. FALSE, with why, when it is not safe to use.
  bool Use(const char* name, std::string* why);
  // The folder's full path, once Use succeeded.
  const std::string& Path() const { return m_path; }

 private:
  CFileHandle m_vendor;  // QuorVantel, held from its check until the object goes
  std::string m_path;
};

// %ProgramData%\QuorVantel\<name> as a path; empty when there is no ProgramData folder.
std::string ProgramDataPath(const char* name);

// qx48patch help and --version: the commands, their options and the exit codes; what this
// program and its patch are.
#include <cstdio>

#include "BuildInfo.h"
#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"
#include "install/PatchPaths.h"
#include "record/VersionStamp.h"

const char* UsageText() {
  return "qx48patch: installs the QX48 patch beside this program into IAR Embedded Workbench for "
         "ARM.\n"
         "\n"
         "Usage: qx48patch <command> [options]\n"
         "\n"
         "Commands:\n"
         "  help                     this text\n"
         "  --version                this program's version and the version of its patch\n"
         "  list [--json]            every EWARM installation folder the registry records, with\n"
         "                           its version, the installed patch and whether it is current\n"
         "  install [--all | --target FOLDER ... | --newest] [--keep-old-patch] [--dry-run]\n"
         "          [--allow-downgrade] [--deploy-to FOLDER] [--json] [--quiet]\n"
         "                           installs the patch (default: --all); clears the old patch\n"
         "                           first unless --keep-old-patch; --dry-run lists what would be\n"
         "                           added, replaced and removed and changes nothing; refuses to\n"
         "                           replace a newer patch unless --allow-downgrade; --deploy-to\n"
         "                           keeps this program and its patch in FOLDER and adds them to\n"
         "                           Programs and Features (the deploy scripts use it)\n"
         "  status [--all | --target FOLDER ...] [--json] [--quiet]\n"
         "                           exit code 0 when every named installation holds this patch\n"
         "                           or a newer one\n"
         "  detect [--at-least VERSION] [--verify]\n"
         "                           one line, and exit code 0, only when every installation\n"
         "                           holds VERSION (default: this patch's) or a newer one: a\n"
         "                           detection rule; with --verify, this patch's files must also\n"
         "                           be there as its manifest says (as verify checks them)\n"
         "  restore (--all | --target FOLDER ...) [--quiet]\n"
         "                           takes the last install out again; when nothing was kept,\n"
         "                           removes the patch (the QuorVantel folders, "
         "Qorvantel.Version)\n"
         "  uninstall [--all | --target FOLDER ...] [--allow-downgrade] [--quiet]\n"
         "                           takes the patch out until an installation holds none of it,\n"
         "                           putting back what the oldest kept generation holds; a newer\n"
         "                           patch than this one stays, unless --allow-downgrade\n"
         "  verify [--all | --target FOLDER ...] [--json] [--quiet]\n"
         "                           compares each installation's patch files with the manifest\n"
         "                           built into this program: missing, changed and foreign files\n"
         "  repair [--all | --target FOLDER ...] [--keep-old-patch] [--json] [--quiet]\n"
         "                           installs this patch again into exactly the installations\n"
         "                           verify finds different or older, each one whole or not at "
         "all\n"
         "\n"
         "  --target FOLDER          an EWARM installation folder (it must hold arm\\config);\n"
         "                           may be given up to 64 times\n"
         "  --newest                 the installation with the highest EWARM version\n"
         "  --log FILE               any command: the log to append to instead of\n"
         "                           %ProgramData%\\QuorVantel\\Logs\\qx48patch.log\n"
         "  --quiet                  prints errors only\n"
         "\n"
         "install, repair, restore and uninstall need administrator rights. Only one install\n"
         "runs at a time on a machine, whether QX48_EWARM_pack.exe or qx48patch runs it.\n"
         "\n"
         "Exit codes:\n"
         "     0  success (status: every named installation holds this patch or a newer one)\n"
         "     1  status, detect: some installation does not hold this patch\n"
         "     3  install, repair, restore or uninstall failed in some installations, which are\n"
         "        as they were (the others are done)\n"
         "     5  no administrator rights\n"
         "    32  install, repair, restore, uninstall: some installations are as they were\n"
         "        because a file in them was in use, and none failed otherwise; try again later\n"
         "  1392  verify: some installation's patch files are missing, changed or foreign, or it\n"
         "        holds no patch or an older one\n"
         "  1603  fatal error, or an installation needs a person to look at it\n"
         "  1612  the patch beside this program is missing, damaged or without its manifest\n"
         "  1618  another install is running, or the kept tool is in use; try again later\n"
         "  1622  the log cannot be opened\n"
         "  1639  bad usage: unknown command or option, or a value missing\n"
         "  1642  no EWARM installation found, or a --target folder is not one\n";
}

ExitCode RunHelp(CConsoleOutput& /*out*/) {
  // Written whole and without the line limit of the console output.
  fputs(UsageText(), stdout);
  fflush(stdout);
  return kExitSuccess;
}

ExitCode RunVersion(const CommandLine& line, CConsoleOutput& out) {
  VersionStamp patch{};
  const std::string& folder = line.patchFolder;
  const bool present =
      !folder.empty() && GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (present) ReadVersionFile((folder + "\\" + kVersionFileName).c_str(), &patch);
  out.Line("qx48patch %s (%s), patch %s", QX48_VERSION_TEXT, QX48_ARCH_WORDS,
           present ? patch.label : "missing");
  return kExitSuccess;
}

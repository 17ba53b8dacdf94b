// qx48patch help: the commands, their options and the exit codes.
#include <cstdio>

#include "cli/Commands.h"
#include "cli/ConsoleOutput.h"

const char* UsageText() {
  return "qx48patch: installs the QX48 patch beside this program into IAR Embedded Workbench for "
         "ARM.\n"
         "\n"
         "Usage: qx48patch <command> [options]\n"
         "\n"
         "Commands:\n"
         "  help                     this text\n"
         "  list [--json]            every EWARM installation the registry records, with its\n"
         "                           version, the installed patch and whether it is current\n"
         "  install [--all | --target FOLDER ... | --newest] [--keep-old-patch] [--dry-run]\n"
         "          [--log FILE] [--quiet]\n"
         "                           installs the patch (default: --all); clears the old patch\n"
         "                           first unless --keep-old-patch; --dry-run lists what would be\n"
         "                           added, replaced and removed and changes nothing\n"
         "  status [--all | --target FOLDER ...] [--quiet]\n"
         "                           exit code 0 when every named installation holds this patch\n"
         "  restore (--all | --target FOLDER ...) [--log FILE] [--quiet]\n"
         "                           takes the last install out again; when nothing was kept,\n"
         "                           removes the patch (the QuorVantel folders, "
         "Qorvantel.Version)\n"
         "\n"
         "  --target FOLDER          an EWARM installation folder (it must hold arm\\config);\n"
         "                           may be given up to 64 times\n"
         "  --newest                 the installation with the highest EWARM version\n"
         "  --log FILE               appends one time-stamped line per file and per installation\n"
         "  --quiet                  prints errors only\n"
         "\n"
         "install and restore need administrator rights. Only one install runs at a time on a\n"
         "machine, whether QX48_EWARM_pack.exe or qx48patch runs it.\n"
         "\n"
         "Exit codes:\n"
         "     0  success (status: every named installation holds this patch)\n"
         "     1  status: some named installation does not hold this patch\n"
         "     2  no EWARM installation found, or a --target folder is not one\n"
         "     3  install or restore failed in some installations, which are as they were (the "
         "others are done)\n"
         "     5  no administrator rights\n"
         "  1603  fatal error\n"
         "  1612  the patch beside this program is missing or damaged\n"
         "  1618  another install is running (QX48_EWARM_pack.exe or qx48patch); try again later\n"
         "  1639  bad usage: unknown command or option, or a value missing\n";
}

ExitCode RunHelp(CConsoleOutput& /*out*/) {
  // Written whole and without the line limit of the console output.
  fputs(UsageText(), stdout);
  fflush(stdout);
  return kExitSuccess;
}

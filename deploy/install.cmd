@echo off
rem Installs the QX48 patch into every EWARM installation of this machine. For a distribution
rem system (Intune, Configuration Manager), which runs it as SYSTEM from the package's folder.
rem The package's own qx48patch does it all under the machine-wide install lock: it checks the
rem package against its manifest, keeps itself and its patch below Program Files (copied into a
rem fresh folder, checked there, then switched in), where detect.ps1 and uninstall.cmd find them
rem after the package's download is gone, installs, and adds the Programs and Features entry.
rem Exit codes: those of "qx48patch install" ("qx48patch help"); it logs to
rem %ProgramData%\QuorVantel\Logs\qx48patch.log.
setlocal
rem The package folder, one above this script, as a plain full path.
for %%I in ("%~dp0..") do set "PACKAGE=%%~fI"
set "BASE=%ProgramW6432%"
if not defined BASE set "BASE=%ProgramFiles%"
"%PACKAGE%\qx48patch.exe" install --all --deploy-to "%BASE%\QuorVantel\QX48_EWARM_pack"
exit /b %ERRORLEVEL%

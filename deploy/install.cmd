@echo off
rem Installs the QX48 patch into every EWARM installation of this machine. For a distribution
rem system (Intune, Configuration Manager), which runs it as SYSTEM from the package's folder.
rem The tool and its patch are kept below Program Files, where the detection rule and
rem uninstall.cmd find them after the package's download is gone.
rem Exit codes: those of "qx48patch install" ("qx48patch help"); 1603 when the copy fails.
setlocal
rem The package folder, one above this script, as a plain full path.
for %%I in ("%~dp0..") do set "PACKAGE=%%~fI"
set "BASE=%ProgramW6432%"
if not defined BASE set "BASE=%ProgramFiles%"
set "TOOLDIR=%BASE%\QuorVantel\QX48_EWARM_pack"
set "LOGDIR=%ProgramData%\QuorVantel"

if not exist "%LOGDIR%" mkdir "%LOGDIR%"
if exist "%TOOLDIR%\QX48_EWARM_patch" rd /s /q "%TOOLDIR%\QX48_EWARM_patch"
if not exist "%TOOLDIR%" mkdir "%TOOLDIR%"
rem "if errorlevel" on a line of its own: Wine's cmd runs the part after "||" also after a
rem successful command whose output is redirected.
xcopy "%PACKAGE%\qx48patch.exe" "%TOOLDIR%\" /y /q >nul
if errorlevel 1 exit /b 1603
rem The "\*" form: Wine's xcopy finds no files in a bare folder name; Windows' takes both.
xcopy "%PACKAGE%\QX48_EWARM_patch\*" "%TOOLDIR%\QX48_EWARM_patch\" /e /i /y /q >nul
if errorlevel 1 exit /b 1603

"%TOOLDIR%\qx48patch.exe" install --all --log "%LOGDIR%\qx48patch.log"
exit /b %ERRORLEVEL%

@echo off
rem Takes the QX48 patch out of every EWARM installation of this machine, then removes the tool
rem that install.cmd kept below Program Files: only when no installation holds the patch any more,
rem so that a failed uninstall can be run again. For a distribution system, run as SYSTEM.
rem Exit codes: those of "qx48patch uninstall" ("qx48patch help"); 0 on a machine without EWARM.
setlocal
rem The package folder, one above this script, as a plain full path.
for %%I in ("%~dp0..") do set "PACKAGE=%%~fI"
set "BASE=%ProgramW6432%"
if not defined BASE set "BASE=%ProgramFiles%"
set "TOOLDIR=%BASE%\QuorVantel\QX48_EWARM_pack"
set "TOOL=%PACKAGE%\qx48patch.exe"
if not exist "%TOOL%" set "TOOL=%TOOLDIR%\qx48patch.exe"

"%TOOL%" uninstall --all
set "CODE=%ERRORLEVEL%"
if not "%CODE%"=="0" exit /b %CODE%
if exist "%TOOLDIR%" rd /s /q "%TOOLDIR%"
rem What a deployment stopped half way left beside it (only administrators write there).
rem (Wine's cmd matches no quoted pattern in "for /d"; dir lists them on both.)
for /f "delims=" %%D in ('dir /b /ad "%TOOLDIR%.old-*" "%TOOLDIR%.new-*" 2^>nul') do rd /s /q "%BASE%\QuorVantel\%%D"
if exist "%TOOLDIR%" echo The patch is out; %TOOLDIR% is in use and stays until the next uninstall.
exit /b 0

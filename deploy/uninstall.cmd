@echo off
rem Takes the QX48 patch out of every EWARM installation of this machine again, then removes the
rem tool that install.cmd kept below Program Files. For a distribution system, run as SYSTEM.
rem Exit codes: those of "qx48patch restore" ("qx48patch help"), except that a machine without
rem any EWARM installation (2) has nothing to uninstall and reports 0.
setlocal
rem The package folder, one above this script, as a plain full path.
for %%I in ("%~dp0..") do set "PACKAGE=%%~fI"
set "BASE=%ProgramW6432%"
if not defined BASE set "BASE=%ProgramFiles%"
set "TOOLDIR=%BASE%\QuorVantel\QX48_EWARM_pack"
set "LOGDIR=%ProgramData%\QuorVantel"
set "TOOL=%TOOLDIR%\qx48patch.exe"
if not exist "%TOOL%" set "TOOL=%PACKAGE%\qx48patch.exe"

if not exist "%LOGDIR%" mkdir "%LOGDIR%"
rem A restore puts back what the last install replaced: after a second delivery of the same
rem version that is still this patch, so it is restored again until no installation holds it (the
rem last restore, with nothing kept, takes the patch out). Three rounds at most.
set /a ROUNDS=0
:restore
"%TOOL%" restore --all --log "%LOGDIR%\qx48patch.log"
set "CODE=%ERRORLEVEL%"
if "%CODE%"=="2" set "CODE=0"
if not "%CODE%"=="0" goto done
"%TOOL%" status --all --quiet
if errorlevel 1 goto done
set /a ROUNDS+=1
if %ROUNDS% lss 3 goto restore
set "CODE=3"
:done
if "%CODE%"=="0" if exist "%TOOLDIR%" rd /s /q "%TOOLDIR%"
exit /b %CODE%

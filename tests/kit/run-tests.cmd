@echo off
rem The Windows test kit: every end-to-end scenario, run as administrator. See report.txt afterwards.
rem Options: /yes (no question), /filter=PATTERN, /limit=SECONDS.
setlocal
"%~dp0kelvo_kit.exe" %*
set kit_exit=%errorlevel%
rem Started from Explorer (cmd /c "...\run-tests.cmd"), the window would close before its last lines could be read;
rem a prompt's own cmd has no /c, and a CI's run says /yes. Read after parsing: a path may hold & or ).
set kit_pause=1
for %%a in (%*) do if /i "%%~a"=="/yes" set kit_pause=
setlocal enabledelayedexpansion
if /i "!cmdcmdline: /c =!"=="!cmdcmdline!" set kit_pause=
if defined kit_pause pause
exit /b %kit_exit%

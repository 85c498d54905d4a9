@echo off
rem The Windows test kit: every end-to-end scenario, run as administrator. See report.txt afterwards.
rem Options: /yes (no question), /filter=PATTERN, /limit=SECONDS.
"%~dp0kelvo_kit.exe" %*
exit /b %errorlevel%

#!/usr/bin/env bash
# The Windows test kit, run as a tester runs it, in the Windows of KELVO_WINEARCH: the zip made and unpacked onto C:,
# a PC with its own Window-Eyes, Dolphin, display, product name and owner, left halfway by a killed run, then
# `run-tests.cmd /yes` for the scenarios of the filter. The report must end with every scenario passed, and the PC's
# keys and the scenarios' folders must be exactly as before the killed run.
# Usage: kit-test.sh <source folder> <build folder> <scenario filter>
set -euo pipefail

source=$1 build=$2 filter=$3
arch=${KELVO_WINEARCH:-win32}
work=$build/kit-test-$arch
rm -rf "$work"
mkdir -p "$work/kit"
fail() {
    echo "kit-test ($arch): $*" >&2
    exit 1
}

zip=$(bash "$source/tests/kit/make-kit.sh" "$build" "$build/dist" "$work" | tail -1)
(cd "$work/kit" && unzip -q "$zip")
for file in run-tests.cmd kelvo_kit.exe kelvo_e2e.exe prompt-probe.exe planted-dll.dll recording-voice.dll \
    "dist/Kelvo Braille display setup.exe"; do
    [ -f "$work/kit/$file" ] || fail "the zip lacks $file"
done

# The PC's own settings, which the kit must leave as they are.
we_key='SOFTWARE\GW Micro, Inc.\Window-Eyes\Professional' we_path='C:\Program Files\GW Micro\Window-Eyes'
nt_key='SOFTWARE\Microsoft\Windows NT\CurrentVersion' product='Microsoft Windows 7 Professional' owner='Kit Tester'

# The save a run killed halfway leaves beside the kit (what the kit writes: a line per key and value, the paths and
# names as UTF-16 bytes in hex), here of Window-Eyes' key and Windows' names; the next start must put it back first.
hex() { { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE; [ -z "${2:-}" ] || printf '\0\0'; } | od -An -tx1 -v | tr -d ' \n'; }
{
    echo "tree x$(hex 'SOFTWARE\GW Micro, Inc.')"
    for key in 'SOFTWARE\GW Micro, Inc.' 'SOFTWARE\GW Micro, Inc.\Window-Eyes' "$we_key"; do echo "key x$(hex "$key")"; done
    echo "value x$(hex "$we_key") x$(hex Path) 1 x$(hex "$we_path" z)"
    echo "value x$(hex "$we_key") x$(hex Version) 1 x$(hex 7.1 z)"
    echo "value x$(hex "$nt_key") x$(hex ProductName) 1 x$(hex "$product" z)"
    echo "value x$(hex "$nt_key") x$(hex RegisteredOwner) 1 x$(hex "$owner" z)"
} >"$work/kit/machine-saved.txt"
chmod -R a+rX "$work"

kit='C:\kelvo-kit'
unpacked=$(echo "Z:$work/kit" | tr / '\\')
we="HKLM\\$we_key" nt="HKLM\\$nt_key"
display='HKLM\SYSTEM\CurrentControlSet\Enum\USB\Vid_10c4&Pid_ea60&Mi_00\0001_00\Device Parameters'
# One Wine program for the whole run: every program it starts is cheap beside a hand-over to Wine.
sed 's/$/\r/' >"$work/run.cmd" <<EOF2
@echo off
for %%f in ($kit C:\\kelvo-e2e C:\\kelvo-e2e-we C:\\kelvo-e2e-vista C:\\Users\\kelvo-owner) do if exist %%f rmdir /s /q %%f
xcopy /e /i /q /y "$unpacked" $kit >nul
reg add "$we" /v Path /d "$we_path" /f /reg:32 >nul
reg add "$we" /v Version /d 7.1 /f /reg:32 >nul
reg add "HKLM\\SOFTWARE\\Dolphin\\DolServe" /v Orpheus2 /d "C:\\Program Files\\Dolphin\\o.exe" /f /reg:32 >nul
reg add "$display" /v PortName /d COM9 /f >nul
reg add "$nt" /v ProductName /d "$product" /f /reg:32 >nul
reg add "$nt" /v RegisteredOwner /d "$owner" /f /reg:32 >nul
echo ==before
call :state
rem A run killed halfway: Window-Eyes' key gone, Windows' names the scenarios' own, a scenario's folder left.
reg delete "HKLM\\SOFTWARE\\GW Micro, Inc." /f /reg:32 >nul
reg add "$nt" /v ProductName /d "Microsoft Windows 7" /f /reg:32 >nul
reg add "$nt" /v RegisteredOwner /d user1 /f /reg:32 >nul
mkdir C:\\kelvo-e2e-we\\left
cd /d $kit
call run-tests.cmd /yes "/filter=$filter" >run.txt 2>&1
set kitexit=%errorlevel%
echo ==exit %kitexit%
echo ==run
type run.txt
if not "%kitexit%"=="0" for %%f in (logs\\*.txt) do type "%%f"
echo ==after
call :state
echo ==report
type report.txt
echo ==left
for %%f in (C:\\kelvo-e2e C:\\kelvo-e2e-we C:\\kelvo-e2e-vista C:\\Users\\kelvo-owner machine-saved.txt) do if exist %%f echo %%f
rem The lane is left as every scenario leaves it.
cd /d C:\\
rmdir /s /q $kit
reg delete "HKLM\\SOFTWARE\\GW Micro, Inc." /f /reg:32 >nul
reg delete "HKLM\\SOFTWARE\\Dolphin" /f /reg:32 >nul
reg delete "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_10c4&Pid_ea60&Mi_00" /f >nul
reg add "$nt" /v ProductName /d "Microsoft Windows 7" /f /reg:32 >nul
reg add "$nt" /v RegisteredOwner /d user1 /f /reg:32 >nul
goto :eof
:state
reg query "HKLM\\SOFTWARE\\GW Micro, Inc." /s /reg:32 2>nul
reg query "HKLM\\SOFTWARE\\Dolphin" /s /reg:32 2>nul
reg query "HKLM\\SOFTWARE\\Silicon Laboratories, Inc." /s /reg:32 2>nul
reg query "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_10c4&Pid_ea60&Mi_00" /s 2>nul
reg query "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_10c4&Pid_ea60" /s 2>nul
reg query "$nt" /v ProductName /reg:32 2>nul
reg query "$nt" /v RegisteredOwner /reg:32 2>nul
reg query "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion" /v ProductName /reg:32 2>nul
goto :eof
EOF2

start=$(date +%s)
"$source/scripts/wine-run" cmd /c "$(echo "Z:$work/run.cmd" | tr / '\\')" >"$work/out.txt" 2>"$work/err.txt" ||
    fail "cmd failed: $(tail -5 "$work/err.txt")"
echo "the kit ran in $(($(date +%s) - start)) s"
section() { sed -n "/^==$1/,/^==/p" "$work/out.txt" | sed '1d;/^==/d' | tr -d '\r'; }
section report
section before >"$work/before.txt"
section after >"$work/after.txt"

grep -q '^==exit 0' "$work/out.txt" || fail "run-tests.cmd did not exit 0: $(section run)"
section run | grep -q '^Putting back the settings that an earlier, interrupted run saved' ||
    fail "the killed run's save was not put back first: $(section run | head -3)"
count=$(section report | grep -c '^passed  ' || true)
[ "$count" -gt 0 ] || fail "no scenario passed"
[ "$(section report | tail -1)" = "$count passed, 0 failed" ] || fail "the report does not end with '$count passed, 0 failed'"
{ grep -q "$owner" "$work/before.txt" && grep -q 'COM9' "$work/before.txt"; } || fail "the PC's own keys were not laid out"
diff "$work/before.txt" "$work/after.txt" >&2 || fail "the PC's keys differ after the run"
[ -z "$(section left)" ] || fail "left behind: $(section left)"
echo "kit ($arch): $count scenarios passed; the PC's keys and folders are as before"

#!/usr/bin/env bash
# The Windows test kit, run as a tester runs it, in the Windows of KELVO_WINEARCH: the zip made and unpacked twice
# (onto C:, and into a folder whose name the code page cannot write), a PC with its own Window-Eyes, Dolphin (values
# of every type), display, product name and owner, then `run-tests.cmd /yes` for the scenarios of the filter. In the
# 32-bit Windows the hostile cases come first: a damaged save, a user's profile where the scenarios' owner's would
# be, a second run beside the first, a run killed mid-scenario; and after the run, one without Wine's DLL overrides,
# whose planting scenario skips: the run passes and tells the skip (and that no Window-Eyes is installed). The
# report must name whether Window-Eyes' programs request uiAccess and end with every scenario and the put-back
# passed, report.xml must be XML, and the PC's keys and the scenarios' folders must be exactly as before.
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
    "dist/Kelvo Braille display setup.exe" "$(basename "$zip" | sed 's/^kelvo-windows-tests-/kelvo-setup-/; s/\.zip$/.exe/')"; do
    [ -f "$work/kit/$file" ] || fail "the zip lacks $file"
done

# The PC's own settings, which the kit must leave as they are.
we_key='SOFTWARE\GW Micro, Inc.\Window-Eyes\Professional' we_path='C:\Program Files\GW Micro\Window-Eyes'
nt_key='SOFTWARE\Microsoft\Windows NT\CurrentVersion' owner='Kit Tester'
# A control character, which report.xml (the product name is in it) cannot hold as it is.
product=$'Microsoft Windows 7 Professional\x1b'

# A damaged save, as a power cut or a hand edit leaves it: its first line would delete Window-Eyes' key, and it has
# no end line. The kit must refuse it whole and keep it.
hex() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -d ' \n'; }
printf 'kelvo machine save 2\ntree x%s\n' "$(hex 'SOFTWARE\GW Micro, Inc.')" >"$work/damaged.txt"
# Window-Eyes' programs in the folder its Path names: one whose manifest requests uiAccess (the setup's own, its
# uiAccess="false" turned true, the same length), one that does not.
mkdir -p "$work/we"
perl -0777 -pe 's/uiAccess="false"/uiAccess="true" /' <"$work/kit/dist/Kelvo Braille display setup.exe" \
    >"$work/we/WinEyes.exe"
cp "$work/kit/dist/Kelvo Braille display setup.exe" "$work/we/Uninstall.exe"
chmod -R a+rX "$work"

# The second copy lies in a folder whose name this Windows' code page cannot write (Ł on a Western Windows), which
# the batch file cannot name either: it finds it by a wildcard.
cp -r "$work/kit" "$work/kit-Łukasz"
chmod -R a+rwX "$work/kit-Łukasz"
kit='C:\kelvo-kit' other='"%other%"'
save='C:\ProgramData\Kelvo Windows tests\machine-saved.txt'
profiles='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList'
win() { echo "Z:$1" | tr / '\\'; }
unpacked=$(win "$work/kit")
we="HKLM\\$we_key" nt="HKLM\\$nt_key" types='HKLM\SOFTWARE\Dolphin\Types'
display='HKLM\SYSTEM\CurrentControlSet\Enum\USB\Vid_10c4&Pid_ea60&Mi_00\0001_00\Device Parameters'
# In the 32-bit Windows, the hostile cases: a damaged save; a user of the PC named as the scenarios' owner; a second
# run (another copy) while the first runs; a run killed mid-scenario and a fresh copy started at once. A run goes on in the background through first.cmd.
sed 's/$/\r/' >"$work/first.cmd" <<EOF2
@echo off
cd /d $kit
cmd /c run-tests.cmd /yes "/filter=%~1" >first.txt 2>&1
echo %errorlevel%>first.done
EOF2
hostile=
if [ "$arch" = win32 ]; then
    hostile=$(cat <<EOF2
mkdir "C:\\ProgramData\\Kelvo Windows tests" 2>nul
copy /y "$(win "$work/damaged.txt")" "$save" >nul
cd /d $other
cmd /c run-tests.cmd /yes "/filter=$filter" >damaged.txt 2>&1
echo ==damaged %errorlevel%
type damaged.txt
fc /b "$(win "$work/damaged.txt")" "$save" >nul
if not errorlevel 1 echo ==kept
del "$save"
reg add "$profiles\\S-1-5-21-1-2-3-1001" /v ProfileImagePath /t REG_EXPAND_SZ /d "%%SystemDrive%%\\Users\\kelvo-owner" /f >nul
cmd /c run-tests.cmd /yes "/filter=$filter" >profile.txt 2>&1
echo ==profile %errorlevel%
type profile.txt
reg delete "$profiles\\S-1-5-21-1-2-3-1001" /f >nul
start "" /b cmd /c "$(win "$work/first.cmd")" "$filter"
call :started
cmd /c run-tests.cmd /yes "/filter=$filter" >second.txt 2>&1
echo ==second %errorlevel%
type second.txt
:ended
if exist $kit\\first.done goto killed
ping -n 2 127.0.0.1 >nul
goto ended
:killed
echo ==first
type $kit\\first.txt
del $kit\\first.done
start "" /b cmd /c "$(win "$work/first.cmd")" "$filter"
call :started
taskkill /f /im kelvo_kit.exe >nul
EOF2
)
fi
# One Wine program for the whole run: every program it starts is cheap beside a hand-over to Wine.
sed 's/$/\r/' >"$work/run.cmd" <<EOF2
@echo off
for /d %%d in ($(win "$work")\\kit-*ukasz) do set other=%%d
for %%f in ($kit C:\\kelvo-e2e C:\\kelvo-e2e-we C:\\kelvo-e2e-vista C:\\Users\\kelvo-owner) do if exist %%f rmdir /s /q %%f
if exist "$save" del "$save"
xcopy /e /i /q /y "$unpacked" $kit >nul
reg add "$we" /v Path /d "$we_path" /f /reg:32 >nul
reg add "$we" /v Version /d 7.1 /f /reg:32 >nul
xcopy /i /q /y "$(win "$work/we")" "$we_path" >nul
reg add "HKLM\\SOFTWARE\\Dolphin\\DolServe" /v Orpheus2 /d "C:\\Program Files\\Dolphin\\o.exe" /f /reg:32 >nul
reg add "$types" /v Expandable /t REG_EXPAND_SZ /d "%%SystemRoot%%\\x" /f /reg:32 >nul
reg add "$types" /v Several /t REG_MULTI_SZ /d "one\\0two" /f /reg:32 >nul
reg add "$types" /v Binary /t REG_BINARY /d 00ff0d0a /f /reg:32 >nul
reg add "$types" /v Number /t REG_DWORD /d 42 /f /reg:32 >nul
reg add "$types" /ve /d "" /f /reg:32 >nul
reg add "$types\\Empty" /f /reg:32 >nul
reg add "$display" /v PortName /d COM9 /f >nul
reg add "$nt" /v ProductName /d "$product" /f /reg:32 >nul
reg add "$nt" /v RegisteredOwner /d "$owner" /f /reg:32 >nul
rem 32-bit Windows has no Wow6432Node; each scenario run here leaves one behind.
if "$arch"=="win32" reg delete "HKLM\\SOFTWARE\\Wow6432Node" /f >nul 2>&1
echo ==before
call :state
$hostile
cd /d $other
cmd /c run-tests.cmd /yes "/filter=$filter" >run.txt 2>&1
set kitexit=%errorlevel%
echo ==exit %kitexit%
echo ==run
type run.txt
if not "%kitexit%"=="0" for %%f in (logs\\*.txt) do type "%%f"
echo ==after
call :state
echo ==report
type report.txt
echo ==xml
cscript //nologo "$(win "$work/xml.js")" report.xml
echo ==left
for %%f in (C:\\kelvo-e2e C:\\kelvo-e2e-we C:\\kelvo-e2e-vista C:\\Users\\kelvo-owner "$save") do if exist %%f echo %%f
rem The lane is left as every scenario leaves it.
cd /d C:\\
rmdir /s /q $kit
reg delete "HKLM\\SOFTWARE\\GW Micro, Inc." /f /reg:32 >nul
rmdir /s /q "C:\\Program Files\\GW Micro"
reg delete "HKLM\\SOFTWARE\\Dolphin" /f /reg:32 >nul
reg delete "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_10c4&Pid_ea60&Mi_00" /f >nul
reg add "$nt" /v ProductName /d "Microsoft Windows 7" /f /reg:32 >nul
reg add "$nt" /v RegisteredOwner /d user1 /f /reg:32 >nul
goto :eof
:started
rem A scenario's own folder: the scenario runs, in the run's job since before it was resumed.
for /d %%d in (C:\\kelvo-e2e\\*) do goto :eof
ping -n 2 127.0.0.1 >nul
goto started
:state
reg query "HKLM\\SOFTWARE\\GW Micro, Inc." /s /reg:32 2>nul
reg query "HKLM\\SOFTWARE\\Dolphin" /s /reg:32 2>nul
reg query "HKLM\\SOFTWARE\\Silicon Laboratories, Inc." /s /reg:32 2>nul
reg query "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_10c4&Pid_ea60&Mi_00" /s 2>nul
reg query "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_10c4&Pid_ea60" /s 2>nul
reg query "$nt" /v ProductName /reg:32 2>nul
reg query "$nt" /v RegisteredOwner /reg:32 2>nul
reg query "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion" /v ProductName /reg:32 2>nul
reg query "HKLM\\SOFTWARE\\Wow6432Node" >nul 2>&1
if not errorlevel 1 echo HKLM\\SOFTWARE\\Wow6432Node is there
goto :eof
EOF2
# report.xml read by Windows' own XML parser.
cat >"$work/xml.js" <<'EOF2'
var xml = new ActiveXObject("Msxml2.DOMDocument.6.0");
xml.async = false;
WScript.Echo(xml.load(WScript.Arguments(0)) ? "well-formed" : "not XML: " + xml.parseError.reason);
EOF2

start=$(date +%s)
"$source/scripts/wine-run" cmd /c "$(echo "Z:$work/run.cmd" | tr / '\\')" >"$work/out.txt" 2>"$work/err.txt" ||
    fail "cmd failed: $(tail -5 "$work/err.txt")"
# Wine hands every program the DLL overrides of its own Unix environment, past any cmd's set: the skipping run is a
# Wine program of its own, started without them.
if [ "$arch" = win32 ]; then
    chmod -R a+rwX "$work/kit"
    sed 's/$/\r/' >"$work/skip.cmd" <<EOF2
@echo off
cd /d $unpacked
cmd /c run-tests.cmd /yes /filter=BeginWindowEyes.NoDllPlantedBesideTheSetupIsLoaded >skip.txt 2>&1
echo ==skipexit %errorlevel%
echo ==skipreport
type report.txt
echo ==skipxml
type report.xml
EOF2
    KELVO_DLL_OVERRIDES= "$source/scripts/wine-run" cmd /c "$(win "$work/skip.cmd")" >>"$work/out.txt" \
        2>>"$work/err.txt" || fail "cmd failed: $(tail -5 "$work/err.txt")"
fi
echo "the kit ran in $(($(date +%s) - start)) s"
section() { sed -n "/^==$1/,/^==/p" "$work/out.txt" | sed '1d;/^==/d' | tr -d '\r'; }
section report
section before >"$work/before.txt"
section after >"$work/after.txt"

if [ "$arch" = win32 ]; then
    { grep -q '^==damaged 2' "$work/out.txt" && section damaged | grep -q 'machine-saved.txt is damaged'; } ||
        fail "a damaged save was not refused: $(section damaged)"
    grep -q '^==kept' "$work/out.txt" || fail "the damaged save was not kept as it was"
    { grep -q '^==profile 2' "$work/out.txt" && section profile | grep -q 'kelvo-owner is the profile of one of'; } ||
        fail "a user's own profile was taken for the scenarios' owner's: $(section profile)"
    { grep -q '^==second 2' "$work/out.txt" && section second | grep -q 'another run of the kit is under way'; } ||
        fail "a second run beside the first was not refused: $(section second)"
    section first | tail -1 | grep -q ' passed, 0 failed, 0 skipped$' ||
        fail "the first run did not end cleanly: $(section first)"
    skipped='BeginWindowEyes.NoDllPlantedBesideTheSetupIsLoaded' why='under Wine it runs only with KELVO_DLL_OVERRIDES'
    { grep -q '^==skipexit 0' "$work/out.txt" && section skipreport | grep -q "^skipped  $skipped  [0-9.]* s  $why\$" &&
        [ "$(section skipreport | sed -n 2p)" = "Screen reader: no Window-Eyes installed" ] &&
        [ "$(section skipreport | tail -1)" = "1 passed, 0 failed, 1 skipped" ] &&
        section skipxml | grep -qF 'failures="0" skipped="1"' &&
        section skipxml | grep -qF "><skipped message=\"$why\"/></testcase>"; } ||
        fail "a skip was not told as one, with exit code 0: $(grep '^==skipexit' "$work/out.txt"; section skipreport)"
    section run | grep -q '^Putting back the settings that an earlier, interrupted run saved' ||
        fail "the killed run's save was not put back first: $(section run | head -3)"
    ! section run | grep -q '^Ended ' || fail "the killed run's scenario outlived it: $(section run | head -3)"
fi
grep -q '^==exit 0' "$work/out.txt" || fail "run-tests.cmd did not exit 0: $(section run)"
count=$(section report | grep -c '^passed  ' || true)
[ "$count" -gt 0 ] || fail "no scenario passed"
[ "$(section report | tail -1)" = "$count passed, 0 failed, 0 skipped" ] ||
    fail "the report does not end with '$count passed, 0 failed, 0 skipped'"
reader='Screen reader: Window-Eyes in C:\Program Files\GW Micro\Window-Eyes (its registry Path)'
[ "$(section report | sed -n 2,4p)" = "$reader: 1 of 2 programs request uiAccess=\"true\"
  Uninstall.exe: uiAccess=\"false\", level=\"requireAdministrator\"
  WinEyes.exe: uiAccess=\"true\", level=\"requireAdministrator\"" ] ||
    fail "the report does not name what Window-Eyes' programs request: $(section report | sed -n 2,4p)"
section report | grep -q '^passed  Kit.MachinePutBack' || fail "the report has no passed Kit.MachinePutBack"
[ "$(section xml)" = well-formed ] || fail "report.xml: $(section xml)"
{ grep -q "$owner" "$work/before.txt" && grep -q 'COM9' "$work/before.txt" && grep -q 'Several' "$work/before.txt"; } ||
    fail "the PC's own keys were not laid out"
diff "$work/before.txt" "$work/after.txt" >&2 || fail "the PC's keys differ after the run"
[ -z "$(section left)" ] || fail "left behind: $(section left)"
echo "kit ($arch): $count scenarios passed; the PC's keys and folders are as before"

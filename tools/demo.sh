#!/usr/bin/env bash
# make demo: the real wizard under Wine on a simulated PC, pressed through as a blind user would. Leaves in
# demo-out/ the transcript (what the screen reader speaks, and which key answered), a screenshot of every
# dialog, the changes on the simulated PC, and, with espeak-ng, the transcript spoken to a WAV file and the whole
# session as the user hears it (speech, chimes and the wizard's sounds on the run's timeline) in session.wav.
# PROFILE picks the simulated PC (nt, vista, none, we6, werunning, wefail, dolphinfail); INTERACTIVE=1 with DISPLAY
# set opens the wizard on your own display for you to work it. LOCALE sets the wizard's locale (default zh_CN.UTF-8).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
profile=${PROFILE:-nt}
out=$root/demo-out

win() { local p=$1; echo "Z:${p//\//\\}"; }

rm -rf "$out"
mkdir -p "$out"
mode=""
if [ "${INTERACTIVE:-}" = 1 ]; then
    [ -n "${DISPLAY:-}" ] || { echo "INTERACTIVE=1 needs a display (DISPLAY is not set)" >&2; exit 2; }
    export KELVO_DISPLAY=$DISPLAY KELVO_WINE_HOME=$build/wine-interactive
    mode=interactive
else
    export KELVO_WINE_HOME=$build/wine
fi
[ "$(id -u)" -ne 0 ] || { id kelvo-wine >/dev/null 2>&1 && chown kelvo-wine "$out"; } || true
chmod 777 "$out"

# The display is sold with Chinese Windows: the wizard runs with its code page (936), LOCALE overrides it. Wine
# traces every sound the wizard plays, with its time, for the soundtrack.
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
status=0
# Wine's desktop process is up before the wizard's first window, as in the tests' lanes: starting it with that window
# can take longer than the runner waits for the window where Wine is emulated.
"$root/scripts/wine-run" --detach "$build/tests/e2e/lane-desktop.exe"
LC_ALL=${LOCALE:-zh_CN.UTF-8} KELVO_WINEDEBUG=${KELVO_WINEDEBUG:+$KELVO_WINEDEBUG,}+timestamp,+winmm "$root/scripts/wine-run" "$build/tools/kelvo_demo.exe" \
    "$profile" "$(win "$build/dist")" "$(win "$out")" $mode 2>"$trace" || status=$?
grep -v ':winmm:' "$trace" >&2 || true
[ "$status" -eq 0 ] || exit "$status"

for shot in "$out"/*.bmp; do
    [ -e "$shot" ] || continue
    convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
done
if command -v espeak-ng >/dev/null && [ -s "$out/spoken.txt" ]; then
    espeak-ng -f "$out/spoken.txt" -w "$out/spoken.wav" && echo "spoken transcript: demo-out/spoken.wav"
    bash "$root/tools/soundtrack.sh" "$out" "$build/dist" "$trace"
fi
echo "transcript, screenshots and changes: demo-out/"

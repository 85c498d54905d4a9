#!/usr/bin/env bash
# The demo's session as a blind user hears it: each text the screen reader speaks, from the moment its prompt opened
# until the next one interrupts it, and every sound the wizard played, from the moment it played it, mixed into
# session.wav on the timeline of the run. The sounds also join the transcript at their times.
# Usage: soundtrack.sh OUT-FOLDER SETUP-FOLDER WINE-TRACE
# The runner's timeline.txt gives the tick count of its start and when it spoke each text; Wine's winmm trace (with
# timestamps, on the same tick count) names each sound file as the wizard plays it.
set -euo pipefail
out=$1 setup=$2 trace=$3
export LC_ALL=C
rate=(-r 22050 -c 1 -b 16)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

start=$(sed -n 's/^start //p' "$out/timeline.txt")
# Wine's line: ' 40.383:0118:trace:winmm:proc_PlaySound SoundName=L"C:\\Kelvo setup\\update\\chimes.wav" !'
sed -n 's/^ *\([0-9]*\)\.\([0-9][0-9][0-9]\):.*:proc_PlaySound SoundName=L"\(.*\)" !.*$/\1\2 \3/p' "$trace" |
    while read -r tick name; do
        name=${name//\\\\/\\}
        echo "$((10#$tick - start)) play ${name#*:\\*\\}"
    done >"$tmp/sounds"
sed -n 's/^speak //p' "$out/timeline.txt" >"$tmp/speech"

stamp() { printf '[%02d:%02d.%d]' $(($1 / 60000)) $(($1 / 1000 % 60)) $(($1 / 100 % 10)); }
seconds() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); }

# One clip an event, shifted to its time; a text is cut where the next text begins, as a screen reader stops
# speaking when the focus moves.
sox -q -n "${rate[@]}" "$tmp/clip-0.wav" trim 0 0.1
n=0
while read -r ms text; do
    n=$((n + 1))
    next=$(awk -v n="$n" 'NR == n + 1 { print $1 }' "$tmp/speech")
    espeak-ng -w "$tmp/speech-$n.wav" "$text"
    cut=()
    [ -z "$next" ] || cut=(trim 0 "$(seconds $((next - ms)))")
    sox -V1 "$tmp/speech-$n.wav" "${rate[@]}" "$tmp/clip-s$n.wav" "${cut[@]}" pad "$(seconds "$ms")"
done <"$tmp/speech"
n=0
while read -r ms _ file; do
    n=$((n + 1))
    printf '%s   The wizard plays %s.\r\n' "$(stamp "$ms")" "$file" >>"$tmp/heard"
    host="$setup/${file//\\//}"
    [ -f "$host" ] || continue  # the platform's default sound, which has no file here
    sox -q "$host" "${rate[@]}" "$tmp/clip-p$n.wav" pad "$(seconds "$ms")"
done <"$tmp/sounds"

inputs=()
for clip in "$tmp"/clip-*.wav; do inputs+=(-v 1 "$clip"); done
sox -q -m "${inputs[@]}" "$out/session.wav" gain -n -1
if [ -s "$tmp/heard" ]; then
    sort -m -s -k1,1 "$out/transcript.txt" "$tmp/heard" >"$tmp/transcript"
    cp "$tmp/transcript" "$out/transcript.txt"
fi
echo "the session as a blind user hears it: demo-out/session.wav ($(wc -l <"$tmp/speech") texts, $(wc -l <"$tmp/sounds") sounds)"
